// Reading the leap-second table line by line: the loader's rules for a
// line, the table's capacity and its date order, shared by LS_L (which
// reads "ls.ini") and by anything that must know whether a table's text
// will load before it becomes "ls.ini".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "timescale/lsconv_s.h"

namespace kw {

// The longest table read: a hundred entries with notes are a few KB.
inline constexpr std::size_t kLongestTable = std::size_t{1} << 20;

// Why a table does not load.
struct TableFault {
  enum class Kind {
    none,
    syntax,        // a line with fewer than four values, or a malformed one
    conversion,    // a value that does not fit its item
    too_many,      // more than LS_MAX entries
    out_of_order,  // an entry dated before the one above it
    empty,         // no entry at all
  };
  Kind kind = Kind::none;
  long long line = 0;        // line number of the entry at fault
  long long line_above = 0;  // out_of_order: the line of the entry above
  std::int32_t entry = 0;    // too_many: the entry's number

  explicit operator bool() const { return kind != Kind::none; }
};

// What a fault of the table `name` says: for example "\"ls.ini\", line 3:
// the date lies before ...".
std::string describe(const TableFault& fault, std::string_view name);

// Fills the columns one line at a time. Blank lines (blanks and tabs
// only) are skipped; of a line, year, month and day are read as integers
// and TAI-UTC as a real, free-format, and values after the fourth are
// ignored. Each date becomes an MJD through JUDDY.
class TableReader {
 public:
  TableReader(LeapColumn& ls_mjd, LeapColumn& ls_dt, std::int32_t& ls_n);

  // Takes the next line (without its line end). A fault ends the table:
  // no further line may be added.
  TableFault add_line(std::string_view line);

  // After the last line: the table must hold an entry, in date order
  // (equal dates are accepted).
  TableFault finish() const;

 private:
  LeapColumn& mjd_;
  LeapColumn& dt_;
  std::int32_t& n_;
  long long line_number_ = 0;
  std::array<long long, LS_MAX> line_of_{};  // line number of each entry
};

class InputUnit;

// Loads the table from `unit` (read to its end), as LS_L loads "ls.ini":
// a line that does not read ends the run with error 59 or 64 naming the
// unit, a table that cannot be used with a line naming the file.
void load_leap_table(InputUnit& unit, LeapColumn& ls_mjd, LeapColumn& ls_dt, std::int32_t& ls_n);

// Loads the text of a whole table, lines ending at a line feed with a
// carriage return before it dropped, as LS_L loads "ls.ini".
TableFault load_table_text(std::string_view text, LeapColumn& ls_mjd, LeapColumn& ls_dt,
                           std::int32_t& ls_n);

}  // namespace kw

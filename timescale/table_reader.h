// Reading the leap-second table line by line: the loader's rules for a
// line, the table's capacity and its date order, shared by LS_L (which
// reads "ls.ini") and by anything that must know whether a table's text
// will load before it becomes "ls.ini".
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "timescale/leap_table.h"

namespace kw {

// The longest table read, by the converter and by kw_lsini (the table it
// writes, and the list it reads: a published table may be named as the
// table): a hundred entries with notes are a few KB, a list about 5 KB.
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
    note,          // a note the program reads ("rate", "expires") not in its form
    expiry,        // an expiry that does not lie after the last entry
  };
  Kind kind = Kind::none;
  long long line = 0;        // line number of the entry at fault
  long long line_above = 0;  // out_of_order: the line of the entry above
  std::int32_t entry = 0;    // too_many: the entry's number
  // syntax: what the line holds; note, expiry: what is wrong; empty: how
  // the file was found when it was missing ("missing", "missing (made empty)")
  std::string detail = {};

  explicit operator bool() const { return kind != Kind::none; }
};

// What to do when there is no table to read (`name` missing or empty):
// write one with kw_lsini, or, in the named form, name a list with --table.
std::string no_table_remedy(bool named_form);

// What a fault of the table `name` says: for example "\"ls.ini\", line 3:
// the date lies before ...".
std::string describe(const TableFault& fault, std::string_view name);

// Fills a table one line at a time. Blank lines (blanks and tabs only)
// are skipped; of a line, year, month and day are read as integers and
// TAI-UTC as a real, free-format. Each date becomes an MJD through JUDDY.
//
// What follows the fourth value is a note, the user's own but for two
// that the program writes and reads back, each a keyword and its value:
//   "rate R s/day"       TAI-UTC changes by R seconds a day from the
//                        entry's date on (the rates of 1961-1971); the
//                        line's value is TAI-UTC on its own date, so that a
//                        reader of four values still has the right one there
//   "expires YYYY-MM-DD" on the last entry's line: the date from which the
//                        table no longer vouches for its last value
// for example "1962  1  1   1.8458580 rate 0.0011232 s/day" and
// "2017  1  1  37.0   expires 2027-06-28, leap-seconds.list of 2026-07-08".
// A note that begins with one of the two keywords (or follows one the
// program read) must be in its form, and wherever "rate R s/day" or
// "expires YYYY-MM-DD" stands, R must be a finite number and the date a
// real one from 1858-11-17 to the year 9999: otherwise the table cannot
// be used. Any other note is left alone. The expiry must lie after the
// last entry's date.
class TableReader {
 public:
  explicit TableReader(LeapTable& table);

  // Takes the next line (without its line end). A fault ends the table:
  // no further line may be added.
  TableFault add_line(std::string_view line);

  // After the last line: the table must hold an entry, in date order
  // (equal dates are accepted). Takes the last entry's expiry.
  TableFault finish();

  // The line number of each entry read.
  long long line_of(std::size_t entry) const { return line_of_[entry]; }

 private:
  LeapTable& table_;
  long long line_number_ = 0;
  std::array<long long, LS_MAX> line_of_{};  // line number of each entry
  double last_expiry_ = kNoExpiry;           // the expiry on the last entry's line
};

// Loads the text of a whole table, lines ending at a line feed with a
// carriage return before it dropped, as LS_L loads "ls.ini".
TableFault load_table_text(std::string_view text, LeapTable& table);

}  // namespace kw

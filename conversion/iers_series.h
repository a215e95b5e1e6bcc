// The daily Earth-orientation series the IERS publishes, which give
// UT1-UTC: told apart from the program's own records, read and checked
// line by line, and each day made into the program's own record. Text in,
// days or the line that stops the reading out: no file, no run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

// The published layouts the program reads.
enum class SeriesLayout {
  none,         // not a published series: the program's own records, or anything else
  c04_14,       // the 14 C04 series: a text header, then "yyyy mm dd MJD x y UT1-UTC ..."
  c04_20,       // the 20 C04 series: a "#" header, then "yyyy mm dd hh MJD x y UT1-UTC ..."
  finals2000a,  // finals2000A (.all, .data, .daily): Bulletin A and B in fixed columns
};

// The layout's name as the program's lines say it: "the IERS 14 C04 series".
std::string_view series_name(SeriesLayout layout);

// The series `start` (the first bytes of a file) begins, or none. Told by
// what no file of the program's own records holds, since the record reader
// refuses it on the first line not blank in the 38 columns it reads: a
// header of the C04 series that names it (14 C04: a text header; 20 C04: a
// "#" header), or a first finals2000A line with its MJD agreeing with its
// date and the I or P flag of Bulletin A's polar motion in column 17.
SeriesLayout series_layout(std::string_view start);

// Whether `start` holds enough to tell: more bytes after it cannot change
// what series_layout says. True once the first line not blank in the
// record reader's columns is whole and, for a header, once the line that
// names the series or the first day is whole; false while a line that
// decides is still cut.
bool series_layout_told(std::string_view start);

// One day of a series, as published.
struct SeriesDay {
  int year = 0;  // full year
  int month = 0;
  int day = 0;
  std::string x;           // arcseconds, every published decimal
  std::string y;           // arcseconds
  std::string ut1_utc;     // seconds
  bool predicted = false;  // finals2000A: a P flag on x and y or on UT1-UTC
};

struct Series {
  std::vector<SeriesDay> days;
  // finals2000A: the days at its end without Bulletin A's x, y and
  // UT1-UTC (beyond its predictions), which give no record.
  std::uint64_t days_without_values = 0;
};

// Why a line stops the reading.
struct SeriesRefusal {
  std::uint64_t line = 0;               // from 1
  std::string reason;                   // what the line holds against what was expected
  bool beyond_two_digit_years = false;  // a day from 2050 on (or before 1950)
};

// Reads the whole `text` as a series of `layout` (not none): every line
// checked, its values in their columns, its MJD against its date, each
// day the day after the one before, header lines only where the layout
// puts them, blank lines only at the end. False, with `refusal`, at the
// first line that does not read, or after the last when no day gives a
// record (finals2000A: none with Bulletin A's three values).
bool read_series(std::string_view text, SeriesLayout layout, Series& series,
                 SeriesRefusal& refusal);

// The program's own record of a day: "yy mm dd x y UT1-UTC" with every
// published decimal (a zero before the point left out), within the 38
// columns the record reader reads, ending in its line feed.
std::string record_of(const SeriesDay& day);

}  // namespace kw

#include "conversion/iers_series.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "records/data_record.h"
#include "records/failure.h"
#include "records/text_lines.h"
#include "timescale/lsconv_s.h"
#include "timescale/published/published_table.h"

namespace kw {
namespace {

// A value's columns, from 1, both included, and its Fortran form: an
// integer (decimals < 0) or a real with that many decimals.
struct Field {
  const char* name;
  std::size_t first;
  std::size_t last;
  int decimals;
};

constexpr int kInteger = -1;

// The text of columns first..last of `line`; columns beyond its end are
// blank.
std::string columns(std::string_view line, std::size_t first, std::size_t last) {
  std::string text(last - first + 1, ' ');
  if (line.size() >= first) {
    const std::string_view held = line.substr(first - 1, last - first + 1);
    std::copy(held.begin(), held.end(), text.begin());
  }
  return text;
}

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_blank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

// The number a field holds, right-aligned as Fortran writes it: blanks,
// a minus sign or none, digits, and for a real its point and exactly its
// decimals (the digits before the point may be left out: ".143000").
// Empty when the field is not of that form.
std::string number_in(std::string_view text, int decimals) {
  const std::size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  const std::string_view number = text.substr(start);
  std::size_t i = number.starts_with('-') ? 1 : 0;
  std::size_t digits = 0;
  while (i < number.size() && is_digit(number[i])) ++i, ++digits;
  if (decimals == kInteger) return digits > 0 && i == number.size() ? std::string(number) : "";
  if (i == number.size() || number[i] != '.') return {};
  ++i;
  std::size_t after = 0;
  while (i < number.size() && is_digit(number[i])) ++i, ++after;
  if (i != number.size() || after != static_cast<std::size_t>(decimals)) return {};
  return std::string(number);
}

// "F11.6" or "I4", the form a field's value was expected in.
std::string form_of(const Field& field) {
  const std::size_t width = field.last - field.first + 1;
  std::string form(1, field.decimals == kInteger ? 'I' : 'F');
  form.append(std::to_string(width));
  if (field.decimals != kInteger) form.append(1, '.').append(std::to_string(field.decimals));
  return form;
}

std::string two_digits(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

std::string date_text(int year, int month, int day) {
  return std::to_string(year) + "-" + two_digits(month) + "-" + two_digits(day);
}

bool is_calendar_date(std::int64_t year, std::int64_t month, std::int64_t day) {
  std::int64_t mjd = 0;
  return calendar_date(year, month, day, mjd) != CalendarDate::not_a_date;
}

bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The MJD of a date, as the program takes a record's date (JUDDY).
long mjd_of_date(int year, int month, int day) {
  double mjd = 0.0;
  double y = year;
  double m = month;
  const double d = day;
  JUDDY(mjd, y, m, d);
  return static_cast<long>(mjd);
}

// Reads the lines of one series, stopping at the first that does not.
class Reader {
 public:
  Reader(SeriesLayout layout, Series& series, SeriesRefusal& refusal)
      : layout_(layout), series_(series), refusal_(refusal) {}

  bool read(std::string_view text);

 private:
  // Refuses the line being read, saying why.
  bool refuse(std::string reason, bool beyond_years = false) {
    refusal_ = {
        .line = line_number_, .reason = std::move(reason), .beyond_two_digit_years = beyond_years};
    return false;
  }
  bool refuse_field(const Field& field, std::string_view held) {
    return refuse(std::string(field.name) + " in columns " + std::to_string(field.first) + "-" +
                  std::to_string(field.last) + " is " + quoted(held) + ", where " + form_of(field) +
                  " (a number ending in column " + std::to_string(field.last) + ") was expected");
  }
  // The value of `field` on `line`: false (refused) when the field is not
  // blank and not of its form, or blank and `needed`.
  bool value(std::string_view line, const Field& field, bool needed, std::string& text) {
    const std::string held = columns(line, field.first, field.last);
    text = number_in(held, field.decimals);
    if (text.empty() && (needed || !is_blank(held))) return refuse_field(field, held);
    return true;
  }
  bool integer(std::string_view line, const Field& field, long& n) {
    std::string text;
    if (!value(line, field, true, text)) return false;
    n = std::strtol(text.c_str(), nullptr, 10);
    if (text.size() > 9) return refuse_field(field, text);
    return true;
  }
  // The columns of `fields` that are not the values used, checked as
  // blank or numbers of their form.
  template <std::size_t N>
  bool others(std::string_view line, const std::array<Field, N>& fields, std::size_t used) {
    std::string text;
    for (std::size_t i = used; i < N; ++i) {
      if (!value(line, fields[i], false, text)) return false;
    }
    return true;
  }
  bool blank_columns(std::string_view line, std::size_t first, std::size_t last,
                     std::string_view expected);
  bool nothing_after(std::string_view line, std::size_t last);
  // The date and its MJD agree, and a two-digit year holds the date.
  bool dated(int year, long month, long day, long mjd, SeriesDay& out);
  bool c04_14_line(std::string_view line);
  bool c04_20_line(std::string_view line);
  bool finals_line(std::string_view line);
  // finals2000A: every value's columns and the blanks between them.
  using FinalsValues = std::array<std::string, 21>;
  bool finals_values(std::string_view line, FinalsValues& values);
  bool finals_flag(std::string_view line, std::size_t column, bool given, std::string_view of);
  bool finals_flags(std::string_view line, const FinalsValues& values);
  // A line after the header, not blank.
  bool day_line(std::string_view line, std::size_t start);
  std::string expected_line() const;
  // Keeps a day read, when its record fits the columns the record reader
  // reads.
  bool keep(SeriesDay&& day) {
    const std::size_t width = record_of(day).size() - 1;
    if (width > static_cast<std::size_t>(kParsedColumns)) {
      return refuse("x " + day.x + ", y " + day.y + " and UT1-UTC " + day.ut1_utc + " take " +
                    std::to_string(width) + " columns as a record, more than the " +
                    std::to_string(kParsedColumns) + " the program reads");
    }
    series_.days.push_back(std::move(day));
    return true;
  }

  SeriesLayout layout_;
  Series& series_;
  SeriesRefusal& refusal_;
  std::uint64_t line_number_ = 0;
  std::optional<long> previous_mjd_;        // the MJD of the last day read
  std::uint64_t first_without_values_ = 0;  // the line of the first day without them
};

bool Reader::blank_columns(std::string_view line, std::size_t first, std::size_t last,
                           std::string_view expected) {
  const std::string held = columns(line, first, last);
  if (is_blank(held)) return true;
  return refuse((first == last ? "column " + std::to_string(first)
                               : "columns " + std::to_string(first) + "-" + std::to_string(last)) +
                " holds " + quoted(held) + ", where " + std::string(expected) + " was expected");
}

bool Reader::nothing_after(std::string_view line, std::size_t last) {
  if (line.size() <= last || is_blank(line.substr(last))) return true;
  const std::string_view rest = line.substr(last);
  return refuse("text after column " + std::to_string(last) + ", the last of " +
                std::string(series_name(layout_)) + ": " +
                quoted(rest.substr(rest.find_first_not_of(' '), 20)));
}

bool Reader::dated(int year, long month, long day, long mjd, SeriesDay& out) {
  const std::string date = date_text(year, static_cast<int>(month), static_cast<int>(day));
  if (!is_calendar_date(year, static_cast<int>(month), static_cast<int>(day))) {
    return refuse("year " + std::to_string(year) + ", month " + std::to_string(month) + ", day " +
                  std::to_string(day) + " is not a date");
  }
  const long expected = mjd_of_date(year, static_cast<int>(month), static_cast<int>(day));
  if (mjd != expected) {
    return refuse("MJD " + std::to_string(mjd) + " is not that of " + date + ", " +
                  std::to_string(expected));
  }
  if (year < 1950 || year > 2049) {
    return refuse(date + (year > 2049 ? " lies from 2050 on" : " lies before 1950") +
                      ", which a record's two-digit year cannot hold (it holds 1950 to 2049)",
                  true);
  }
  // The series are daily: each line the day after the one before it.
  if (previous_mjd_ && mjd != *previous_mjd_ + 1) {
    return refuse("MJD " + std::to_string(mjd) + " (" + date + ") after MJD " +
                  std::to_string(*previous_mjd_) + ", where the next day, MJD " +
                  std::to_string(*previous_mjd_ + 1) +
                  ", was expected (a series gives each day once, in order)");
  }
  previous_mjd_ = mjd;
  out.year = year;
  out.month = static_cast<int>(month);
  out.day = static_cast<int>(day);
  return true;
}

// 14 C04: FORMAT(3(I4),I7,2(F11.6),2(F12.7),2(F11.6),2(F11.6),2(F11.7),2(F12.6)).
constexpr std::array<Field, 16> kC04_14 = {{
    {"the year", 1, 4, kInteger},
    {"the month", 5, 8, kInteger},
    {"the day", 9, 12, kInteger},
    {"the MJD", 13, 19, kInteger},
    {"x", 20, 30, 6},
    {"y", 31, 41, 6},
    {"UT1-UTC", 42, 53, 7},
    {"LOD", 54, 65, 7},
    {"dX", 66, 76, 6},
    {"dY", 77, 87, 6},
    {"x's error", 88, 98, 6},
    {"y's error", 99, 109, 6},
    {"UT1-UTC's error", 110, 120, 7},
    {"LOD's error", 121, 131, 7},
    {"dX's error", 132, 143, 6},
    {"dY's error", 144, 155, 6},
}};

// 20 C04: format(4(i4),f10.2,2(f12.6),f12.7,2(f12.6),2(f12.6),f12.7,
// 2(f12.6),f12.7,2(f12.6),2(f12.6),f12.7).
constexpr std::array<Field, 21> kC04_20 = {{
    {"the year", 1, 4, kInteger},
    {"the month", 5, 8, kInteger},
    {"the day", 9, 12, kInteger},
    {"the hour", 13, 16, kInteger},
    {"the MJD", 17, 26, 2},
    {"x", 27, 38, 6},
    {"y", 39, 50, 6},
    {"UT1-UTC", 51, 62, 7},
    {"dX", 63, 74, 6},
    {"dY", 75, 86, 6},
    {"x's rate", 87, 98, 6},
    {"y's rate", 99, 110, 6},
    {"LOD", 111, 122, 7},
    {"x's error", 123, 134, 6},
    {"y's error", 135, 146, 6},
    {"UT1-UTC's error", 147, 158, 7},
    {"dX's error", 159, 170, 6},
    {"dY's error", 171, 182, 6},
    {"x's rate's error", 183, 194, 6},
    {"y's rate's error", 195, 206, 6},
    {"LOD's error", 207, 218, 7},
}};

// finals2000A: the values in their columns; the flags and the blank
// columns between them are checked apart.
constexpr std::array<Field, 21> kFinals = {{
    {"the year", 1, 2, kInteger},
    {"the month", 3, 4, kInteger},
    {"the day", 5, 6, kInteger},
    {"the MJD", 8, 15, 2},
    {"Bulletin A's x", 19, 27, 6},
    {"Bulletin A's y", 38, 46, 6},
    {"Bulletin A's UT1-UTC", 59, 68, 7},
    {"x's error", 28, 36, 6},
    {"y's error", 47, 55, 6},
    {"UT1-UTC's error", 69, 78, 7},
    {"LOD", 80, 86, 4},
    {"LOD's error", 87, 93, 4},
    {"dX", 98, 106, 3},
    {"dX's error", 107, 115, 3},
    {"dY", 117, 125, 3},
    {"dY's error", 126, 134, 3},
    {"Bulletin B's x", 135, 144, 6},
    {"Bulletin B's y", 145, 154, 6},
    {"Bulletin B's UT1-UTC", 155, 165, 7},
    {"Bulletin B's dX", 166, 175, 3},
    {"Bulletin B's dY", 176, 185, 3},
}};

static_assert(kC04_14.back().last == 155 && kC04_20.back().last == 218 &&
              kFinals.back().last == 185);

// The MJD of a field of two decimals, which must be a whole day: the
// program's records are days at 0h UTC.
bool whole_day(const std::string& text, long& mjd) {
  if (!text.ends_with(".00") || text.size() > 12) return false;
  mjd = std::strtol(text.c_str(), nullptr, 10);
  return true;
}

bool Reader::c04_14_line(std::string_view line) {
  long year = 0;
  long month = 0;
  long day = 0;
  long mjd = 0;
  if (!integer(line, kC04_14[0], year) || !integer(line, kC04_14[1], month) ||
      !integer(line, kC04_14[2], day) || !integer(line, kC04_14[3], mjd)) {
    return false;
  }
  SeriesDay out;
  if (!value(line, kC04_14[4], true, out.x) || !value(line, kC04_14[5], true, out.y) ||
      !value(line, kC04_14[6], true, out.ut1_utc) || !others(line, kC04_14, 7) ||
      !nothing_after(line, kC04_14.back().last) ||
      !dated(static_cast<int>(year), month, day, mjd, out)) {
    return false;
  }
  return keep(std::move(out));
}

bool Reader::c04_20_line(std::string_view line) {
  long year = 0;
  long month = 0;
  long day = 0;
  long hour = 0;
  long mjd = 0;
  std::string mjd_text;
  if (!integer(line, kC04_20[0], year) || !integer(line, kC04_20[1], month) ||
      !integer(line, kC04_20[2], day) || !integer(line, kC04_20[3], hour) ||
      !value(line, kC04_20[4], true, mjd_text)) {
    return false;
  }
  if (hour != 0 || !whole_day(mjd_text, mjd)) {
    return refuse("hour " + std::to_string(hour) + ", MJD " + mjd_text +
                  ", where a day at 0h UTC (hour 0, MJD .00) was expected: the program's records "
                  "are days at 0h UTC");
  }
  SeriesDay out;
  if (!value(line, kC04_20[5], true, out.x) || !value(line, kC04_20[6], true, out.y) ||
      !value(line, kC04_20[7], true, out.ut1_utc) || !others(line, kC04_20, 8) ||
      !nothing_after(line, kC04_20.back().last) ||
      !dated(static_cast<int>(year), month, day, mjd, out)) {
    return false;
  }
  return keep(std::move(out));
}

bool Reader::finals_line(std::string_view line) {
  long yy = 0;
  long month = 0;
  long day = 0;
  long mjd = 0;
  std::string mjd_text;
  if (!integer(line, kFinals[0], yy) || !integer(line, kFinals[1], month) ||
      !integer(line, kFinals[2], day) || !blank_columns(line, 7, 7, "a blank") ||
      !value(line, kFinals[3], true, mjd_text)) {
    return false;
  }
  if (!whole_day(mjd_text, mjd)) {
    return refuse("MJD " + mjd_text + ": a whole day (.00) was expected");
  }
  if (yy < 0) return refuse_field(kFinals[0], columns(line, 1, 2));
  // The published rule for the century of the two-digit year.
  const int year = static_cast<int>(yy) + (mjd <= 51543 ? 1900 : 2000);
  SeriesDay out;
  FinalsValues values;
  if (!finals_values(line, values) || !dated(year, month, day, mjd, out) ||
      !finals_flags(line, values)) {
    return false;
  }
  if (values[4].empty() || values[5].empty() || values[6].empty()) {
    // The records end at the first day without Bulletin A's three values.
    if (series_.days_without_values++ == 0) first_without_values_ = line_number_;
    return true;
  }
  if (series_.days_without_values > 0) {
    return refuse("a day with Bulletin A's x, y and UT1-UTC after line " +
                  with_thousands(first_without_values_) +
                  ", the first day without all three, where only days without them were "
                  "expected (the series ends there)");
  }
  out.x = values[4];
  out.y = values[5];
  out.ut1_utc = values[6];
  out.predicted = line[16] == 'P' || line[57] == 'P';
  return keep(std::move(out));
}

bool Reader::finals_values(std::string_view line, FinalsValues& values) {
  for (std::size_t i = 4; i < kFinals.size(); ++i) {
    if (!value(line, kFinals[i], false, values[i])) return false;
  }
  for (const auto& [first, last] : {std::pair<std::size_t, std::size_t>{16, 16},
                                    {18, 18},
                                    {37, 37},
                                    {56, 57},
                                    {79, 79},
                                    {94, 95},
                                    {97, 97},
                                    {116, 116}}) {
    if (!blank_columns(line, first, last, "a blank between values")) return false;
  }
  return nothing_after(line, kFinals.back().last);
}

bool Reader::finals_flag(std::string_view line, std::size_t column, bool given,
                         std::string_view of) {
  const char c = column <= line.size() ? line[column - 1] : ' ';
  if (given ? c == 'I' || c == 'P' : c == ' ') return true;
  return refuse("column " + std::to_string(column) + " holds " + quoted(std::string_view(&c, 1)) +
                ", where " +
                (given ? "I or P, the flag of " + std::string(of) + ", was expected"
                       : "a blank was expected (" + std::string(of) + " are blank)"));
}

bool Reader::finals_flags(std::string_view line, const FinalsValues& values) {
  // Each flag says whether its values are final (I) or predicted (P), and
  // stands where they do.
  return finals_flag(line, 17, !values[4].empty() || !values[5].empty(), "Bulletin A's x and y") &&
         finals_flag(line, 58, !values[6].empty(), "Bulletin A's UT1-UTC") &&
         finals_flag(line, 96, !values[12].empty() || !values[14].empty(),
                     "Bulletin A's dX and dY");
}

std::string Reader::expected_line() const {
  switch (layout_) {
    case SeriesLayout::c04_14:
      return "a day of the 14 C04 series (year, month, day, MJD, x, y, UT1-UTC, ... in their "
             "columns) was expected";
    case SeriesLayout::c04_20:
      return "a day of the 20 C04 series (year, month, day, hour, MJD, x, y, UT1-UTC, ... in "
             "their columns) was expected";
    case SeriesLayout::finals2000a:
    case SeriesLayout::none:
      break;
  }
  return "a day of finals2000A (yymmdd, MJD, flag, x, y, flag, UT1-UTC, ... in their columns) "
         "was expected";
}

bool Reader::read(std::string_view text) {
  // C04 headers come before the first day: the text header of 14 C04 up to
  // the first line that begins with a digit, the "#" lines of 20 C04.
  bool in_header = layout_ != SeriesLayout::finals2000a;
  bool blank_seen = false;  // a blank line after the first day: only blank lines may follow
  std::uint64_t blank_at = 0;
  while (!text.empty()) {  // a line at a time: a series may be large
    std::string_view line = take_line(text).text;
    if (line.ends_with('\r')) line.remove_suffix(1);  // a last line's too
    ++line_number_;
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
      if (!in_header && !blank_seen) {
        blank_seen = true;
        blank_at = line_number_;
      }
      continue;
    }
    if (in_header) {
      const bool header = layout_ == SeriesLayout::c04_20 ? line[0] == '#' : !is_digit(line[start]);
      if (header) continue;
      in_header = false;
    }
    if (blank_seen) {
      return refuse(found_in_line(line, false) + " after the blank line " +
                    with_thousands(blank_at) +
                    ", where only blank lines were expected (a series has no blank line between "
                    "its days)");
    }
    if (!day_line(line, start)) return false;
  }
  if (series_.days.empty()) {
    ++line_number_;
    return refuse("the end of the file, where " + expected_line() +
                  (series_.days_without_values == 0
                       ? ": the series holds no day"
                       : ": the series holds no day with Bulletin A's x, y and UT1-UTC"));
  }
  return true;
}

bool Reader::day_line(std::string_view line, std::size_t start) {
  if (!is_digit(line[start]) && line[start] != '-') {
    return refuse(found_in_line(line, line_number_ == 1) + ", where " + expected_line() +
                  (layout_ == SeriesLayout::finals2000a ? ""
                                                        : " (header lines come before the "
                                                          "first day only)"));
  }
  switch (layout_) {
    case SeriesLayout::c04_14:
      return c04_14_line(line);
    case SeriesLayout::c04_20:
      return c04_20_line(line);
    case SeriesLayout::finals2000a:
      return finals_line(line);
    case SeriesLayout::none:
      break;
  }
  return refuse("not a published series");
}

// The lines of `text` (without their line ends) up to `most` of them.
std::vector<std::string_view> first_lines(std::string_view text, std::size_t most) {
  std::vector<std::string_view> lines;
  while (!text.empty() && lines.size() < most) lines.push_back(take_line(text).text);
  return lines;
}

// Blank in the columns the record reader reads: such a line is skipped.
bool blank_for_records(std::string_view line) {
  return line.substr(0, static_cast<std::size_t>(kParsedColumns)).find_first_not_of(" \t\r") ==
         std::string_view::npos;
}

// A line of a "#" header: a "#" line, or a blank one between them.
bool in_hash_header(std::string_view line) {
  return line.starts_with('#') || line.find_first_not_of(" \t\r") == std::string_view::npos;
}

// A "#" header from lines[first] that names the 20 C04 series.
bool names_20_c04(const std::vector<std::string_view>& lines, std::size_t first) {
  for (std::size_t i = first; i < lines.size() && in_hash_header(lines[i]); ++i) {
    if (lines[i].find("20 C04") != std::string_view::npos) return true;
  }
  return false;
}

// A text header from lines[first] to the first day that names a C04
// series other than 20 C04.
bool names_14_c04(const std::vector<std::string_view>& lines, std::size_t first) {
  for (std::size_t i = first; i < lines.size(); ++i) {
    const std::string_view header = lines[i];
    const std::size_t at = header.find_first_not_of(" \t");
    if (at != std::string_view::npos && is_digit(header[at])) break;  // the first day
    if (header.find("C04") != std::string_view::npos &&
        header.find("20 C04") == std::string_view::npos) {
      return true;
    }
  }
  return false;
}

// How a text opens: its first line not blank in the record reader's
// columns (lines[first]) begins a "#" header, a text header, or neither
// (a day, or anything else); none when there is no such line.
struct Opening {
  enum class Kind { none, hash, text, other };
  std::size_t first = 0;
  Kind kind = Kind::none;
};

Opening opening_of(const std::vector<std::string_view>& lines) {
  Opening opening;
  while (opening.first < lines.size() && blank_for_records(lines[opening.first])) {
    ++opening.first;
  }
  if (opening.first == lines.size()) return opening;
  const std::string_view line = lines[opening.first];
  opening.kind = line[0] == '#'                                   ? Opening::Kind::hash
                 : is_letter(line[line.find_first_not_of(" \t")]) ? Opening::Kind::text
                                                                  : Opening::Kind::other;
  return opening;
}

// A day of finals2000A with Bulletin A's flag in column 17 and the MJD of
// its date.
bool is_first_finals_day(std::string_view line) {
  if (line.size() < 17 || (line[16] != 'I' && line[16] != 'P') || line[6] != ' ') return false;
  std::array<long, 3> date{};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string n = number_in(columns(line, 2 * i + 1, 2 * i + 2), kInteger);
    if (n.empty() || n.starts_with('-')) return false;
    date[i] = std::strtol(n.c_str(), nullptr, 10);
  }
  long mjd = 0;
  if (!whole_day(number_in(columns(line, 8, 15), 2), mjd)) return false;
  const int year = static_cast<int>(date[0]) + (mjd <= 51543 ? 1900 : 2000);
  const int month = static_cast<int>(date[1]);
  const int day = static_cast<int>(date[2]);
  return is_calendar_date(year, month, day) && mjd == mjd_of_date(year, month, day);
}

}  // namespace

std::string_view series_name(SeriesLayout layout) {
  switch (layout) {
    case SeriesLayout::c04_14:
      return "the IERS 14 C04 series";
    case SeriesLayout::c04_20:
      return "the IERS 20 C04 series";
    case SeriesLayout::finals2000a:
      return "the IERS finals2000A series";
    case SeriesLayout::none:
      break;
  }
  return "no published series";
}

SeriesLayout series_layout(std::string_view start) {
  // A header is short: the day lines follow within these lines.
  const std::vector<std::string_view> lines = first_lines(start, 64);
  const Opening opening = opening_of(lines);
  switch (opening.kind) {
    case Opening::Kind::none:
      break;
    case Opening::Kind::hash:
      return names_20_c04(lines, opening.first) ? SeriesLayout::c04_20 : SeriesLayout::none;
    case Opening::Kind::text:
      return names_14_c04(lines, opening.first) ? SeriesLayout::c04_14 : SeriesLayout::none;
    case Opening::Kind::other:
      return is_first_finals_day(lines[opening.first]) ? SeriesLayout::finals2000a
                                                       : SeriesLayout::none;
  }
  return SeriesLayout::none;
}

bool series_layout_told(std::string_view start) {
  // Only whole lines count.
  const std::size_t end = start.rfind('\n');
  if (end == std::string_view::npos) return false;
  const std::vector<std::string_view> lines = first_lines(start.substr(0, end + 1), 64);
  if (lines.size() == 64) return true;  // as far as series_layout looks
  const auto [first, kind] = opening_of(lines);
  if (kind == Opening::Kind::none) return false;
  if (kind == Opening::Kind::other) return true;
  const bool hash = kind == Opening::Kind::hash;
  if (hash ? names_20_c04(lines, first) : names_14_c04(lines, first)) return true;
  // The header has ended: the first line after it is whole.
  for (std::size_t i = first + 1; i < lines.size(); ++i) {
    const std::size_t at = lines[i].find_first_not_of(" \t");
    if (hash ? !in_hash_header(lines[i]) : at != std::string_view::npos && is_digit(lines[i][at])) {
      return true;
    }
  }
  return false;
}

bool read_series(std::string_view text, SeriesLayout layout, Series& series,
                 SeriesRefusal& refusal) {
  series = {};
  refusal = {};
  return Reader(layout, series, refusal).read(text);
}

std::string record_of(const SeriesDay& day) {
  // Below 1 in size, the zero before the point is left out (".0127"): the
  // record then fits the columns the reader reads, however many decimals.
  const auto value = [](const std::string& text) {
    const bool negative = text.starts_with('-');
    std::string v = text;
    if (v.compare(negative ? 1 : 0, 2, "0.") == 0) v.erase(negative ? 1 : 0, 1);
    return v;
  };
  std::string record = two_digits(day.year % 100) + " " + std::to_string(day.month) + " " +
                       std::to_string(day.day) + " " + value(day.x) + " " + value(day.y) + " " +
                       value(day.ut1_utc);
  record += '\n';
  return record;
}

}  // namespace kw

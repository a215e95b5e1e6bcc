// The IERS series as the named form's input with --reverse: the reader
// tells the three published layouts from the program's own records and
// refuses what is not where or what its layout says; the program makes
// each day its own record, which the default direction turns back into the
// published UT1-UTC; forward on a series is refused.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "conversion/iers_series.h"
#include "records/units.h"
#include "support/files.h"
#include "support/leap_tables.h"
#include "support/oracles.h"
#include "support/run_program.h"
#include "timescale/leap_table.h"
#include "timescale/load_leap_table.h"
#include "timescale/table_reader.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

const fs::path kAstropyC04 = fs::path(KW_IERS_DATA_DIR) / "eopc04_IAU2000.62-now";
const fs::path kTestData = KW_TEST_DATA_DIR;

// A 14 C04 header as the series has it, in our words, and a line of it.
const std::string kHeader14 =
    "        EARTH ORIENTATION PARAMETERS\n"
    "        EOP (IERS) 14 C04 TIME SERIES\n"
    "   FORMAT(3(I4),I7,2(F11.6),2(F12.7),2(F11.6),2(F11.6),2(F11.7),2(F12.6))\n"
    "      Date      MJD      x          y        UT1-UTC\n\n";
const std::string kDay14 =
    "2016  12  31  57753   0.081284   0.263013  -0.4077492   0.0009173   0.000139  -0.000101"
    "   0.000040   0.000039  0.0000102  0.0000079    0.000088    0.000070\n";
const std::string kHeader20 =
    "# EOP (IERS) 20 C04 TIME SERIES  consistent with ITRF 2020 - sampled at 0h UTC\n"
    "# format(4(i4),f10.2,2(f12.6),f12.7,2(f12.6),2(f12.6),f12.7,2(f12.6),f12.7,2(f12.6),"
    "2(f12.6),f12.7)\n";
const std::string kDay20 =
    "2017   1   1   0  57754.00    0.080406    0.263110   0.5912977    0.000150   -0.000095"
    "    0.000000    0.000000   0.0010160    0.000040    0.000039   0.0000099    0.000088"
    "    0.000070    0.000000    0.000000   0.0000080\n";
const std::string kFinalsDay =
    "17 1 1 57754.00 I  0.080406 0.000060  0.263110 0.000045  I 0.5912977 0.0000116  1.0160"
    " 0.0140  I    -0.041    0.046    -0.127    0.042   .080406   .263110   .5912977     -.041"
    "     -.127\n";

// `text` with the columns from `column` (from 1) replaced by `with`.
std::string with_columns(std::string text, std::size_t column, const std::string& with) {
  text.replace(column - 1, with.size(), with);
  return text;
}

// The day after kFinalsDay, with the same values.
const std::string kFinalsNextDay = with_columns(with_columns(kFinalsDay, 5, " 2"), 8, "57755.00");

struct LayoutCase {
  const char* name;
  std::string text;
  SeriesLayout layout;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
  *os << c.name;
}

class SeriesLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(SeriesLayouts, AreTold) {
  EXPECT_EQ(series_layout(GetParam().text), GetParam().layout);
}

INSTANTIATE_TEST_SUITE_P(
    Iers, SeriesLayouts,
    ::testing::Values(
        LayoutCase{"c04_14", kHeader14 + kDay14, SeriesLayout::c04_14},
        LayoutCase{"c04_20", kHeader20 + kDay20, SeriesLayout::c04_20},
        LayoutCase{"finals", kFinalsDay + kFinalsDay, SeriesLayout::finals2000a},
        LayoutCase{"finals_predicted", with_columns(kFinalsDay, 17, "P"),
                   SeriesLayout::finals2000a},
        LayoutCase{"finals_crlf", "\r\n" + kFinalsDay, SeriesLayout::finals2000a},
        // The program's own records, however odd, are never a series.
        LayoutCase{"records", "72 01 01 0.030400 0.018700 -10.045486\r\n", SeriesLayout::none},
        LayoutCase{"record_with_a_finals_date", "17 1 1 57754.00 0.080406 0.263110 0.5\n",
                   SeriesLayout::none},
        LayoutCase{"header_beyond_the_columns_read",
                   std::string(40, ' ') + "EOP (IERS) 14 C04\n" + kDay14, SeriesLayout::none},
        LayoutCase{"finals_beyond_the_columns_read", std::string(38, ' ') + kFinalsDay,
                   SeriesLayout::none},
        LayoutCase{"finals_mjd_of_another_day", with_columns(kFinalsDay, 8, "57755.00"),
                   SeriesLayout::none},
        LayoutCase{"finals_with_no_flag", with_columns(kFinalsDay, 17, " "), SeriesLayout::none},
        LayoutCase{"text_without_c04", "EARTH ORIENTATION\n" + kDay14, SeriesLayout::none},
        LayoutCase{"hash_header_without_20_c04", "# EOP (IERS) C04\n" + kDay20, SeriesLayout::none},
        LayoutCase{"empty", "", SeriesLayout::none}),
    [](const auto& info) { return std::string(info.param.name); });

// The named form reads no more than the first bytes that tell a layout:
// a pipe or a FIFO is not waited on for more.
TEST(IersSeries, TheLayoutIsToldFromTheFirstLinesThatDecide) {
  const struct {
    std::string start;
    bool told;
  } cases[] = {
      {"", false},
      {"72 01 01 0.0304", false},                 // the first line cut
      {"72 01 01 0.0304 0.0187 -10.04\n", true},  // a record: no series
      {"\n\n" + kFinalsDay, true},
      {kHeader14.substr(0, kHeader14.find("14 C04")), false},  // cut before the name
      {kHeader14.substr(0, kHeader14.find("FORMAT")), true},
      {"  EARTH ORIENTATION\n", false},
      {"  EARTH ORIENTATION\n" + kDay14, true},  // a header that names no C04: no series
      {"# EOP (IERS)\n", false},
      {"# EOP (IERS)\n" + kDay20, true},
      {kHeader20.substr(0, 40), false},
      {kHeader20, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.start);
    EXPECT_EQ(series_layout_told(c.start), c.told);
  }
}

struct RefusalCase {
  const char* name;
  SeriesLayout layout;
  std::string text;
  std::uint64_t line;
  const char* said;  // a part of the reason
  bool beyond_years = false;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << c.name;
}

class SeriesRefusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(SeriesRefusals, SayWhere) {
  const RefusalCase& c = GetParam();
  Series series;
  SeriesRefusal refusal;
  ASSERT_FALSE(read_series(c.text, c.layout, series, refusal));
  EXPECT_EQ(refusal.line, c.line);
  EXPECT_NE(refusal.reason.find(c.said), std::string::npos) << refusal.reason;
  EXPECT_EQ(refusal.beyond_two_digit_years, c.beyond_years);
}

constexpr auto k14 = SeriesLayout::c04_14;
constexpr auto k20 = SeriesLayout::c04_20;
constexpr auto kFinals = SeriesLayout::finals2000a;

INSTANTIATE_TEST_SUITE_P(
    Iers, SeriesRefusals,
    ::testing::Values(
        RefusalCase{"mjd_of_another_day", k14, kHeader14 + with_columns(kDay14, 13, "  57754"), 6,
                    "MJD 57754 is not that of 2016-12-31, 57753"},
        RefusalCase{"not_a_date", k14, kHeader14 + with_columns(kDay14, 9, "  32"), 6,
                    "is not a date"},
        RefusalCase{"x_out_of_its_columns", k14,
                    kHeader14 + with_columns(kDay14, 20, " 0.081284  "), 6, "x in columns 20-30"},
        RefusalCase{"five_decimals", k14, kHeader14 + with_columns(kDay14, 20, "    0.08128"), 6,
                    "F11.6"},
        RefusalCase{"a_letter", k14, kHeader14 + with_columns(kDay14, 45, "x"), 6,
                    "UT1-UTC in columns 42-53"},
        RefusalCase{"free_format", k14, kHeader14 + "2016 12 31 57753 0.081284 0.263013 -0.4\n", 6,
                    "the month in columns 5-8"},
        RefusalCase{"header_after_a_day", k14, kHeader14 + kDay14 + "  EOP (IERS) 14 C04\n", 7,
                    "header lines come before the first day only"},
        RefusalCase{"text_after_the_last_column", k14,
                    kHeader14 + kDay14.substr(0, kDay14.size() - 1) + " 1.0\n", 6,
                    "text after column 155"},
        RefusalCase{"day_after_a_blank_line", k14, kHeader14 + kDay14 + "\n" + kDay14, 8,
                    "after the blank line 7"},
        RefusalCase{"no_day", k14, kHeader14, 6, "the series holds no day"},
        RefusalCase{"year_2050", k14,
                    kHeader14 + with_columns(with_columns(kDay14, 1, "2050"), 13, "  70171"), 6,
                    "2050-12-31 lies from 2050 on", true},
        RefusalCase{"hash_line_after_a_day", k20, kHeader20 + kDay20 + "# more\n", 4,
                    "a comment line"},
        RefusalCase{"sampled_at_noon", k20,
                    kHeader20 + with_columns(with_columns(kDay20, 13, "  12"), 17, "  57754.50"), 3,
                    "hour 12, MJD 57754.50"},
        RefusalCase{"mjd_20", k20, kHeader20 + with_columns(kDay20, 17, "  57753.00"), 3,
                    "MJD 57753 is not that of 2017-01-01, 57754"},
        RefusalCase{"finals_mjd", kFinals, kFinalsDay + with_columns(kFinalsDay, 8, "57755.00"), 2,
                    "MJD 57755 is not that of 2017-01-01, 57754"},
        RefusalCase{"finals_flag", kFinals, kFinalsDay + with_columns(kFinalsNextDay, 58, "F"), 2,
                    "I or P, the flag of Bulletin A's UT1-UTC"},
        RefusalCase{"finals_flag_without_values", kFinals, kFinalsDay + "17 1 2 57755.00 I\n", 2,
                    "a blank was expected"},
        RefusalCase{"finals_between_columns", kFinals,
                    kFinalsDay + with_columns(kFinalsDay, 37, "0"), 2, "column 37"},
        RefusalCase{"finals_values_after_the_end", kFinals,
                    kFinalsDay + "17 1 2 57755.00\n" +
                        with_columns(with_columns(kFinalsDay, 5, " 3"), 8, "57756.00"),
                    3, "after line 2, the first day without all three"},
        // Days repeated or out of order, as pasted files give them.
        RefusalCase{"day_repeated", k14, kHeader14 + kDay14 + kDay14, 7, "57754"},
        RefusalCase{"finals_overlapping_days", kFinals, kFinalsDay + kFinalsNextDay + kFinalsDay, 3,
                    "57756"},
        RefusalCase{"finals_no_day_with_values", kFinals,
                    with_columns(kFinalsDay, 58, std::string(21, ' ')), 2, "holds no day"},
        RefusalCase{"finals_2050", kFinals,
                    with_columns(with_columns(kFinalsDay, 1, "50 1 1"), 8, "69807.00"), 1,
                    "2050-01-01 lies from 2050 on", true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- the program

test::RunResult run(const fs::path& dir, std::vector<std::string> arguments) {
  return test::run_program(KW_TAI2UTC_PATH, dir, {.arguments = std::move(arguments)});
}

// The value of a decimal text in units of 10^-decimals, exactly.
long long scaled(const std::string& text, int decimals) {
  const std::size_t start = text.find_first_not_of(' ');
  const bool negative = text[start] == '-';
  const std::string digits = text.substr(start + (negative ? 1 : 0));
  const std::size_t point = digits.find('.');
  const std::string whole = digits.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : digits.substr(point + 1);
  fraction.resize(static_cast<std::size_t>(decimals), '0');
  const long long value = std::stoll((whole.empty() ? "0" : whole) + fraction);
  return negative ? -value : value;
}

// The days of astropy's 14 C04 series, by the published columns.
struct PublishedDay {
  int year, month, day;
  double mjd;
  std::string x, y, ut1_utc;
};

std::vector<PublishedDay> published_days(const fs::path& file) {
  std::vector<PublishedDay> days;
  std::istringstream text(test::read_file(file));
  for (std::string line; std::getline(text, line);) {
    if (line.size() < 53 || line[0] < '0' || line[0] > '9') continue;
    days.push_back({std::atoi(line.substr(0, 4).c_str()), std::atoi(line.substr(4, 4).c_str()),
                    std::atoi(line.substr(8, 4).c_str()), std::atof(line.substr(12, 7).c_str()),
                    line.substr(19, 11), line.substr(30, 11), line.substr(41, 12)});
  }
  return days;
}

LeapTable table_in(const fs::path& file) {
  LeapTable table;
  InputUnit unit(3, file.string());
  load_leap_table(unit, table, TableForms::published);
  return table;
}

struct TableCase {
  const char* name;
  fs::path table;
  const char* before_line;  // what standard error says of the days before the table, if anything
};

void PrintTo(const TableCase& c, std::ostream* os) {
  *os << c.name;
}

class AstropySeries : public ::testing::TestWithParam<TableCase> {};

// The whole series through --reverse, then forward again: every record's
// UT1-UTC within 0.5 us of the series' (in 1962-1963, where TAI-UTC has a
// seventh decimal, plus that decimal's distance to the microsecond), x and
// y the series' rounded to five decimals, ties either way.
TEST_P(AstropySeries, GoesThroughReverseAndBack) {
  if (!fs::exists(kAstropyC04)) {
    GTEST_SKIP() << "needs astropy's published series " << kAstropyC04
                 << " (install python3-astropy)";
  }
  const TableCase& c = GetParam();
  const test::TempDir dir;
  const test::RunResult reverse =
      run(dir.path(), {"--table", c.table.string(), "--reverse", kAstropyC04.string(), "tai.txt"});
  ASSERT_EQ(reverse.exit_status, 0) << reverse.standard_error;
  EXPECT_EQ(reverse.standard_error, c.before_line);
  const test::RunResult forward =
      run(dir.path(), {"--table", c.table.string(), "tai.txt", "utc.txt"});
  ASSERT_EQ(forward.exit_status, 0) << forward.standard_error;
  EXPECT_EQ(forward.standard_error, c.before_line);
  const std::vector<PublishedDay> days = published_days(kAstropyC04);
  const std::string tai = test::read_file(dir.path() / "tai.txt");
  const std::string utc = test::read_file(dir.path() / "utc.txt");
  ASSERT_EQ(tai.size(), days.size() * 39);
  ASSERT_EQ(utc.size(), days.size() * 38);
  ASSERT_GT(days.size(), 22000U);
  const LeapTable table = table_in(c.table);
  for (std::size_t i = 0; i < days.size(); ++i) {
    const PublishedDay& d = days[i];
    const std::string record = utc.substr(i * 38, 38);
    SCOPED_TRACE("record " + std::to_string(i + 1) + ": " + record.substr(0, 36));
    char date[16];
    std::snprintf(date, sizeof date, "%02d%3.2d%3.2d", d.year % 100, d.month, d.day);
    ASSERT_EQ(record.substr(0, 8), date);
    EXPECT_LE(std::llabs(scaled(record.substr(8, 9), 5) * 10 - scaled(d.x, 6)), 5);
    EXPECT_LE(std::llabs(scaled(record.substr(17, 9), 5) * 10 - scaled(d.y, 6)), 5);
    // TAI-UTC's distance to the microsecond, in units of 0.1 us.
    const double dt = test::tai_utc(table, d.mjd);
    const long long tenths = std::llround(dt * 1e7);
    const long long slack = std::llabs(tenths - std::llround(dt * 1e6) * 10);
    if (d.year >= 1964) {
      ASSERT_EQ(slack, 0) << dt;
    }
    EXPECT_LE(std::llabs(scaled(record.substr(26, 10), 6) * 10 - scaled(d.ut1_utc, 7)), 5 + slack);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Iers, AstropySeries,
    ::testing::Values(
        // The USNO's table of TAI-UTC holds the rates of 1961-1971.
        TableCase{"since_1961", kTestData / "tai-utc.dat", ""},
        TableCase{"shipped", kTestData / "shipped-ls.ini",
                  "KW_TAI2UTC: 3,652 records dated before 1972-01-01, the table's first entry, "
                  "took 9.0 s (its first value less one second)\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A sample's days, read from the published columns: the date, x, y and
// UT1-UTC, and whether a flag says predicted.
struct SampleDay {
  int year, month, day;
  std::string x, y, ut1_utc;
  bool predicted;
};

struct SampleCase {
  const char* name;
  const char* file;
  std::vector<SampleDay> (*days)(const std::string& text);
  const char* notes;  // the lines standard error ends with
};

void PrintTo(const SampleCase& c, std::ostream* os) {
  *os << c.name;
}

std::vector<SampleDay> days_of_c04_20(const std::string& text) {
  std::vector<SampleDay> days;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("#")) continue;
    days.push_back({std::atoi(line.substr(0, 4).c_str()), std::atoi(line.substr(4, 4).c_str()),
                    std::atoi(line.substr(8, 4).c_str()), line.substr(26, 12), line.substr(38, 12),
                    line.substr(50, 12), false});
  }
  return days;
}

std::vector<SampleDay> days_of_finals(const std::string& text) {
  std::vector<SampleDay> days;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() < 68) continue;  // beyond the predictions: no values
    const int mjd = std::atoi(line.substr(7, 5).c_str());
    days.push_back({std::atoi(line.substr(0, 2).c_str()) + (mjd <= 51543 ? 1900 : 2000),
                    std::atoi(line.substr(2, 2).c_str()), std::atoi(line.substr(4, 2).c_str()),
                    line.substr(18, 9), line.substr(37, 9), line.substr(58, 10),
                    line[16] == 'P' || line[57] == 'P'});
  }
  return days;
}

class Samples : public ::testing::TestWithParam<SampleCase> {};

// Each day of a hand-made sample becomes the record the program's own
// reverse conversion gives of it: x, y and UT1-UTC - TAI-UTC as doubles,
// rounded to the fields.
TEST_P(Samples, ConvertExactly) {
  const SampleCase& c = GetParam();
  const test::TempDir dir;
  const fs::path table = kTestData / "shipped-ls.ini";
  const test::RunResult reverse =
      run(dir.path(), {"--table", table.string(), "--reverse", (kTestData / c.file).string()});
  ASSERT_EQ(reverse.exit_status, 0) << reverse.standard_error;
  const LeapTable leaps = test::shipped_leap_table();
  std::string expected;
  int predicted = 0;
  for (const SampleDay& d : c.days(test::read_file(kTestData / c.file))) {
    char date[16];
    std::snprintf(date, sizeof date, "%02d%3.2d%3.2d", d.year % 100, d.month, d.day);
    const std::array<std::int32_t, 3> idate = {d.year % 100, d.month, d.day};
    const double dt = test::tai_utc(leaps, mjd_of(idate));
    expected += date + test::reference_fixed(std::strtod(d.x.c_str(), nullptr), 9, 5) +
                test::reference_fixed(std::strtod(d.y.c_str(), nullptr), 9, 5) + " " +
                test::reference_fixed(std::strtod(d.ut1_utc.c_str(), nullptr) - dt, 10, 6) + "\r\n";
    predicted += static_cast<int>(d.predicted);
  }
  EXPECT_GT(expected.size(), 200U * 39);
  EXPECT_TRUE(reverse.standard_output == expected);
  // Both cross the leap second at the end of 2016.
  EXPECT_NE(reverse.standard_output.find("16 12 31  0.08128  0.26301 -36.407749"),
            std::string::npos);
  EXPECT_NE(reverse.standard_output.find("17 01 01  0.08041  0.26311 -36.408702"),
            std::string::npos);
  std::string notes = c.notes;
  if (predicted > 0) {
    notes = "KW_TAI2UTC: " + std::to_string(predicted) +
            " records taken from predicted values (flag P), not from observed ones\n" + notes;
  }
  EXPECT_EQ(reverse.standard_error, notes);
}

INSTANTIATE_TEST_SUITE_P(
    Iers, Samples,
    ::testing::Values(SampleCase{"c04_20", "c04-20-sample.txt", days_of_c04_20, ""},
                      SampleCase{"finals2000A", "finals2000A-sample.txt", days_of_finals,
                                 "KW_TAI2UTC: 10 days at the series' end without Bulletin A's x, "
                                 "y and UT1-UTC gave no record\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Forward on a series, which already gives UT1-UTC, is refused: nothing
// converted, a named OUTPUT as it was.
TEST(IersSeries, ForwardOnASeriesIsRefused) {
  for (const char* file : {"c04-20-sample.txt", "finals2000A-sample.txt"}) {
    SCOPED_TRACE(file);
    const test::TempDir dir;
    test::write_file(dir.path() / "out.txt", "as it was\n");
    const test::RunResult forward =
        run(dir.path(), {"--table", (kTestData / "shipped-ls.ini").string(),
                         (kTestData / file).string(), "out.txt"});
    EXPECT_EQ(forward.exit_status, 2);
    EXPECT_NE(forward.standard_error.find("which gives UT1-UTC: use --reverse"), std::string::npos)
        << forward.standard_error;
    EXPECT_EQ(test::read_file(dir.path() / "out.txt"), "as it was\n");
  }
}

// A line of a series that does not read stops the run as a malformed
// record does: its forrtl: line, then the line that says where and why;
// nothing is written.
TEST(IersSeries, ABadLineStopsTheRunAsABadRecordDoes) {
  const test::TempDir dir;
  const std::string table = (kTestData / "shipped-ls.ini").string();
  struct Case {
    std::string text;
    int status;
    std::string said;
  };
  for (const Case& c :
       {Case{kHeader20 + kDay20 + with_columns(kDay20, 30, "x"), 59,
             "forrtl: severe (59): list-directed I/O syntax error, unit 1, file in.txt\n"
             "KW_TAI2UTC: line 4 of \"in.txt\" (the IERS 20 C04 series): x in columns 27-38 is "
             "\"   x0.080406\", where F12.6 (a number ending in column 38) was expected\n"},
        Case{kFinalsDay + with_columns(with_columns(kFinalsDay, 1, "50 1 1"), 8, "69807.00"), 64,
             "forrtl: severe (64): input conversion error, unit 1, file in.txt\n"
             "KW_TAI2UTC: line 2 of \"in.txt\" (the IERS finals2000A series): 2050-01-01 lies from "
             "2050 on, which a record's two-digit year cannot hold (it holds 1950 to 2049)\n"}}) {
    test::write_file(dir.path() / "in.txt", c.text);
    const test::RunResult result =
        run(dir.path(), {"--table", table, "--reverse", "in.txt", "out.txt"});
    EXPECT_EQ(result.exit_status, c.status);
    EXPECT_EQ(result.standard_error, c.said + "KW_TAI2UTC: \"out.txt\" was not written\n");
    EXPECT_FALSE(fs::exists(dir.path() / "out.txt"));
  }
}

}  // namespace
}  // namespace kw

// Loading the leap-second table from "ls.ini": accepted layouts, the
// errors of a bad line, and the stops for a table that cannot be used.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "records/failure.h"
#include "support/files.h"
#include "support/messages.h"
#include "timescale/lsconv_s.h"
#include "timescale/published/published_table.h"
#include "timescale/table_reader.h"

namespace kw {
namespace {

struct Loaded {
  LeapColumn mjd{};
  LeapColumn dt{};
  std::int32_t n = -1;
  std::string stop;  // the failure line, empty when the load succeeded
  int status = 0;
};

Loaded load(const std::string* contents) {
  test::TempDir dir;
  if (contents != nullptr) test::write_file(dir.path() / "ls.ini", *contents);
  test::ScopedCwd cwd(dir.path());
  Loaded result;
  try {
    LS_L(result.mjd, result.dt, result.n);
  } catch (const RunStop& stop) {
    result.stop = stop.line();
    result.status = stop.status();
  }
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "ls.ini"));  // created when missing
  return result;
}

Loaded load(const std::string& contents) {
  return load(&contents);
}

TEST(LsL, LoadsTheLayoutsItAccepts) {
  const Loaded t = load(
      "1972  1  1  10.0\r\n"
      "\r\n"
      "   \t \n"
      "1972,7,1,11.0\n"
      "1973 , 1 , 1 , 12 extra values 1 2 3\n"
      "1973 1 1 12.5\n"   // an equal date is accepted
      "1999 1 1 3.2e1");  // no line end after the last line
  ASSERT_EQ(t.stop, "");
  ASSERT_EQ(t.n, 5);
  const double mjd[] = {41317, 41499, 41683, 41683, 51179};
  const double dt[] = {10, 11, 12, 12.5, 32};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(t.mjd[static_cast<std::size_t>(i)], mjd[i]) << i;
    EXPECT_EQ(t.dt[static_cast<std::size_t>(i)], dt[i]) << i;
  }
}

TEST(LsL, HoldsExactlyOneHundredEntries) {
  std::string contents;
  for (int i = 0; i < LS_MAX; ++i)
    contents += std::to_string(1900 + i) + " 1 1 " + std::to_string(i) + "\n";
  const Loaded full = load(contents);
  EXPECT_EQ(full.stop, "");
  EXPECT_EQ(full.n, LS_MAX);

  const Loaded over = load(contents + "\n2000 1 1 100\n");
  EXPECT_EQ(over.stop,
            "KW_TAI2UTC: \"ls.ini\" holds more than 100 leap-second entries (line 102 is entry "
            "101); no record converted");
  EXPECT_EQ(over.status, table_problem_status);
}

struct BadTable {
  const char* contents;  // nullptr: no file at all
  std::string stop;
};

TEST(LsL, StopsOnBadLinesAndUnusableTables) {
  const char* syntax = "forrtl: severe (59): list-directed I/O syntax error, unit 3, file ls.ini";
  const char* conversion = "forrtl: severe (64): input conversion error, unit 3, file ls.ini";
  const std::string empty =
      "KW_TAI2UTC: \"ls.ini\" holds no leap-second entry (the file is empty or blank); no "
      "record converted" +
      std::string(test::kWriteTable);
  const std::string missing =
      "KW_TAI2UTC: \"ls.ini\" is missing (made empty); no record converted" +
      std::string(test::kWriteTable);
  const BadTable cases[] = {
      {"1972 1 1\n1972 7 1 11.0\n", syntax},  // not completed from the next line
      {"1972 1 1 10.0\n1972 7\n", syntax},
      {"1972 1 1 ten\n", syntax},
      {"1972 1 1 10.0\n,1972 7 1 11.0\n", syntax},
      {"1972 1 1.5 10.0\n", conversion},
      {"1972 1 1 1e999\n", conversion},
      {"99999999999 1 1 10.0\n", conversion},
      {"", empty},
      {"\r\n \n\t\n", empty},
      {nullptr, missing},
      {"1972 1 1 10\n1980 1 1 19\n1975 1 1 14\n",
       "KW_TAI2UTC: \"ls.ini\", line 3: the date lies before the date of the entry above it "
       "(line 2); no record converted"},
  };
  for (const auto& c : cases) {
    const std::string text = c.contents != nullptr ? c.contents : "";
    const Loaded t = c.contents != nullptr ? load(text) : load(nullptr);
    EXPECT_EQ(t.stop, c.stop) << text;
    EXPECT_NE(t.status, 0) << text;
  }
}

}  // namespace
}  // namespace kw

namespace kw {
namespace {

struct NoteCase {
  const char* text;
  double first_rate;    // of the first entry
  double last_rate;     // of the last one
  const char* expires;  // nullptr: none
};

// The notes the loader reads after a line's four values: a rate on any
// entry, the expiry on the last entry's line only; any other note is the
// user's, and changes nothing.
TEST(TableNotes, RatesOnAnyLineAndTheExpiryOnTheLastOne) {
  const NoteCase cases[] = {
      {"1962 1 1 1.8458580 rate 0.0011232 s/day\n1972 1 1 10\n", 0.0011232, 0, nullptr},
      {"1962 1 1 1.8 my rate 0.0011232 a day\n1972 1 1 10 from the rate 2 s/day note\n", 0, 2,
       nullptr},
      {"1972 1 1 10 expires 2027-06-28\n1973 1 1 12\n", 0, 0, nullptr},
      {"1972 1 1 10\n1973 1 1 12   expires 2027-06-28, leap-seconds.list of 2026-07-08\n", 0, 0,
       "2027-06-28"},
      {"1972,1,1,10,expires 2027-06-28\n", 0, 0, "2027-06-28"},
      {"1968 2 1 4.2131700 rate 0.002592 s/day   expires 2024-02-29, x\n", 0.002592, 0.002592,
       "2024-02-29"},
      {"1972 1 1 10 the rate of 1972, expires when it will, rate\n", 0, 0, nullptr},
      {"1972 1 1 10 my note   expires 2027-06-28\n", 0, 0, "2027-06-28"},
      // The four values of a line are any integers: a month 13 is the next
      // year's January, a day 0 the month's day before its first.
      {"1972 13 1 10\n1974 1 0 13 expires 1974-01-01\n", 0, 0, "1974-01-01"},
  };
  for (const NoteCase& c : cases) {
    LeapTable table;
    ASSERT_FALSE(load_table_text(c.text, table)) << c.text;
    EXPECT_EQ(table.LS_RATE[0], c.first_rate) << c.text;
    EXPECT_EQ(table.LS_RATE[static_cast<std::size_t>(table.LS_N - 1)], c.last_rate) << c.text;
    if (c.expires == nullptr) {
      EXPECT_EQ(table.expires, kNoExpiry) << c.text;
    } else {
      EXPECT_EQ(iso_date(static_cast<std::int64_t>(table.expires)), c.expires) << c.text;
    }
  }
}

// A note that begins with a keyword the program acts on and is not in its
// form, one in its form with a value that is no number or no date, and an
// expiry on or before the last entry make the table unusable: the run
// stops (status 1) with a line naming the line of the table.
TEST(TableNotes, MalformedOrEarlyExpiryAreUnusable) {
  const char* rate = " is not \"rate R s/day\" with R a finite number";
  const struct {
    const char* text;
    std::string said;  // after "KW_TAI2UTC: \"ls.ini\", line "
  } cases[] = {
      {"1962 1 1 1.8 rate 0,5 s/day\n", std::string("1: the note \"rate 0,5 s/day\"") + rate},
      {"1962 1 1 1.8 rate 0.5 s/d\n", std::string("1: the note \"rate 0.5 s/d\"") + rate},
      {"1972 1 1 10\n1962 2 1 1.8 rate nan s/day\n",
       std::string("2: the note \"rate nan s/day\"") + rate},
      {"1962 1 1 1.8 rate inf s/day\n", std::string("1: the note \"rate inf s/day\"") + rate},
      {"1962 1 1 1.8 rate\n", std::string("1: the note \"rate\"") + rate},
      {"1962 1 1 1.8 my note, rate -nan s/day\n",
       std::string("1: the note \"rate -nan s/day\"") + rate},
      {"1962 1 1 1.8 rate 0.1 s/day rate 1 s/hour\n",
       std::string("1: the note \"rate 1 s/hour\"") + rate},
      {"1972 1 1 10 expires 2026-02-30\n",
       "1: the note \"expires 2026-02-30\": year 2026, month 2, day 30 is not a date"},
      {"1972 1 1 10 expires 2027-13-01\n",
       "1: the note \"expires 2027-13-01\": year 2027, month 13, day 1 is not a date"},
      {"1972 1 1 10 see expires 1858-11-16\n",
       "1: the note \"expires 1858-11-16\": year 1858, month 11, day 16 lies before 1858-11-17, "
       "the first day a table holds"},
      {"1972 1 1 10 expires 20x7-01-01\n",
       "1: the note \"expires 20x7-01-01\": not digits in the form YYYY-MM-DD"},
      {"1972 1 1 10 expires soon\n", "1: the note \"expires soon\" is not \"expires YYYY-MM-DD\""},
      {"1972 1 1 10 expires \x1b[2J\n",
       "1: the note \"expires \\x1b[2J\" is not \"expires YYYY-MM-DD\""},
      {"1972 1 1 10\n2017 1 1 37 expires 2016-12-31\n",
       "2: the expiry 2016-12-31 does not lie after the last entry's date, 2017-01-01"},
      {"1972 1 1 10\n2017 1 1 37 expires 2017-01-01\n",
       "2: the expiry 2017-01-01 does not lie after the last entry's date, 2017-01-01"},
      {"2017 1 1 37 expires 2027-06-28\n2017 1 1 37 expires 1999-01-01\n",
       "2: the expiry 1999-01-01 does not lie after the last entry's date, 2017-01-01"},
  };
  for (const auto& c : cases) {
    const Loaded t = load(std::string(c.text));
    EXPECT_EQ(t.stop, "KW_TAI2UTC: \"ls.ini\", line " + c.said + "; no record converted") << c.text;
    EXPECT_EQ(t.status, table_problem_status) << c.text;
  }
}

}  // namespace
}  // namespace kw

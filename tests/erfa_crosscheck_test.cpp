// JUDDY and LS_D against ERFA, a standard astronomy library (Debian's
// liberfa-dev), on every day where the two must agree; where they
// legitimately differ, the routines' own properties instead.
//
// ERFA's eraCal2jd uses the Gregorian calendar for every date, so it is a
// reference from 1 March 1583 on; JUDDY takes earlier dates as Julian
// calendar dates. ERFA's eraDat gives the real TAI-UTC, in whole leap
// seconds from 1972 on and drifting before, which LS_D gives from a table
// that carries the rates of 1961-1971.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/calendar.h"
#include "support/leap_tables.h"
#include "timescale/lsconv_s.h"
#include "timescale/published/published_table.h"

#if KW_HAVE_ERFA
#include <erfa.h>
#endif

namespace kw {
namespace {

double juddy(int year, int month, double day) {
  double y = year;
  double m = month;
  double mjd = 0.0;
  JUDDY(mjd, y, m, day);
  return mjd;
}

// Calls `visit(year, month, day)` for every day from (y0, m0, d0) to
// (y1, m1, d1) of the Gregorian calendar, or of the Julian one.
template <class Visit>
void for_each_day(int y0, int m0, int d0, int y1, int m1, int d1, bool julian, Visit visit) {
  int y = y0;
  int m = m0;
  int d = d0;
  for (;;) {
    visit(y, m, d);
    if (y == y1 && m == m1 && d == d1) return;
    if (++d > test::days_in_month(y, m, julian)) {
      d = 1;
      if (++m > 12) {
        m = 1;
        ++y;
      }
    }
  }
}

#if KW_HAVE_ERFA

TEST(ErfaCrossCheck, JuddyGivesErfasMjdOnEveryDayFrom1583To2199) {
  long days = 0;
  for_each_day(1583, 3, 1, 2199, 12, 31, false, [&](int y, int m, int d) {
    double djm0 = 0.0;
    double djm = 0.0;
    ASSERT_EQ(eraCal2jd(y, m, d, &djm0, &djm), 0) << y << '-' << m << '-' << d;
    ASSERT_EQ(djm0, 2400000.5);
    ASSERT_EQ(juddy(y, m, d), djm) << y << '-' << m << '-' << d;
    ++days;
  });
  EXPECT_EQ(days, 225'296);  // 1 March 1583 to 31 December 2199
}

TEST(ErfaCrossCheck, LsDAgreesFrom1972To2049) {
  const LeapTable table = test::shipped_leap_table();
  long days = 0;
  for_each_day(1972, 1, 1, 2049, 12, 31, false, [&](int y, int m, int d) {
    double reference = 0.0;
    // Status 1 only says the date lies beyond ERFA's own table's release.
    ASSERT_GE(eraDat(y, m, d, 0.0, &reference), 0) << y << '-' << m << '-' << d;
    ASSERT_EQ(test::tai_utc(table, juddy(y, m, d)), reference) << y << '-' << m << '-' << d;
    ++days;
  });
  EXPECT_EQ(days, 28'490);
}

// With the history of 1961-1971 before the shipped entries, as kw_lsini
// --since-1961 writes it, the rates give ERFA's drifting offsets on every
// day of those years.
TEST(ErfaCrossCheck, Since1961TableAgreesTo1971) {
  PublishedTable published;
  published.entries = entries_of_1961_to_1971();
  std::vector<PublishedEntry> shipped;
  std::optional<std::int64_t> no_expiry;
  std::string why;
  ASSERT_TRUE(table_entries(test::shipped_table_text(), shipped, no_expiry, why)) << why;
  published.entries.insert(published.entries.end(), shipped.begin(), shipped.end());
  std::string text;
  ASSERT_TRUE(table_text(published, text, why)) << why;
  const LeapTable table = test::table_from_text(text);
  long days = 0;
  for_each_day(1961, 1, 1, 1971, 12, 31, false, [&](int y, int m, int d) {
    double reference = 0.0;
    ASSERT_GE(eraDat(y, m, d, 0.0, &reference), 0) << y << '-' << m << '-' << d;
    ASSERT_NEAR(test::tai_utc(table, juddy(y, m, d)), reference, 1e-9) << y << '-' << m << '-' << d;
    ++days;
  });
  EXPECT_EQ(days, 4017);
}

#else

TEST(ErfaCrossCheck, SkippedWithoutErfa) {
  GTEST_SKIP() << "ERFA (Debian's liberfa-dev) was not found when the tests were built: "
                  "JUDDY and LS_D are not cross-checked against it";
}

#endif

// Where ERFA is no reference, the calendar's own properties.
TEST(JuddyProperties, DaysOneApartStayOneApartInEitherCalendar) {
  // Julian calendar dates up to 4 October 1582, Gregorian from 15 October.
  double previous = juddy(1000, 1, 1) - 1.0;
  for_each_day(1000, 1, 1, 1582, 10, 4, true, [&](int y, int m, int d) {
    const double mjd = juddy(y, m, d);
    ASSERT_EQ(mjd, previous + 1.0) << y << '-' << m << '-' << d;
    previous = mjd;
  });
  // The day after Thursday 4 October 1582 (Julian) is Friday 15 October
  // 1582 (Gregorian): MJD -100840.
  EXPECT_EQ(juddy(1582, 10, 15), previous + 1.0);
  EXPECT_EQ(juddy(1582, 10, 15), -100840.0);
  previous = juddy(1582, 10, 15) - 1.0;
  for_each_day(1582, 10, 15, 1583, 3, 1, false, [&](int y, int m, int d) {
    const double mjd = juddy(y, m, d);
    ASSERT_EQ(mjd, previous + 1.0) << y << '-' << m << '-' << d;
    previous = mjd;
  });
}

TEST(JuddyProperties, AFractionOfADayAddsToTheMjd) {
  for (const double fraction : {0.25, 0.5, 0.75, 0.125}) {
    for (const int year : {1600, 1858, 1972, 2000, 2049, 2199}) {
      EXPECT_EQ(juddy(year, 7, 1.0 + fraction), juddy(year, 7, 1.0) + fraction) << year;
    }
  }
}

}  // namespace
}  // namespace kw

// JUDDY and LS_D against worked values, an independent calendar, and the
// lookup's boundary rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "support/bits.h"
#include "support/calendar.h"
#include "support/leap_tables.h"
#include "support/oracles.h"
#include "timescale/date_offsets.h"
#include "timescale/int32_arith.h"
#include "timescale/leap_table.h"
#include "timescale/lsconv_s.h"
#include "timescale/published/published_table.h"

namespace kw {
namespace {

struct DateCase {
  const char* name;  // the case's name in the test list
  double year, month, day;
  double mjd;                      // expected MJD
  double year_after, month_after;  // the caller's year and month afterwards
};

void PrintTo(const DateCase& c, std::ostream* os) {
  *os << c.name << " (" << c.year << " " << c.month << " " << c.day << ")";
}

class JuddyDates : public ::testing::TestWithParam<DateCase> {};

TEST_P(JuddyDates, GiveTheirMjd) {
  const DateCase& c = GetParam();
  double mjd = 0.0;
  double year = c.year;
  double month = c.month;
  const double day = c.day;
  JUDDY(mjd, year, month, day);
  EXPECT_EQ(mjd, c.mjd);
  EXPECT_EQ(year, c.year_after);
  EXPECT_EQ(month, c.month_after);
}

INSTANTIATE_TEST_SUITE_P(
    Worked, JuddyDates,
    ::testing::Values(
        DateCase{"epoch_2000", 2000, 1, 1, 51544, 1999, 13},  // the MJD epoch's well-known value
        DateCase{"mjd_zero", 1858, 11, 17, 0, 1858, 11},      // MJD zero
        DateCase{"leap_day", 2000, 2, 29, 51603, 1999, 14},   // leap day
        DateCase{"january_1996", 1996, 1, 5, 50087, 1995, 13},
        DateCase{"first_table_entry", 1972, 1, 1, 41317, 1971, 13},  // first leap-second entry
        DateCase{"last_table_entry", 2017, 1, 1, 57754, 2016, 13},   // last leap-second entry
        DateCase{"fraction_of_day", 2000, 1, 1.5, 51544.5, 1999,
                 13},  // a fraction of a day is kept
        DateCase{"fraction_in_march", 2000, 3, 1.25, 51604.25, 2000, 3},
        DateCase{"last_julian_day", 1582, 10, 4, -100841, 1582, 10},  // last Julian day ...
        DateCase{"first_gregorian_day", 1582, 10, 15, -100840, 1582,
                 10},  // ... and the first Gregorian one
        DateCase{"below_gregorian_threshold", 1582, 10, 14, -100831, 1582,
                 10},  // 1582.1014 is below the threshold
        DateCase{"julian_day_zero", -4712, 1, 1.5, -2400000.5, -4713, 13},  // Julian Day zero
        DateCase{"negative_year", -1, 3, 1, -679249, -1, 3},                // negative year branch
        DateCase{"year_zero", 0, 1, 1, -678943, -1, 13},  // year 0 becomes -1 in January
        // Months outside 1-12 are taken as they are: only January and
        // February count as months 13 and 14 of the year before. Month 0
        // is not December of the year before (that would give 51180).
        DateCase{"month_zero", 1999, 0, 33, 51178, 1999, 0},
        DateCase{"month_thirteen", 1999, 13, 1, 51544, 1999, 13},
        // Out of 32-bit range: the year term becomes -2147483648.
        DateCase{"year_term_beyond_int32", 1e10, 3, 1, -2223162529.0, 1e10, 3},
        // The sum of the two terms wraps modulo 2^32.
        DateCase{"sum_wraps", 5879489, 12, 1, -2148206641.0, 5879489, 12}),
    [](const ::testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

TEST(Juddy, AgreesWithIntegerCalendarOnEveryGregorianDay) {
  constexpr long long kMjdOf1970 = 40587;
  for (long long y = 1583; y <= 2199; ++y) {
    for (unsigned m = 1; m <= 12; ++m) {
      for (unsigned d = 1; d <= static_cast<unsigned>(test::days_in_month(y, static_cast<int>(m)));
           ++d) {
        double mjd = 0.0;
        auto year = static_cast<double>(y);
        double month = m;
        const double day = d;
        JUDDY(mjd, year, month, day);
        ASSERT_EQ(mjd, static_cast<double>(test::days_from_civil(y, m, d) + kMjdOf1970))
            << y << "-" << m << "-" << d;
      }
    }
  }
}

// The calendar check of the dates of published tables and expiry notes:
// each month's days (leap years by the Gregorian rule), and each end of
// the table's days with its own answer, for any integers (std::chrono
// would keep only 8 bits of a month or a day).
TEST(CalendarDates, AreRealDatesWithinTheTablesDays) {
  constexpr std::int64_t kBig = std::numeric_limits<std::int64_t>::max();
  const struct {
    std::int64_t year, month, day;
    CalendarDate check;
  } cases[] = {
      {2017, 1, 1, CalendarDate::ok},
      {2017, 1, 257, CalendarDate::not_a_date},
      {2017, 257, 1, CalendarDate::not_a_date},
      {2017, 0, 1, CalendarDate::not_a_date},
      {2017, 13, 1, CalendarDate::not_a_date},
      {2017, 1, 0, CalendarDate::not_a_date},
      {2017, 4, 31, CalendarDate::not_a_date},
      {2024, 2, 29, CalendarDate::ok},
      {2023, 2, 29, CalendarDate::not_a_date},
      {2000, 2, 29, CalendarDate::ok},
      {1900, 2, 29, CalendarDate::not_a_date},
      {2026, 2, 30, CalendarDate::not_a_date},
      {1858, 11, 16, CalendarDate::before_range},
      {1858, 11, 17, CalendarDate::ok},
      {1, 1, 1, CalendarDate::before_range},
      {0, 1, 1, CalendarDate::before_range},
      {-kBig, 1, 1, CalendarDate::before_range},
      {9999, 12, 31, CalendarDate::ok},
      {10000, 1, 1, CalendarDate::past_range},
      {kBig, 12, 31, CalendarDate::past_range},
      {2017, -kBig, 1, CalendarDate::not_a_date},
      {2017, 1, kBig, CalendarDate::not_a_date},
      {2017, 1, 256 + 1, CalendarDate::not_a_date},
  };
  for (const auto& c : cases) {
    std::int64_t mjd = -1;
    const std::string what =
        std::to_string(c.year) + "-" + std::to_string(c.month) + "-" + std::to_string(c.day);
    EXPECT_EQ(calendar_date(c.year, c.month, c.day, mjd), c.check) << what;
    if (c.check == CalendarDate::ok) {
      EXPECT_EQ(mjd, test::days_from_civil(c.year, static_cast<unsigned>(c.month),
                                           static_cast<unsigned>(c.day)) +
                         40587)
          << what;
    } else {
      EXPECT_EQ(mjd, -1) << what;
    }
  }
  // Every day of every month of the years either side of a century.
  for (const std::int64_t year : {1899, 1900, 1999, 2000, 2001, 2024}) {
    for (int month = 1; month <= 12; ++month) {
      const int days = test::days_in_month(year, month);
      std::int64_t mjd = 0;
      EXPECT_EQ(calendar_date(year, month, days, mjd), CalendarDate::ok) << year << "-" << month;
      EXPECT_EQ(calendar_date(year, month, days + 1, mjd), CalendarDate::not_a_date)
          << year << "-" << month;
    }
  }
  EXPECT_EQ(calendar_fault(CalendarDate::before_range, 1850, 1, 1),
            "year 1850, month 1, day 1 lies before 1858-11-17, the first day a table holds");
  EXPECT_EQ(calendar_fault(CalendarDate::past_range, 10000, 1, 1),
            "year 10000, month 1, day 1 lies past the year 9999, the last a table holds");
}

TEST(Int32Arithmetic, TruncatesLikeX86) {
  EXPECT_EQ(trunc_to_int32(2.9), 2);
  EXPECT_EQ(trunc_to_int32(-2.9), -2);
  EXPECT_EQ(trunc_to_int32(2147483647.9), 2147483647);
  EXPECT_EQ(trunc_to_int32(-2147483648.9), INT32_MIN);
  EXPECT_EQ(trunc_to_int32(2147483648.0), INT32_MIN);
  EXPECT_EQ(trunc_to_int32(-1e300), INT32_MIN);
  EXPECT_EQ(trunc_to_int32(std::numeric_limits<double>::quiet_NaN()), INT32_MIN);
  EXPECT_EQ(wrapping_add(INT32_MAX, 1), INT32_MIN);
  EXPECT_EQ(wrapping_add(INT32_MIN, -1), INT32_MAX);
}

struct LookupCase {
  double mjd;
  double expected;
};

TEST(LsD, BoundariesAreInclusiveBelowWithEqualDates) {
  // Entries 2 and 3 share a date: entry 2 never applies.
  const LeapTable table = test::table_of({{100, 10}, {200, 11}, {200, 12}, {300, 13}});
  const std::vector<LookupCase> cases = {
      {-1e9, 9}, {99.5, 9}, {100, 10}, {199.5, 10}, {199.999, 10},
      {200, 12}, {250, 12}, {299, 12}, {300, 13},   {1e12, 13},
  };
  for (const auto& c : cases) EXPECT_EQ(test::tai_utc(table, c.mjd), c.expected) << c.mjd;
}

TEST(LsD, SingleEntryTable) {
  const LeapTable table = test::table_of({{41317, 10}});
  EXPECT_EQ(test::tai_utc(table, 41316), 9);
  EXPECT_EQ(test::tai_utc(table, 41317), 10);
  EXPECT_EQ(test::tai_utc(table, 99999), 10);
}

TEST(LsD, EmptyOrOversizedCountStaysInsideTheTable) {
  LeapTable table;
  EXPECT_EQ(test::tai_utc(table, 50000), 0.0);
  table.LS_N = -5;
  EXPECT_EQ(test::tai_utc(table, 50000), 0.0);
  LeapTable full;
  for (int i = 0; i < LS_MAX; ++i) {
    full.LS_MJD[static_cast<std::size_t>(i)] = i;
    full.LS_DT[static_cast<std::size_t>(i)] = i;
  }
  full.LS_N = LS_MAX + 50;  // more than the arrays hold
  EXPECT_EQ(test::tai_utc(full, 1e9), LS_MAX - 1);
  EXPECT_EQ(test::tai_utc(full, 41.5), 41);
}

TEST(LsD, AgreesWithAWalkOfTheTableOnRandomTables) {
  std::mt19937 random(1972);
  for (int round = 0; round < 2000; ++round) {
    LeapTable table;
    table.LS_N = 1 + static_cast<std::int32_t>(random() % LS_MAX);
    double date = 40000.0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(table.LS_N); ++i) {
      if (random() % 3 != 0) date += static_cast<double>(random() % 400);  // else an equal date
      table.LS_MJD[i] = date;
      table.LS_DT[i] = static_cast<double>(i);
      // Rates in every other table, on some of its entries.
      if (round % 2 == 1 && random() % 2 == 0) table.LS_RATE[i] = 0.001296 * (random() % 3);
    }
    std::vector<double> dates = {-1e300, 39999.0, 1e300, std::numeric_limits<double>::quiet_NaN()};
    for (std::size_t i = 0; i < static_cast<std::size_t>(table.LS_N); ++i) {
      const double at = table.LS_MJD[i];
      dates.insert(dates.end(), {at, at - 0.5, at + 0.5, std::nextafter(at, 0.0)});
    }
    for (const double mjd : dates) {
      ASSERT_TRUE(test::same_bits(test::tai_utc(table, mjd), test::walk_the_table(table, mjd)))
          << "round " << round << ", MJD " << mjd;
      if (round % 2 == 1) continue;
      double without_rates = -1.0;  // LS_D as the table of four values has it
      LS_D(without_rates, mjd, table.LS_MJD, table.LS_DT, table.LS_N);
      ASSERT_TRUE(test::same_bits(without_rates, test::walk_the_table(table, mjd)));
    }
  }
}

// The offsets of all two-digit dates, built with JUDDY once a month, are
// those of a walk of the table at each date's MJD (days 29 to 31 of every
// month too), for the real table and for one with changes in the middle
// of months and fractions of a second; dates outside them are answered
// from the table itself.
TEST(DateOffsets, AreTheOffsetsOfEachDate) {
  for (const LeapTable& table : {test::shipped_leap_table(), test::odd_leap_table()}) {
    const DateOffsets offsets(table);
    for (std::int32_t yy = -1; yy <= 100; ++yy) {
      for (std::int32_t mm = 0; mm <= 13; ++mm) {
        for (std::int32_t dd = 0; dd <= 32; ++dd) {
          double year = full_year(yy);
          double month = mm;
          double mjd = 0.0;
          JUDDY(mjd, year, month, dd);
          const double want = test::walk_the_table(table, mjd);
          ASSERT_EQ(offsets.offset({yy, mm, dd}), want) << yy << "-" << mm << "-" << dd;
          if (yy < 0 || yy > 99 || dd > 31) continue;  // the scan tier's dates have places
          std::int32_t seconds = 0;
          DateZone zone{};
          if (offsets.whole_seconds().at(DateOffsets::place_of(static_cast<std::uint32_t>(yy),
                                                               static_cast<std::uint32_t>(mm),
                                                               static_cast<std::uint32_t>(dd)),
                                         seconds, zone)) {
            ASSERT_EQ(seconds, want) << yy << "-" << mm << "-" << dd;
            ASSERT_EQ(zone, offsets.zone({yy, mm, dd})) << yy << "-" << mm << "-" << dd;
            ASSERT_LE(std::abs(want), 1000.0);
          } else {
            ASSERT_TRUE(want != std::trunc(want) || std::abs(want) > 1000.0 || mm < 1 || mm > 12 ||
                        dd < 1 || dd > 31)
                << yy << "-" << mm << "-" << dd;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace kw

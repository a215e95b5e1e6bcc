// What every published table that reads must satisfy, for the fuzz
// targets of the published formats: real dates from 1858-11-17 to the
// year 9999, in ascending order; values and rates in range, and from 1972
// on changes of whole seconds on the first of a month; an expiry after
// the last entry; a date of issue of printable characters; and the table
// written from it loads back as its entries and expiry, or is refused
// with a reason. Each published format's own rule on its expiry too.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "support/calendar.h"
#include "timescale/published/published_table.h"
#include "timescale/table_reader.h"

namespace kw::fuzz {

// Whether `mjd` is a real day of the table's days: its ISO date read back
// through the tests' own calendar.
inline bool real_day(std::int64_t mjd) {
  if (mjd < kFirstTableDay || mjd > kLastTableDay) return false;
  const std::string iso = iso_date(mjd);
  int year = 0;
  int month = 0;
  int day = 0;
  if (iso.size() != 10 || std::from_chars(iso.data(), iso.data() + 4, year).ptr != iso.data() + 4 ||
      std::from_chars(iso.data() + 5, iso.data() + 7, month).ptr != iso.data() + 7 ||
      std::from_chars(iso.data() + 8, iso.data() + 10, day).ptr != iso.data() + 10) {
    return false;
  }
  return month >= 1 && month <= 12 && day >= 1 && day <= test::days_in_month(year, month) &&
         test::days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                 40587 ==
             mjd;
}

// Real ascending dates, values and rates in range, whole seconds on the
// first of a month from 1972 on, and an expiry after the last entry.
inline void check_dates_and_values(const PublishedTable& table) {
  constexpr std::int64_t kMjdOf1972 = 41317;
  // Ten digits before the point, seven after: no value read is wider, and
  // tai-utc.dat's A + (MJD - MJD0) x B adds at most 400,000 days of a
  // second a day.
  constexpr std::int64_t kWidest = 100'000'000'000'000'000 + 400'000 * kUnitsPerSecond;
  FUZZ_CHECK(!table.entries.empty());
  for (std::size_t k = 0; k < table.entries.size(); ++k) {
    const PublishedEntry& e = table.entries[k];
    FUZZ_CHECK(real_day(e.mjd));
    FUZZ_CHECK(k == 0 || e.mjd > table.entries[k - 1].mjd);
    FUZZ_CHECK(e.value > -kWidest && e.value < kWidest);
    FUZZ_CHECK(e.rate >= -kUnitsPerSecond && e.rate <= kUnitsPerSecond);
    FUZZ_CHECK(e.mjd < kMjdOf1972 ||
               (e.rate == 0 && e.value % kUnitsPerSecond == 0 && iso_date(e.mjd).ends_with("-01")));
  }
  FUZZ_CHECK(!table.expires ||
             (real_day(*table.expires) && *table.expires > table.entries.back().mjd));
}

// The table written from it loads back as its entries and expiry, or is
// refused with a reason.
inline void check_loads_back(const PublishedTable& table) {
  std::string own;
  std::string why;
  if (!table_text(table, own, why)) {
    FUZZ_CHECK(!why.empty());
    return;
  }
  std::vector<PublishedEntry> loaded;
  std::optional<std::int64_t> expires;
  FUZZ_CHECK(table_entries(own, loaded, expires, why));
  FUZZ_CHECK(loaded == table.entries);
  FUZZ_CHECK(expires == table.expires);
}

// `text` is fuzzed from a table of `source`; it may read as another.
inline void check_published(std::string_view text, Source source) {
  PublishedTable table;
  std::string why;
  if (!read_published(text, table, why)) {
    FUZZ_CHECK(!why.empty());
    return;
  }
  // The IERS's file always gives its expiry, the USNO's never does.
  if (table.source == source) {
    FUZZ_CHECK(source != Source::iers_leap_second || table.expires.has_value());
    FUZZ_CHECK(source != Source::usno_tai_utc || (!table.expires && table.updated.empty()));
  }
  for (const char c : table.updated) FUZZ_CHECK(c >= 0x20 && c < 0x7f);
  check_dates_and_values(table);
  check_loads_back(table);
}

}  // namespace kw::fuzz

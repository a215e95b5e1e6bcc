// The days and seconds the published tables' files share: the civil date
// of an MJD, the first day past the year 9999, and a value in seconds with
// a given number of decimals.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "timescale/published/leap_list.h"
#include "timescale/published/published_table.h"

namespace kw {

inline constexpr std::int64_t kMjdOf1972 = 41317;  // 1972-01-01, the first whole-second change
inline constexpr std::int64_t kMjdOf10000 = kLastTableDay + 1;  // 10000-01-01
static_assert(kLastNtpDay + kMjdOf1900 == kLastTableDay,
              "a list's times end with the table's days");

// The civil date of an MJD.
inline std::chrono::year_month_day civil(std::int64_t mjd) {
  return std::chrono::year_month_day{std::chrono::sys_days{std::chrono::days{mjd - kMjdOf1970}}};
}

// A value in units as seconds with `decimals` decimals: "32", "1.4228180".
inline std::string seconds_text(std::int64_t units, int decimals) {
  char text[40];
  const double seconds = static_cast<double>(units) / kUnitsPerSecond;
  std::snprintf(text, sizeof text, "%.*f", decimals, seconds);
  return text;
}

}  // namespace kw

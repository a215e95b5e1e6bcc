// The calendar for the tests, by integer arithmetic only: an independent
// reference for JUDDY's whole days, and the days of each month.
#pragma once

namespace kw::test {

inline bool is_gregorian_leap(long long year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Days in a month of the Gregorian calendar, or of the Julian one.
inline int days_in_month(long long year, int month, bool julian = false) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month != 2) return kDays[month - 1];
  return (julian ? year % 4 == 0 : is_gregorian_leap(year)) ? 29 : 28;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
inline long long days_from_civil(long long y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace kw::test

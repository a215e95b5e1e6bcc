// Test oracles: the program's results computed the plainest way, from
// their definitions, for the tests, the exactness check and the fuzz
// targets to compare against.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string>
#include <system_error>

#include "timescale/leap_table.h"

namespace kw::test {

// Fw.d of `value` from its exact decimal expansion: to_chars rounds the
// exact binary value to `decimals` digits, ties to even. No sign on a
// value that rounds to zero; the zero before the point only where it
// fits; asterisks where nothing fits.
inline std::string reference_fixed(double value, int width, int decimals) {
  std::string stars(static_cast<std::size_t>(width), '*');
  if (!std::isfinite(value)) return stars;
  char text[400];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc{}) return stars;
  std::string s(text, result.ptr);
  if (decimals == 0) s += '.';  // the point is always written
  if (s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos) s.erase(0, 1);
  if (static_cast<int>(s.size()) > width) {
    const std::size_t zero = s[0] == '-' ? 1 : 0;
    if (s.compare(zero, 2, "0.") == 0) s.erase(zero, 1);
  }
  if (static_cast<int>(s.size()) > width) return stars;
  return std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
}

// LS_D as the table's definition states it: before the first entry, its
// value minus one; on or after the last, the last value; otherwise every
// entry whose interval holds the date is taken, the last one wins; an
// entry's value grows by its rate a day from its date. An empty table
// gives 0.
inline double walk_the_table(const LeapTable& table, double date) {
  const LeapColumn& mjd = table.LS_MJD;
  const int n = std::min(table.LS_N, LS_MAX);
  if (n < 1) return 0.0;
  const auto value = [&table, date](std::size_t i) {
    return table.LS_RATE[i] == 0.0 ? table.LS_DT[i]
                                   : table.LS_DT[i] + (date - table.LS_MJD[i]) * table.LS_RATE[i];
  };
  if (date >= mjd[static_cast<std::size_t>(n - 1)]) return value(static_cast<std::size_t>(n - 1));
  double result = table.LS_DT[0] - 1.0;
  for (int k = 1; k < n; ++k) {
    const auto i = static_cast<std::size_t>(k);
    if (mjd[i - 1] <= date && date < mjd[i]) result = value(i - 1);
  }
  return result;
}

}  // namespace kw::test

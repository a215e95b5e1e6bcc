#include <algorithm>
#include <cmath>

#include "timescale/lsconv_s.h"

namespace kw {
namespace {

// The entry in force on `mjd` in a table of n >= 1 entries in ascending
// order, or -1 before the first. Entry k applies when LS_MJD(k) <= mjd <
// LS_MJD(k+1): the last entry not after mjd, found at once for dates on or
// after the last entry, otherwise by halving rather than by walking the
// table; among equal dates the last one applies.
int entry_in_force(double mjd, const LeapColumn& ls_mjd, int n) {
  if (mjd >= ls_mjd[static_cast<std::size_t>(n - 1)]) return n - 1;  // the present
  const auto* const first = ls_mjd.begin();
  const auto* const after = std::upper_bound(first, first + n, mjd);
  if (after == first || std::isnan(mjd)) return -1;
  return static_cast<int>(after - first - 1);
}

}  // namespace

void LS_D(double& dt, const double& mjd, const LeapColumn& ls_mjd, const LeapColumn& ls_dt,
          const std::int32_t& ls_n) {
  const int n = std::min<std::int32_t>(ls_n, LS_MAX);
  if (n < 1) {
    dt = 0.0;
    return;
  }
  const int k = entry_in_force(mjd, ls_mjd, n);
  dt = k < 0 ? ls_dt[0] - 1.0 : ls_dt[static_cast<std::size_t>(k)];
}

void LS_D(double& dt, const double& mjd, const LeapColumn& ls_mjd, const LeapColumn& ls_dt,
          const LeapColumn& ls_rate, const std::int32_t& ls_n) {
  const int n = std::min<std::int32_t>(ls_n, LS_MAX);
  if (n < 1) {
    dt = 0.0;
    return;
  }
  const int k = entry_in_force(mjd, ls_mjd, n);
  if (k < 0) {
    dt = ls_dt[0] - 1.0;
    return;
  }
  const auto i = static_cast<std::size_t>(k);
  // An entry without a rate gives its value as it stands.
  dt = ls_rate[i] == 0.0 ? ls_dt[i] : ls_dt[i] + (mjd - ls_mjd[i]) * ls_rate[i];
}

}  // namespace kw

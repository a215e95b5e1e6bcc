#include <algorithm>
#include <cmath>

#include "timescale/lsconv_s.h"

namespace kw {

void LS_D(double& dt, const double& mjd, const LeapColumn& ls_mjd, const LeapColumn& ls_dt,
          const std::int32_t& ls_n) {
  const int n = std::min<std::int32_t>(ls_n, LS_MAX);
  if (n < 1) {
    dt = 0.0;
    return;
  }
  if (mjd >= ls_mjd[n - 1]) {  // the present: the last entry applies
    dt = ls_dt[n - 1];
    return;
  }
  // Entry k applies when LS_MJD(k) <= mjd < LS_MJD(k+1). In a table in
  // ascending order (equal dates allowed) that is the last entry not after
  // mjd, found by halving rather than by walking the table; among equal
  // dates the last one applies.
  const auto* const first = ls_mjd.begin();
  const auto* const after = std::upper_bound(first, first + n, mjd);
  if (after == first || std::isnan(mjd)) {
    dt = ls_dt[0] - 1.0;  // before the table
    return;
  }
  dt = ls_dt[static_cast<std::size_t>(after - first - 1)];
}

}  // namespace kw

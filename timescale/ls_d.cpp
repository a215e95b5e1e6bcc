#include <algorithm>

#include "timescale/lsconv_s.h"

namespace kw {

void LS_D(double& dt, const double& mjd, const LeapColumn& ls_mjd, const LeapColumn& ls_dt,
          const std::int32_t& ls_n) {
  const int n = std::min<std::int32_t>(ls_n, LS_MAX);
  if (n < 1) {
    dt = 0.0;
    return;
  }
  dt = ls_dt[0] - 1.0;
  if (mjd >= ls_mjd[n - 1]) {
    dt = ls_dt[n - 1];
    return;
  }
  for (int k = 1; k < n; ++k) {
    if (ls_mjd[k - 1] <= mjd && mjd < ls_mjd[k]) dt = ls_dt[k - 1];
  }
}

}  // namespace kw

#include <cmath>

#include "timescale/int32_arith.h"
#include "timescale/lsconv_s.h"

namespace kw {

void JUDDY(double& mjd, double& year, double& month, const double& day) {
  // 1582.1014 in single precision: 14 October 1582 is still Julian.
  constexpr auto kGregorianStart = static_cast<double>(1582.1014F);
  static_assert(kGregorianStart == 1582.1014404296875);

  if (month == 1.0 || month == 2.0) {
    year = year - 1.0;
    month = month + 12.0;
  }
  double jd = 0.0;
  if (year < 0.0) {
    const double b = 0.0;
    const std::int32_t days =
        wrapping_add(trunc_to_int32((month + 1.0) * 30.6001), trunc_to_int32(year * 365.25 - 0.75));
    jd = static_cast<double>(days) + day + 1720995.0 + b;
  } else {
    const double a = year + month / 100.0 + day / 10000.0;
    double b = 0.0;
    if (!(a < kGregorianStart)) b = 2.0 - std::trunc(year / 100.0) + std::trunc(year / 100.0 / 4.0);
    const std::int32_t days =
        wrapping_add(trunc_to_int32((month + 1.0) * 30.6001), trunc_to_int32(year * 365.25));
    jd = static_cast<double>(days) + day + 1720995.0 + b;
  }
  jd = jd - 0.5;
  mjd = jd - 2400000.5;
}

}  // namespace kw

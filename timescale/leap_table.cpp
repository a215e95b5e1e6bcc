#include "timescale/leap_table.h"

#include "timescale/int32_arith.h"

namespace kw {

double full_year(std::int32_t yy) {
  constexpr std::int32_t kPivot = 50;
  if (yy > kPivot) return wrapping_add(yy, 1900);
  if (yy < kPivot) return wrapping_add(yy, 2000);
  return 1950.0;
}

double offset_on(const LeapTable& table, const std::array<std::int32_t, 3>& idate) {
  double year = full_year(idate[0]);
  double month = idate[1];
  const double day = idate[2];
  double mjd = 0.0;
  JUDDY(mjd, year, month, day);  // changes its copies of year and month
  double dt = 0.0;
  LS_D(dt, mjd, table.LS_MJD, table.LS_DT, table.LS_N);
  return dt;
}

}  // namespace kw

#include "timescale/leap_table.h"

#include "timescale/int32_arith.h"

namespace kw {

double full_year(std::int32_t yy) {
  constexpr std::int32_t kPivot = 50;
  if (yy > kPivot) return wrapping_add(yy, 1900);
  if (yy < kPivot) return wrapping_add(yy, 2000);
  return 1950.0;
}

double mjd_of(const std::array<std::int32_t, 3>& idate) {
  double year = full_year(idate[0]);
  double month = idate[1];
  const double day = idate[2];
  double mjd = 0.0;
  JUDDY(mjd, year, month, day);  // changes its copies of year and month
  return mjd;
}

double offset_on(const LeapTable& table, const std::array<std::int32_t, 3>& idate) {
  double dt = 0.0;
  LS_D(dt, mjd_of(idate), table.LS_MJD, table.LS_DT, table.LS_RATE, table.LS_N);
  return dt;
}

DateZone zone_of(const LeapTable& table, double mjd) {
  if (table.LS_N > 0 && mjd < table.LS_MJD[0]) return DateZone::before_table;
  if (mjd >= table.expires) return DateZone::expired;
  return DateZone::known;
}

}  // namespace kw

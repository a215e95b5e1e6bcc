#include "timescale/load_leap_table.h"
#include "timescale/lsconv_s.h"

namespace kw {

void LS_L(LeapColumn& ls_mjd, LeapColumn& ls_dt, std::int32_t& ls_n) {
  LeapTable table;
  load_leap_table(table);
  ls_mjd = table.LS_MJD;
  ls_dt = table.LS_DT;
  ls_n = table.LS_N;
}

}  // namespace kw

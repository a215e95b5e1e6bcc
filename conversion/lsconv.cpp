#include "conversion/lsconv.h"

#include "conversion/convert_records.h"
#include "conversion/run.h"
#include "records/run_files.h"
#include "records/units.h"
#include "timescale/date_offsets.h"
#include "timescale/leap_table.h"
#include "timescale/lsconv_s.h"

namespace kw {

void KW_TAI2UTC() {
  OutputUnit log(kLogFile.unit, kLogFile.name);
  log.write_text("PROGRAM KW_TAI2UTC SUCCESSFULLY STARTS");
  log.flush();  // visible while a long run goes on

  LeapTable table;
  LS_L(table.LS_MJD, table.LS_DT, table.LS_N);

  InputUnit data(kDataFile.unit, kDataFile.name);
  OutputUnit out(kOutputFile.unit, kOutputFile.name);
  const DateOffsets offsets(table);
  convert_records(data, out, offsets, worker_count());
  data.close();
  out.close();
  log.write_text("PROGRAM KW_TAI2UTC SUCCESSFULLY ENDS");
  log.close();
}

int run_fixed() {
  return run_and_report(KW_TAI2UTC);
}

}  // namespace kw

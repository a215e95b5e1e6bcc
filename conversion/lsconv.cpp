#include "conversion/lsconv.h"

#include "conversion/convert_records.h"
#include "conversion/run.h"
#include "platform/process.h"
#include "records/run_files.h"
#include "records/units.h"
#include "timescale/date_offsets.h"
#include "timescale/leap_table.h"
#include "timescale/load_leap_table.h"

namespace kw {

void KW_TAI2UTC() {
  OutputUnit log(kLogFile.unit, kLogFile.name);
  log.write_text("PROGRAM KW_TAI2UTC SUCCESSFULLY STARTS");
  log.flush();  // visible while a long run goes on

  // LS_L's table, with the notes of its lines (rates, the expiry).
  LeapTable table;
  load_leap_table(table);

  InputUnit data(kDataFile.unit, kDataFile.name);
  OutputUnit out(kOutputFile.unit, kOutputFile.name);
  const DateOffsets offsets(table);
  // What the table does not know is said once the records are written,
  // whether the run goes on to its end or not.
  ZoneCounts counts;
  try {
    convert_records(data, out, offsets, worker_count(), counts);
    data.close();
    out.close();
  } catch (...) {
    os::write_standard_error(outside_the_table(counts, table));
    throw;
  }
  os::write_standard_error(outside_the_table(counts, table));
  log.write_text("PROGRAM KW_TAI2UTC SUCCESSFULLY ENDS");
  log.close();
}

int run_fixed() {
  return run_and_report(KW_TAI2UTC);
}

}  // namespace kw

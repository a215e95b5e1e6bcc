#include "conversion/lsconv.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <thread>

#include "conversion/convert_records.h"
#include "platform/process.h"
#include "records/failure.h"
#include "records/run_files.h"
#include "records/units.h"
#include "timescale/date_offsets.h"
#include "timescale/leap_table.h"
#include "timescale/lsconv_s.h"

namespace kw {

void KW_TAI2UTC() {
  const int LU = 50;
  OutputUnit log(LU, kLogFile);
  log.write_text("PROGRAM KW_TAI2UTC SUCCESSFULLY STARTS");
  log.flush();  // visible while a long run goes on

  LeapTable table;
  LS_L(table.LS_MJD, table.LS_DT, table.LS_N);

  InputUnit data(kDataUnit, kDataFile);
  OutputUnit out(kOutputUnit, kOutputFile);
  const DateOffsets offsets(table);
  convert_records(data, out, offsets, worker_count());
  data.close();
  out.close();
  log.write_text("PROGRAM KW_TAI2UTC SUCCESSFULLY ENDS");
  log.close();
}

unsigned worker_count() {
  return std::clamp(std::thread::hardware_concurrency(), 1U, 4U);
}

int run_and_report(const std::function<void()>& run, Details details) {
  os::prepare_process();
  try {
    run();
    return 0;
  } catch (const RunStop& stop) {
    std::string lines = std::string(stop.line()) + "\n";
    if (details == Details::written && !stop.detail().empty()) lines += stop.detail() + "\n";
    os::write_standard_error(lines);
    return stop.status();
  } catch (const std::bad_alloc&) {
    os::write_standard_error(std::string(kProgramPrefix) + "out of memory\n");
    return out_of_memory_status;
  } catch (const std::exception& e) {
    os::write_standard_error(std::string(kProgramPrefix) + e.what() + "\n");
    return 1;
  }
}

int run_program() {
  return run_and_report(KW_TAI2UTC);
}

}  // namespace kw

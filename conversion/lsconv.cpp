#include "conversion/lsconv.h"

#include <exception>
#include <string>
#include <string_view>

#include "conversion/data_record.h"
#include "conversion/failure.h"
#include "conversion/units.h"
#include "platform/process.h"
#include "timescale/int32_arith.h"
#include "timescale/lsconv_s.h"

namespace kw {
namespace {

constexpr int kDataUnit = 1;
constexpr int kOutputUnit = 2;
constexpr const char* kDataFile = "..\\..\\KW_PVZ.DAT";
constexpr const char* kOutputFile = "new.txt";

[[noreturn]] void stop_on_record(ReadStatus status) {
  const int number = status == ReadStatus::missing      ? err::end_of_file
                     : status == ReadStatus::conversion ? err::input_conversion
                                                        : err::syntax;
  stop_unit(number, kDataUnit, kDataFile);
}

// Full year of a two-digit year: 51..99 are 1951..1999, 0..49 are
// 2000..2049, and 50 is 1950. Sums wrap modulo 2^32 like the home
// platform's integers.
double full_year(std::int32_t yy) {
  if (yy > 50) return wrapping_add(yy, 1900);
  if (yy < 50) return wrapping_add(yy, 2000);
  return 1950.0;
}

}  // namespace

void KW_TAI2UTC() {
  const int LU = 50;
  OutputUnit log(LU, "lsconv.lst");
  log.write_text("PROGRAM KW_TAI2UTC SUCCESSFULLY STARTS");
  log.flush();  // visible while a long run goes on

  LeapColumn LS_MJD{};
  LeapColumn LS_DT{};
  std::int32_t LS_N = 0;
  LS_L(LS_MJD, LS_DT, LS_N);

  InputUnit data(kDataUnit, kDataFile);
  OutputUnit out(kOutputUnit, kOutputFile);
  char LINE[kRecordWidth];
  char text[kOutputWidth];
  DataRecord record;
  while (!data.at_end()) {
    data.read_record(LINE, kRecordWidth);
    const std::string_view columns(LINE, kParsedColumns);
    if (is_blank_record(columns)) continue;
    if (const ReadStatus status = parse_data_record(columns, record); status != ReadStatus::ok) {
      stop_on_record(status);
    }
    double year = full_year(record.idate[0]);
    double month = record.idate[1];
    const double day = record.idate[2];
    double mjd = 0.0;
    JUDDY(mjd, year, month, day);
    double dt = 0.0;
    LS_D(dt, mjd, LS_MJD, LS_DT, LS_N);
    record.xval[2] = record.xval[2] + dt;
    const bool fits = edit_output_record(record, text);
    out.write_record(std::string_view(text, kOutputWidth));
    if (!fits) report_output_conversion(kOutputUnit, kOutputFile);
  }
  data.close();
  out.close();
  log.write_text("PROGRAM KW_TAI2UTC SUCCESSFULLY ENDS");
  log.close();
}

int run_program() {
  try {
    KW_TAI2UTC();
    return 0;
  } catch (const RunStop& stop) {
    os::write_standard_error(std::string(stop.line()) + "\n");
    return stop.status();
  } catch (const std::exception& e) {
    os::write_standard_error(std::string("KW_TAI2UTC: ") + e.what() + "\n");
    return 1;
  }
}

}  // namespace kw

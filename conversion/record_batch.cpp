#include "conversion/record_batch.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "conversion/common_record.h"
#include "conversion/failure.h"
#include "conversion/fast_record.h"
#include "conversion/run_files.h"
#include "timescale/int32_arith.h"

namespace kw {
double full_year(std::int32_t yy) {
  if (yy > 50) return wrapping_add(yy, 1900);
  if (yy < 50) return wrapping_add(yy, 2000);
  return 1950.0;
}

double offset_on(const LeapTable& table, const std::array<std::int32_t, 3>& idate) {
  double year = full_year(idate[0]);
  double month = idate[1];
  const double day = idate[2];
  double mjd = 0.0;
  JUDDY(mjd, year, month, day);
  double dt = 0.0;
  LS_D(dt, mjd, table.LS_MJD, table.LS_DT, table.LS_N);
  return dt;
}

double offset_on(const LeapTable& table, const DateOffsets& dates,
                 const std::array<std::int32_t, 3>& idate) {
  double offset = 0.0;
  return dates.offset(idate[0], idate[1], idate[2], offset) ? offset : offset_on(table, idate);
}

RecordBatch::RecordBatch()
    : lines(new char[kCapacity * kFastSlotWidth]), output(new char[kCapacity * kOutputRecord]) {}

bool RecordBatch::fill(InputUnit& data) {
  count = 0;
  read_failure = nullptr;
  while (count < kCapacity) {
    // Records the input buffer holds whole, then one at a time.
    count += data.take_records(lines.get() + count * kFastSlotWidth, kFastSlotWidth, kParsedColumns,
                               kCapacity - count);
    if (count == kCapacity) break;
    if (data.at_end()) return false;
    char* slot = lines.get() + count * kFastSlotWidth;
    try {
      data.read_record(slot, kRecordWidth);
    } catch (...) {
      read_failure = std::current_exception();
      return false;
    }
    // Only the parsed columns count; blanks after them end every value.
    std::memset(slot + kParsedColumns, ' ', kFastSlotWidth - kParsedColumns);
    ++count;
  }
  return true;
}

static_assert(kCommonColumns <= kFastSlotWidth);

void RecordBatch::convert(const LeapTable& table, const DateOffsets& dates) {
  output_size = 0;
  overflows = 0;
  failure = ReadStatus::ok;
  convert_failure = nullptr;
  CommonReader reader;
  FastRecord fast;
  DataRecord record;
  char* out = output.get();
  for (std::size_t i = 0; i < count; ++i) {
    const char* slot = lines.get() + i * kFastSlotWidth;
    bool fits = true;
    if (reader.convert(slot, dates, out)) {
      // The usual record: edited from its digits.
    } else if (parse_fast_record(slot, fast)) {
      const double offset = offset_on(table, dates, fast.idate);
      if (!edit_fast_record(fast, offset, out, fits)) {
        record.idate = fast.idate;
        for (std::size_t k = 0; k < 3; ++k) record.xval[k] = fast.xval[k].to_double();
        record.xval[2] = record.xval[2] + offset;
        fits = edit_output_record(record, out);
      }
    } else {
      const std::string_view columns(slot, kParsedColumns);
      if (is_blank_record(columns)) continue;
      failure = parse_data_record(columns, record);
      if (failure != ReadStatus::ok) break;
      record.xval[2] = record.xval[2] + offset_on(table, dates, record.idate);
      fits = edit_output_record(record, out);
    }
    if (!fits) ++overflows;
    out[kOutputWidth] = '\r';
    out[kOutputWidth + 1] = '\n';
    out += kOutputRecord;
  }
  output_size = static_cast<std::size_t>(out - output.get());
}

void RecordBatch::emit(OutputUnit& out) const {
  out.write_block(std::string_view(output.get(), output_size), kOutputRecord);
  for (std::size_t i = 0; i < overflows; ++i) report_output_conversion(kOutputUnit, kOutputFile);
  if (failure != ReadStatus::ok) {
    const int number = failure == ReadStatus::missing      ? err::end_of_file
                       : failure == ReadStatus::conversion ? err::input_conversion
                                                           : err::syntax;
    stop_unit(number, kDataUnit, kDataFile);
  }
  if (convert_failure) std::rethrow_exception(convert_failure);
  if (read_failure) std::rethrow_exception(read_failure);
}

}  // namespace kw

#include "conversion/record_batch.h"

#include <cstring>
#include <string_view>

#include "conversion/tiers/record_tiers.h"
#include "records/failure.h"
#include "records/run_files.h"

namespace kw {

RecordBatch::RecordBatch()
    : records_(new char[kCapacity * kSlotWidth]), output_(new char[kCapacity * kOutputRecord]) {}

bool RecordBatch::fill(InputUnit& data) {
  count_ = 0;
  read_failure_ = nullptr;
  while (count_ < kCapacity) {
    // Records the input buffer holds whole, then one at a time.
    count_ += data.take_records(records_.get() + count_ * kSlotWidth, kSlotWidth, kParsedColumns,
                                kCapacity - count_);
    if (count_ == kCapacity) break;
    if (data.at_end()) return false;
    char* slot = records_.get() + count_ * kSlotWidth;
    try {
      data.read_record(slot, kRecordWidth);
    } catch (...) {
      read_failure_ = std::current_exception();
      return false;
    }
    // Only the parsed columns count; blanks after them end every value.
    std::memset(slot + kParsedColumns, ' ', kSlotWidth - kParsedColumns);
    ++count_;
  }
  return true;
}

void RecordBatch::convert(const LeapTable& table, const DateOffsets& dates) noexcept {
  output_size_ = 0;
  overflows_ = 0;
  stop_ = ReadStatus::ok;
  convert_failure_ = nullptr;
  try {
    convert_records(table, dates);
  } catch (...) {
    // Whatever it is, it ends the run in this batch's turn.
    convert_failure_ = std::current_exception();
  }
}

void RecordBatch::convert_records(const LeapTable& table, const DateOffsets& dates) {
  RecordConverter converter(table, dates);
  char* out = output_.get();
  for (std::size_t i = 0; i < count_; ++i) {
    const Converted converted = converter.convert(records_.get() + i * kSlotWidth, out, stop_);
    if (converted == Converted::failed) break;
    if (converted == Converted::blank) continue;
    overflows_ += static_cast<std::size_t>(converted == Converted::overflow);
    out[kOutputWidth] = '\r';
    out[kOutputWidth + 1] = '\n';
    out += kOutputRecord;
    output_size_ += kOutputRecord;
  }
}

void RecordBatch::emit(OutputUnit& out) const {
  // A run converting one record at a time reports a field of asterisks as
  // it edits the record, before the record is written: a write that fails
  // comes after the lines of the records handed to it.
  for (std::size_t i = 0; i < overflows_; ++i) report_output_conversion(kOutputUnit, kOutputFile);
  out.write_block(std::string_view(output_.get(), output_size_), kOutputRecord);
  if (stop_ != ReadStatus::ok) {
    const int number = stop_ == ReadStatus::missing      ? err::end_of_file
                       : stop_ == ReadStatus::conversion ? err::input_conversion
                                                         : err::syntax;
    stop_unit(number, kDataUnit, kDataFile);
  }
  if (convert_failure_) std::rethrow_exception(convert_failure_);
  if (read_failure_) std::rethrow_exception(read_failure_);
}

}  // namespace kw

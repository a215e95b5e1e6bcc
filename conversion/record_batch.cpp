#include "conversion/record_batch.h"

#include <cstring>
#include <string_view>

#include "conversion/tiers/record_tiers.h"
#include "records/failure.h"

namespace kw {

RecordBatch::RecordBatch()
    : records_(new char[kCapacity * kSlotWidth]), output_(new char[kCapacity * kOutputRecord]) {
  overflowed_.reserve(kCapacity);
}

bool RecordBatch::fill(InputUnit& data) noexcept {
  count_ = 0;
  read_failure_ = nullptr;
  first_line_ = data.records() + 1;
  try {
    while (count_ < kCapacity) {
      // Records the input buffer holds whole, then one at a time.
      count_ += data.take_records(records_.get() + count_ * kSlotWidth, kSlotWidth, kParsedColumns,
                                  kCapacity - count_);
      if (count_ == kCapacity) break;
      if (data.at_end()) return false;
      char* slot = records_.get() + count_ * kSlotWidth;
      data.read_record(slot, kParsedColumns);
      // Blanks after the parsed columns end every value.
      std::memset(slot + kParsedColumns, ' ', kSlotWidth - kParsedColumns);
      ++count_;
    }
    return true;
  } catch (...) {
    // A read that failed (the end-of-file test's too): reported in this
    // batch's turn, after the records before it.
    read_failure_ = std::current_exception();
    return false;
  }
}

void RecordBatch::convert(const DateOffsets& offsets) noexcept {
  output_size_ = 0;
  overflowed_.clear();
  stop_ = ReadStatus::ok;
  convert_failure_ = nullptr;
  try {
    convert_all(offsets);
  } catch (...) {
    // Whatever it is, it ends the run in this batch's turn.
    convert_failure_ = std::current_exception();
  }
}

void RecordBatch::convert_all(const DateOffsets& offsets) {
  char* out = output_.get();
  for (std::size_t i = 0; i < count_; ++i) {
    const Converted converted =
        convert_record(records_.get() + i * kSlotWidth, offsets, out, stop_);
    if (converted == Converted::failed) {
      stopped_at_ = i;
      break;
    }
    if (converted == Converted::blank) continue;
    if (converted == Converted::overflow) {
      overflowed_.push_back(static_cast<std::uint32_t>(output_size_ / kOutputRecord));
    }
    out[kOutputWidth] = '\r';
    out[kOutputWidth + 1] = '\n';
    out += kOutputRecord;
    output_size_ += kOutputRecord;
  }
}

// The error 63 lines of the overflowed records among the first `records`
// of output_.
void RecordBatch::report_overflows(std::size_t records, const OutputUnit& out) const {
  for (const std::uint32_t k : overflowed_) {
    if (k >= records) break;
    report_output_conversion(out.unit(), out.name());
  }
}

void RecordBatch::emit(OutputUnit& out, const InputUnit& data) const {
  // The records reach the file before the batch is done with, so that a
  // write that fails names the record it failed on: its line and those
  // before it are reported, then the failure.
  const std::uint64_t before = out.whole_bytes();
  try {
    out.write_block(std::string_view(output_.get(), output_size_), kOutputRecord);
    out.flush();
  } catch (const RunStop&) {
    report_overflows((out.whole_bytes() - before) / kOutputRecord + 1, out);
    throw;
  }
  report_overflows(output_size_ / kOutputRecord, out);
  if (stop_ != ReadStatus::ok) {
    stop_unit(error_for(stop_), data.unit(), data.name(),
              std::string(kProgramPrefix) + "line " + with_thousands(first_line_ + stopped_at_) +
                  " of " + (data.name().empty() ? "\"\"" : shown(data.name())));
  }
  if (convert_failure_) std::rethrow_exception(convert_failure_);
  if (read_failure_) std::rethrow_exception(read_failure_);
}

}  // namespace kw

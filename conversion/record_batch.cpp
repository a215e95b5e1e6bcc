#include "conversion/record_batch.h"

#include <cstring>
#include <string_view>

#include "conversion/tiers/record_tiers.h"
#include "records/failure.h"

namespace kw {

RecordBatch::RecordBatch()
    : records_(new char[kCapacity * kSlotWidth]),
      output_(new char[kCapacity * kReverseRecord]),
      zones_(new DateZone[kCapacity]) {
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
  const bool reverse = offsets.direction() == Direction::subtract;
  record_size_ = reverse ? kReverseRecord : kOutputRecord;
  char* out = output_.get();
  for (std::size_t i = 0; i < count_; ++i) {
    DateZone& zone = zones_[output_size_ / record_size_];
    const Converted converted =
        convert_record(records_.get() + i * kSlotWidth, offsets, out, stop_, zone);
    if (converted == Converted::failed) {
      stopped_at_ = i;
      break;
    }
    if (converted == Converted::blank) continue;
    if (converted == Converted::overflow) {
      overflowed_.push_back(static_cast<std::uint32_t>(output_size_ / record_size_));
    }
    if (reverse) {
      std::memmove(out + kZField.at + 1, out + kZField.at, kZField.width);
      out[kZField.at] = ' ';
    }
    out[record_size_ - 2] = '\r';
    out[record_size_ - 1] = '\n';
    out += record_size_;
    output_size_ += record_size_;
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

void RecordBatch::count_zones(std::size_t records, ZoneCounts& counts) const {
  for (std::size_t k = 0; k < records; ++k) {
    counts.before_table += static_cast<std::uint64_t>(zones_[k] == DateZone::before_table);
    counts.expired += static_cast<std::uint64_t>(zones_[k] == DateZone::expired);
  }
}

void RecordBatch::emit(OutputUnit& out, const InputUnit& data, ZoneCounts& counts) const {
  // The records reach the file before the batch is done with, so that a
  // write that fails names the record it failed on: its line and those
  // before it are reported, then the failure.
  const std::uint64_t before = out.whole_bytes();
  try {
    out.write_block(std::string_view(output_.get(), output_size_), record_size_);
    out.flush();
  } catch (const RunStop&) {
    const std::size_t written = (out.whole_bytes() - before) / record_size_;
    report_overflows(written + 1, out);
    count_zones(written, counts);
    throw;
  }
  report_overflows(output_size_ / record_size_, out);
  count_zones(output_size_ / record_size_, counts);
  if (stop_ != ReadStatus::ok) {
    stop_unit(error_for(stop_), data.unit(), data.name(),
              std::string(kProgramPrefix) + "line " + with_thousands(first_line_ + stopped_at_) +
                  " of " + (data.name().empty() ? "\"\"" : shown(data.name())));
  }
  if (convert_failure_) std::rethrow_exception(convert_failure_);
  if (read_failure_) std::rethrow_exception(read_failure_);
}

}  // namespace kw

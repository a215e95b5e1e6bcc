#include "conversion/record_batch.h"

#include <string_view>

#include "records/failure.h"

namespace kw {
namespace {

// Room a batch keeps for a record the input buffer does not hold whole,
// read one at a time: its parsed columns, a blank, its line feed.
constexpr std::size_t kOneRecord = kParsedColumns + 2;
// A batch ends once its room falls below this: records are short.
constexpr std::size_t kLeastRoom = 1024;

}  // namespace

RecordBatch::RecordBatch()
    : store_(new char[BlockTiers::kBefore + kStoreBytes + BlockTiers::kAfter]),
      output_(new char[kMostConverted * kReverseRecord]),
      zoned_(new std::uint32_t[kMostConverted]) {
  overflowed_.reserve(kMostConverted);
}

char* RecordBatch::records() const {
  return store_.get() + BlockTiers::kBefore;
}

bool RecordBatch::fill(InputUnit& data) noexcept {
  size_ = 0;
  read_failure_ = nullptr;
  try {
    while (kStoreBytes - size_ >= kLeastRoom) {
      // Whole records, read straight into the store; then one at a time.
      bool ended = false;
      const std::size_t taken =
          data.read_whole_records(records() + size_, kStoreBytes - size_, ended);
      size_ += taken;
      if (taken > 0) continue;
      if (ended || data.at_end()) return false;
      char* record = records() + size_;
      data.read_record(record, kParsedColumns);
      // Its columns and a blank: its line feed never follows a carriage
      // return of its own.
      record[kParsedColumns] = ' ';
      record[kParsedColumns + 1] = '\n';
      size_ += kOneRecord;
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
  zoned_count_ = 0;
  lines_ = 0;
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
  record_size_ = output_record_bytes(offsets.direction());
  const BlockConverted converted = tiers_.convert(
      records(), size_, offsets, {output_.get(), zoned_.get(), overflowed_, stop_, stopped_at_});
  output_size_ = static_cast<std::size_t>(converted.out_end - output_.get());
  lines_ = converted.lines;
  zoned_count_ = static_cast<std::size_t>(converted.zoned_end - zoned_.get());
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
  for (std::size_t k = 0; k < zoned_count_; ++k) {
    const std::uint32_t z = zoned_[k];
    if (z / 4 / record_size_ >= records) break;
    const auto zone = static_cast<DateZone>(z % 4);
    counts.before_table += static_cast<std::uint64_t>(zone == DateZone::before_table);
    counts.expired += static_cast<std::uint64_t>(zone == DateZone::expired);
  }
}

std::string_view RecordBatch::record_text(std::uint64_t index) const {
  std::string_view rest(records(), size_);
  for (std::uint64_t k = 0; k < index && !rest.empty(); ++k) {
    const std::size_t end = rest.find('\n');
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  const std::size_t end = rest.find('\n');
  std::string_view line = rest.substr(0, end);
  // A CR LF line end is a line end; a CR alone is a character of the line.
  if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

void RecordBatch::emit(OutputUnit& out, const InputUnit& data, ZoneCounts& counts,
                       std::uint64_t first_line) const {
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
    const std::uint64_t line = first_line + stopped_at_;
    std::string detail =
        std::string(kProgramPrefix) + "line " + with_thousands(line) + " of " + quoted(data.name());
    // Only the parsed columns take part in the read.
    const std::string_view read = record_text(stopped_at_).substr(0, kParsedColumns);
    detail += ": ";
    detail += stop_ == ReadStatus::conversion
                  ? misfit_in_line(read)
                  : found_in_line(read, line == 1) +
                        ", where six numbers (year, month, day and three values) were expected";
    stop_unit_at(error_for(stop_), data.unit(), data.name(), std::move(detail));
  }
  if (convert_failure_) std::rethrow_exception(convert_failure_);
  if (read_failure_) std::rethrow_exception(read_failure_);
}

}  // namespace kw

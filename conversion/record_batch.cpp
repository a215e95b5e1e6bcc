#include "conversion/record_batch.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "conversion/tiers/record_tiers.h"
#include "records/bytes.h"
#include "records/failure.h"
#include "records/simd.h"

namespace kw {
namespace {

// The classifier reads the chunk after the last record's, and a record's
// window the byte before it: room for them around the records.
constexpr std::size_t kReadPast = 2 * kChunkBytes;
constexpr std::size_t kReadBefore = 1;
// The words of each bit array: the chunks the classifier reads, and one
// after them for the windows.
constexpr std::size_t kMaskWords = (RecordBatch::kStoreBytes + kReadPast) / kChunkBytes + 1;
// Room a batch keeps for a record the input buffer does not hold whole,
// read one at a time: its parsed columns, a blank, its line feed.
constexpr std::size_t kOneRecord = kParsedColumns + 2;
// A batch ends once its room falls below this: records are short.
constexpr std::size_t kLeastRoom = 1024;

// The bit arrays of a block's classes, kMaskWords words each, one after
// another in the order of ByteClass.
using BlockWindows = MaskWindows<kMaskWords>;

// A block's records, their masks, and what they are converted into: fixed
// for the block.
struct BlockOutput {
  const char* records;      // the first record
  const char* masks;        // the first of its bit arrays
  char* first;              // the first output record
  std::size_t record_size;  // of an output record
  int z_shift;              // columns the third field stands right of its place (1 in reverse)
};

// The records of a block as they are converted: the next one, and where
// what it gives goes.
struct BlockRun {
  const char* next;         // the next record
  const char* end;          // past the last record (each ends in its line feed)
  char* out;                // the next output record
  std::uint32_t* zoned;     // the next entry of the records of the table's unknowns
  std::uint32_t lines = 0;  // records read
  bool stopped = false;     // a record stopped the block

  // Ends the output record just converted, its third field `z_shift`
  // columns right of its place: its CR LF, and its date's zone where the
  // table does not know it (4 * the record's first byte in the output +
  // the zone).
  void put_record(const BlockOutput& output, int z_shift, DateZone zone) {
    if (zone != DateZone::known) {
      *zoned++ =
          static_cast<std::uint32_t>(out - output.first) * 4 + static_cast<std::uint32_t>(zone);
    }
    store_word(out + kOutputWidth + z_shift, load_word<std::uint16_t>("\r\n"));
    out += RecordBatch::kOutputRecord + static_cast<std::size_t>(z_shift);
  }
};

// The bytes before the line feed of the record whose masks are `masks`:
// its lowest line feed, in windows of 56 bytes from its first (the records
// end in a line feed). Calls nothing.
[[gnu::always_inline]] inline std::size_t record_length(BlockWindows masks) {
  std::size_t length = 0;
  std::uint64_t line_feeds = masks[ByteClass::line_feeds];
  while (line_feeds == 0) [[unlikely]] {
      masks.first += 7;
      length += 56;
      line_feeds = masks[ByteClass::line_feeds] & bits_below(56);
    }
  return length + static_cast<std::size_t>(lowest_bit(line_feeds));
}

// The parsed columns of a record of `length` bytes before its line feed:
// a carriage return just before the line feed left out, at most
// kParsedColumns.
inline int parsed_columns(const char* text, std::size_t length) {
  // The byte before a record may be read: it is never a carriage return.
  const bool carriage_return = text[static_cast<std::ptrdiff_t>(length) - 1] == '\r';
  const std::size_t kept = length - static_cast<std::size_t>(carriage_return);
  return static_cast<int>(std::min<std::size_t>(kept, kParsedColumns));
}

// The records the scan tier leaves, and what the batch keeps of them.
struct RestTier {
  const DateOffsets& offsets;
  ReadStatus& stop;
  std::uint64_t& stopped_at;
  std::vector<std::uint32_t>& overflowed;

  // The record the scan tier leaves at the run's next: converted by the
  // tiers after it, or its failure kept. The run after it; stopped by a
  // record that fails.
  [[gnu::noinline]] BlockRun convert(BlockRun run, const BlockOutput& output) const {
    const char* text = run.next;
    const auto offset = static_cast<std::size_t>(text - output.records);
    const BlockWindows windows{output.masks + offset / 8, static_cast<unsigned>(offset % 8)};
    const std::size_t length = record_length(windows);
    const int columns = parsed_columns(text, length);
    DateZone zone = DateZone::known;
    const Converted converted =
        convert_left({text, columns, windows.all()}, offsets, run.out, stop, zone);
    if (converted == Converted::failed) {
      stopped_at = run.lines;
      run.lines += 1;
      run.stopped = true;
      return run;
    }
    run.next = text + length + 1;
    run.lines += 1;
    if (converted == Converted::blank) return run;
    if (output.z_shift != 0) {
      std::memmove(run.out + kZField.at + 1, run.out + kZField.at, kZField.width);
      run.out[kZField.at] = ' ';
    }
    if (converted == Converted::overflow) {
      overflowed.push_back(static_cast<std::uint32_t>(
          static_cast<std::size_t>(run.out - output.first) / output.record_size));
    }
    run.put_record(output, output.z_shift, zone);
    return run;
  }
};

// Converts the records of `run` from the next one on, their third fields
// `ZShift` columns right of their place: the scan tier with `Kernels`, the
// records it leaves by `rest`. The inner loop calls nothing, so that all
// the registers are the loop's.
template <class Kernels, int ZShift>
[[gnu::always_inline]] inline BlockRun scan_block(BlockRun run, const BlockOutput& output,
                                                  const DateOffsets& offsets,
                                                  const RestTier& rest) {
  for (;;) {
    while (run.next < run.end) {
      const char* text = run.next;
      const auto offset = static_cast<std::size_t>(text - output.records);
      const BlockWindows windows{output.masks + offset / 8, static_cast<unsigned>(offset % 8)};
      const std::size_t length = record_length(windows);
      DateZone zone = DateZone::known;
      if (scan_record<Kernels>(text, windows, parsed_columns(text, length), offsets.whole_seconds(),
                               run.out, ZShift, zone) != Converted::fits) {
        break;
      }
      run.put_record(output, ZShift, zone);
      run.next = text + length + 1;
      ++run.lines;
    }
    if (run.next >= run.end) return run;
    run = rest.convert(run, output);
    if (run.stopped) return run;
  }
}

// The loop for each instruction set and direction, its kernels inline.
using BlockScan = BlockRun (*)(BlockRun, const BlockOutput&, const DateOffsets&, const RestTier&);

template <int ZShift>
BlockRun scan_plainly(BlockRun run, const BlockOutput& output, const DateOffsets& offsets,
                      const RestTier& rest) {
  return scan_block<PlainKernels, ZShift>(run, output, offsets, rest);
}
#ifdef KW_SSE2
template <int ZShift>
BlockRun scan_sse2(BlockRun run, const BlockOutput& output, const DateOffsets& offsets,
                   const RestTier& rest) {
  return scan_block<Sse2Kernels, ZShift>(run, output, offsets, rest);
}
#endif
// The loop of instruction_set(), with the third field `z_shift` columns
// right of its place.
BlockScan block_scan(int z_shift) {
#ifdef KW_SSE2
  if (instruction_set() == InstructionSet::sse2)
    return z_shift == 0 ? &scan_sse2<0> : &scan_sse2<1>;
#endif
  return z_shift == 0 ? &scan_plainly<0> : &scan_plainly<1>;
}

}  // namespace

RecordBatch::RecordBatch()
    : store_(new char[kReadBefore + kStoreBytes + kReadPast]),
      mask_bits_(new std::uint64_t[kByteClasses * kMaskWords]),
      classify_(block_classifier()),
      output_(new char[kMostConverted * kReverseRecord]),
      zoned_(new std::uint32_t[kMostConverted]) {
  overflowed_.reserve(kMostConverted);
}

char* RecordBatch::records() const {
  return store_.get() + kReadBefore;
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
  const bool reverse = offsets.direction() == Direction::subtract;
  record_size_ = reverse ? kReverseRecord : kOutputRecord;
  // What the records' windows read around them: known bytes.
  store_[0] = '\n';
  std::memset(records() + size_, 0, kReadPast);
  std::uint64_t* bits = mask_bits_.get();
  const BlockMasks masks{bits,
                         bits + kMaskWords,
                         bits + 2 * kMaskWords,
                         bits + 3 * kMaskWords,
                         bits + 4 * kMaskWords,
                         bits + 5 * kMaskWords};
  const std::size_t chunks = size_ / kChunkBytes + 2;
  classify_(records(), chunks, masks);
  for (int k = 0; k < kByteClasses; ++k) bits[k * kMaskWords + chunks] = 0;
  static const BlockScan kScans[2] = {block_scan(0), block_scan(1)};
  const BlockOutput output{records(), reinterpret_cast<const char*>(bits), output_.get(),
                           record_size_, reverse ? 1 : 0};
  const BlockRun run = kScans[output.z_shift](
      {.next = records(), .end = records() + size_, .out = output_.get(), .zoned = zoned_.get()},
      output, offsets, RestTier{offsets, stop_, stopped_at_, overflowed_});
  output_size_ = static_cast<std::size_t>(run.out - output_.get());
  lines_ = run.lines;
  zoned_count_ = static_cast<std::size_t>(run.zoned - zoned_.get());
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
    stop_unit(error_for(stop_), data.unit(), data.name(),
              std::string(kProgramPrefix) + "line " + with_thousands(first_line + stopped_at_) +
                  " of " + (data.name().empty() ? "\"\"" : shown(data.name())));
  }
  if (convert_failure_) std::rethrow_exception(convert_failure_);
  if (read_failure_) std::rethrow_exception(read_failure_);
}

}  // namespace kw

#include "conversion/record_batch.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

#include "conversion/tiers/record_tiers.h"
#include "records/failure.h"
#include "records/simd.h"

namespace kw {
namespace {

// The store's bytes are classified a chunk past the one of the last
// record's start, and each record's window is read 64 bytes from its
// start: room for both after the records.
constexpr std::size_t kReadPast = 2 * kChunkBytes;
constexpr std::size_t kChunks = RecordBatch::kStoreBytes / kChunkBytes + 2;
// Room a batch keeps for a record the input buffer does not hold whole,
// read one at a time: its parsed columns, a blank, its line feed.
constexpr std::size_t kOneRecord = kParsedColumns + 2;
// A batch ends once its room falls below this: records are short.
constexpr std::size_t kLeastRoom = 1024;

// A record the scan tier planned, and where it is.
struct PlannedRecord {
  ScanPlan plan;
  std::uint32_t start = 0;  // its first byte in the store
  std::uint32_t line = 0;   // its place among the batch's records
  std::int32_t columns = 0;
};

// Records planned, then edited, at a time: the plans stay in the cache.
constexpr std::size_t kPlans = 64;

// The records of a block as they are converted: where the next one
// starts, and what the records before it gave.
struct BlockRun {
  const char* store;        // the records, each ending in its line feed
  std::size_t size;         // of the records in store
  const ChunkMasks* masks;  // of store, a chunk past its records too
  std::size_t record_size;  // of an output record
  bool reverse;
  std::size_t start = 0;    // the next record's first byte
  std::uint32_t lines = 0;  // records read
  // What they gave.
  char* out = nullptr;  // the next output record
  std::uint32_t converted = 0;
  std::uint32_t* zoned = nullptr;  // 4 * a record's place + its zone, for the table's unknowns
  std::size_t zoned_count = 0;

  // The columns of the next record (a carriage return before its line
  // feed left out), and the first byte of the one after it.
  int next_columns(std::size_t& after) const {
    // Its line feed, among the 64 bytes from its start but for a long one.
    const std::uint64_t feeds = line_feeds_at(masks, start);
    const std::size_t end = feeds != 0 ? start + static_cast<std::size_t>(lowest_bit(feeds))
                                       : line_feed_after(start + kChunkBytes);
    const std::size_t length =
        end - start - static_cast<std::size_t>(end > start && store[end - 1] == '\r');
    after = end + 1;
    return static_cast<int>(std::min<std::size_t>(length, kParsedColumns));
  }

  // The first line feed from `first` on (the store ends in one).
  std::size_t line_feed_after(std::size_t first) const {
    std::size_t chunk = first / kChunkBytes;
    std::uint64_t feeds =
        masks[chunk].line_feeds & bits_from(static_cast<int>(first % kChunkBytes));
    while (feeds == 0) feeds = masks[++chunk].line_feeds;
    return chunk * kChunkBytes + static_cast<std::size_t>(lowest_bit(feeds));
  }

  // Moves past the next record, which ends before `after`.
  void pass(std::size_t after) {
    start = after;
    ++lines;
  }

  RecordText record_at(std::size_t first, int columns) const {
    return {store + first, columns, masks_at(masks, first)};
  }

  // Ends the output record just converted.
  void put_record(DateZone zone) {
    if (zone != DateZone::known) {
      zoned[zoned_count++] = converted * 4 + static_cast<std::uint32_t>(zone);
    }
    if (reverse) {
      std::memmove(out + kZField.at + 1, out + kZField.at, kZField.width);
      out[kZField.at] = ' ';
    }
    out[record_size - 2] = '\r';
    out[record_size - 1] = '\n';
    out += record_size;
    ++converted;
  }
};

// Stages 1 to 4 for the records of `block` from the next one on, at most
// kPlans: plans them, passes the blank ones, and stops before a record the
// scan tier does not plan. Works on a copy, in registers.
[[gnu::always_inline]] inline std::size_t plan_records(BlockRun& block, const DateOffsets& offsets,
                                                       PlannedRecord* plans) {
  BlockRun run = block;
  std::size_t planned = 0;
  while (planned < kPlans && run.start < run.size) {
    std::size_t after = 0;
    const int columns = run.next_columns(after);
    PlannedRecord& record = plans[planned];
    const Converted result = plan_record(run.record_at(run.start, columns), offsets, record.plan);
    if (result == Converted::undecided) break;
    if (result == Converted::fits) {
      record.start = static_cast<std::uint32_t>(run.start);
      record.line = run.lines;
      record.columns = columns;
      ++planned;
    }
    run.pass(after);
  }
  block = run;
  return planned;
}

// Stage 5 for planned records, from the values' text: stops before the
// first it cannot edit, and says how many it edited.
[[gnu::always_inline]] inline std::size_t edit_records(BlockRun& block, const PlannedRecord* plans,
                                                       std::size_t planned) {
  BlockRun run = block;
  std::size_t edited = 0;
  for (; edited < planned; ++edited) {
    const PlannedRecord& record = plans[edited];
    if (edit_record<Reading::text>(run.store + record.start, record.plan, run.out) !=
        Converted::fits) {
      break;
    }
    run.put_record(record.plan.zone);
  }
  block = run;
  return edited;
}

// Both, for every processor, and for those with AVX2 and BMI (the bit
// operations of the scan tier in one instruction each).
std::size_t plan_plainly(BlockRun& run, const DateOffsets& offsets, PlannedRecord* plans) {
  return plan_records(run, offsets, plans);
}
std::size_t edit_plainly(BlockRun& run, const PlannedRecord* plans, std::size_t planned) {
  return edit_records(run, plans, planned);
}
#ifdef KW_AVX2
KW_AVX2_TARGET std::size_t plan_avx2(BlockRun& run, const DateOffsets& offsets,
                                     PlannedRecord* plans) {
  return plan_records(run, offsets, plans);
}
KW_AVX2_TARGET std::size_t edit_avx2(BlockRun& run, const PlannedRecord* plans,
                                     std::size_t planned) {
  return edit_records(run, plans, planned);
}
#endif

struct Stages {
  std::size_t (*plan)(BlockRun&, const DateOffsets&, PlannedRecord*);
  std::size_t (*edit)(BlockRun&, const PlannedRecord*, std::size_t);
};

Stages stages() {
#ifdef KW_AVX2
  if (instruction_set() == InstructionSet::avx2) return {&plan_avx2, &edit_avx2};
#endif
  return {&plan_plainly, &edit_plainly};
}

// Converts the records of `run` in rounds of kPlans: the first tier plans
// and edits them, and `convert_left(record, line)` converts those it
// leaves, in their turn, and says whether the block goes on.
template <typename ConvertLeft>
void convert_block(BlockRun& run, const DateOffsets& offsets, const ConvertLeft& convert_left) {
  static const Stages kStages = stages();
  PlannedRecord plans[kPlans];
  while (run.start < run.size) {
    const std::size_t planned = kStages.plan(run, offsets, plans);
    for (std::size_t edited = 0; edited < planned; ++edited) {
      edited += kStages.edit(run, plans + edited, planned - edited);
      if (edited == planned) break;
      // A planned record the first tier does not edit.
      const PlannedRecord& left = plans[edited];
      if (!convert_left(run.record_at(left.start, left.columns), left.line)) return;
    }
    if (planned == kPlans || run.start >= run.size) continue;
    // A record the first tier does not plan.
    std::size_t after = 0;
    const int columns = run.next_columns(after);
    if (!convert_left(run.record_at(run.start, columns), run.lines)) return;
    run.pass(after);
  }
}

}  // namespace

RecordBatch::RecordBatch()
    : store_(new char[kStoreBytes + kReadPast]),
      masks_(new ChunkMasks[kChunks]),
      classify_(block_classifier()),
      output_(new char[kMostConverted * kReverseRecord]),
      zoned_(new std::uint32_t[kMostConverted]) {
  overflowed_.reserve(kMostConverted);
}

bool RecordBatch::fill(InputUnit& data) noexcept {
  size_ = 0;
  read_failure_ = nullptr;
  try {
    while (kStoreBytes - size_ >= kLeastRoom) {
      // Whole records, read straight into the store; then one at a time.
      bool ended = false;
      const std::size_t taken =
          data.read_whole_records(store_.get() + size_, kStoreBytes - size_, ended);
      size_ += taken;
      if (taken > 0) continue;
      if (ended || data.at_end()) return false;
      char* record = store_.get() + size_;
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
  // What the classifier and the records' windows read past the records:
  // known bytes.
  std::memset(store_.get() + size_, 0, kReadPast);
  classify_(store_.get(), size_ / kChunkBytes + 2, masks_.get());
  BlockRun run{.store = store_.get(),
               .size = size_,
               .masks = masks_.get(),
               .record_size = record_size_,
               .reverse = reverse,
               .out = output_.get(),
               .zoned = zoned_.get()};
  // A record the first tier leaves: all the tiers. False when it stops the
  // batch.
  const auto convert_left = [&](const RecordText& record, std::uint32_t line) {
    DateZone zone = DateZone::known;
    const Converted result = convert_record(record, offsets, run.out, stop_, zone);
    if (result == Converted::failed) {
      stopped_at_ = line;
      run.lines = line + 1;
      return false;
    }
    if (result == Converted::overflow) overflowed_.push_back(run.converted);
    if (result != Converted::blank) run.put_record(zone);
    return true;
  };
  convert_block(run, offsets, convert_left);
  output_size_ = run.converted * record_size_;
  lines_ = run.lines;
  zoned_count_ = run.zoned_count;
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
    if (z / 4 >= records) break;
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

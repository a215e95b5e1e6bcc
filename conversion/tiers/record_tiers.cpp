#include "conversion/tiers/record_tiers.h"

#include <algorithm>
#include <cstring>

#include "conversion/tiers/bytes.h"
#include "conversion/tiers/general_tier.h"
#include "conversion/tiers/scan_tier.h"
#include "conversion/tiers/simd.h"

namespace kw {
namespace {

// The tiers after the first, for a record where it lies that the first
// leaves, its third field `z_shift` columns right of its place. Never
// undecided.
Converted convert_left(const RecordText& record, const DateOffsets& offsets, char* out,
                       ReadStatus& status, DateZone& zone, int z_shift) {
  const Converted converted = scan_digits(record, offsets, out, zone, z_shift);
  if (converted != Converted::undecided) return converted;
  // The general tier's slot: the parsed columns, then blanks.
  char slot[kSlotWidth];
  std::memcpy(slot, record.text, static_cast<std::size_t>(record.columns));
  std::memset(slot + record.columns, ' ', static_cast<std::size_t>(kSlotWidth - record.columns));
  return convert_generally(slot, offsets, out, status, zone, z_shift);
}

// The classifier reads the chunk after the last record's (kAfter), and a
// record's window the byte before it (kBefore). The words of each bit
// array: the chunks the classifier reads, and one after them for the
// windows.
constexpr std::size_t kMaskWords = (BlockTiers::kMostBytes + BlockTiers::kAfter) / kChunkBytes + 1;

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
    out += kOutputRecord + static_cast<std::size_t>(z_shift);
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

// The records the scan tier leaves, and what the block's target keeps of them.
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
        convert_left({text, columns, windows.all()}, offsets, run.out, stop, zone, output.z_shift);
    if (converted == Converted::failed) {
      stopped_at = run.lines;
      run.lines += 1;
      run.stopped = true;
      return run;
    }
    run.next = text + length + 1;
    run.lines += 1;
    if (converted == Converted::blank) return run;
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

BlockTiers::BlockTiers()
    : mask_bits_(new std::uint64_t[kByteClasses * kMaskWords]), classify_(block_classifier()) {}

BlockConverted BlockTiers::convert(char* records, std::size_t size, const DateOffsets& offsets,
                                   const BlockTarget& to) {
  const bool reverse = offsets.direction() == Direction::subtract;
  // What the records' windows read around them: known bytes.
  records[-1] = '\n';
  std::memset(records + size, 0, kAfter);
  std::uint64_t* bits = mask_bits_.get();
  const BlockMasks masks{bits,
                         bits + kMaskWords,
                         bits + 2 * kMaskWords,
                         bits + 3 * kMaskWords,
                         bits + 4 * kMaskWords,
                         bits + 5 * kMaskWords};
  const std::size_t chunks = size / kChunkBytes + 2;
  classify_(records, chunks, masks);
  for (int k = 0; k < kByteClasses; ++k) bits[k * kMaskWords + chunks] = 0;
  static const BlockScan kScans[2] = {block_scan(0), block_scan(1)};
  const BlockOutput output{records, reinterpret_cast<const char*>(bits), to.out,
                           output_record_bytes(offsets.direction()), reverse ? 1 : 0};
  const BlockRun run = kScans[output.z_shift](
      {.next = records, .end = records + size, .out = to.out, .zoned = to.zoned}, output, offsets,
      RestTier{offsets, to.stop, to.stopped_at, to.overflowed});
  return {run.out, run.zoned, run.lines};
}

}  // namespace kw

// The record conversion: the one entry the batches call, and the tiers
// behind it. A block of records is classified once (block_masks.h), then
// each record goes to the tiers in turn, each of which either converts it
// or answers "undecided", and the next one tries:
//
//   1. the scan tier (scan_tier.h) from the values' text: records of plain
//      decimals in any arrangement, where they lie; its fields from their
//      text alone, by the kernels of the processor (simd.h). The block's
//      loop runs this tier alone, inline, and hands on what it leaves;
//   2. the scan tier from the digits, where the text does not decide;
//   3. the general tier (general_tier.h): the correctly rounded free-format
//      reader and field editor, which decide every record.
//
// Whichever tier converts a record, the bytes are those of the general
// tier.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "conversion/tiers/block_masks.h"
#include "records/data_record.h"
#include "records/free_format.h"
#include "timescale/date_offsets.h"

namespace kw {

// An output record with its CR LF; in reverse, a blank more before the
// third value, which is then below -10 s (UT1-TAI) and would otherwise run
// into the second.
inline constexpr std::size_t kOutputRecord = kOutputRoom;
inline constexpr std::size_t kReverseRecord = kOutputRecord + 1;

// The bytes of an output record in `direction`.
inline constexpr std::size_t output_record_bytes(Direction direction) {
  return direction == Direction::subtract ? kReverseRecord : kOutputRecord;
}

// Where a block's conversion puts what it gives.
struct BlockTarget {
  char* out;  // the output records, one after another
  // For each record converted whose date the table does not vouch for:
  // 4 * its first byte in `out` + its zone (DateZone).
  std::uint32_t* zoned;
  // The records with a field of asterisks, by their place among the
  // output records.
  std::vector<std::uint32_t>& overflowed;
  ReadStatus& stop;           // the read error of the record that failed
  std::uint64_t& stopped_at;  // its place among the records read
};

// What a block's conversion gave: the ends of what it wrote, and the
// records it read (the one that failed among them).
struct BlockConverted {
  char* out_end;
  std::uint32_t* zoned_end;
  std::uint64_t lines;
};

// The tiers and what they keep for a block: its masks.
class BlockTiers {
 public:
  // The most bytes of records a block holds, and the room it needs around
  // them: a byte before, and kAfter bytes after (both written).
  static constexpr std::size_t kMostBytes = std::size_t{1} << 17;
  static constexpr std::size_t kBefore = 1;
  static constexpr std::size_t kAfter = 2 * kChunkBytes;

  BlockTiers();

  // Converts the records at records[0 .. size) (size <= kMostBytes, each
  // ending in its line feed, the room around them as above) in file order,
  // each into an output record of `to.out` (blank records give none), up
  // to the first record that fails, whose read error is then `to.stop`.
  BlockConverted convert(char* records, std::size_t size, const DateOffsets& offsets,
                         const BlockTarget& to);

 private:
  std::unique_ptr<std::uint64_t[]> mask_bits_;  // the bit arrays of the block's classes
  BlockClassifier classify_;
};

}  // namespace kw

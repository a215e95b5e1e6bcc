// A record as a block holds it, for the tiers under test: a line feed, its
// bytes, its line feed, then bytes of values (so that a tier that reads
// past its columns gives other bytes), its masks made by the plain
// classifier.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

#include "conversion/tiers/block_masks.h"
#include "conversion/tiers/scan_tier.h"
#include "records/data_record.h"

namespace kw::test {

class HeldRecord {
 public:
  // `line` without its line feed; a carriage return at its end is left out
  // of its columns, as the batch leaves it.
  explicit HeldRecord(std::string_view line) {
    const std::size_t length = std::min(line.size(), sizeof bytes_ - kChunkBytes - 2);
    // A value's bytes around the record, and a line feed before it.
    const std::string_view after = "\n7 1 2 0.25 -1.5 3.75 -8 9.5\n";
    for (std::size_t i = 0; i < sizeof bytes_; ++i) bytes_[i] = after[i % after.size()];
    std::memcpy(record(), line.data(), length);
    record()[length] = '\n';
    std::size_t kept = length;
    if (kept > 0 && record()[kept - 1] == '\r') --kept;
    columns_ = static_cast<int>(std::min<std::size_t>(kept, kParsedColumns));
    std::uint64_t bits[6][kChunks + 1] = {};
    const BlockMasks block{bits[0], bits[1], bits[2], bits[3], bits[4], bits[5]};
    classify_plainly(bytes_, kChunks, block);
    masks_ = masks_at(block, 1);
  }

  RecordText text() const { return {bytes_ + 1, columns_, masks_}; }

  // The general tier's slot: the parsed columns, then blanks.
  const char* slot() {
    std::memcpy(slot_, record(), static_cast<std::size_t>(columns_));
    std::memset(slot_ + columns_, ' ', sizeof slot_ - static_cast<std::size_t>(columns_));
    return slot_;
  }

 private:
  char* record() { return bytes_ + 1; }

  static constexpr std::size_t kChunks = 4;
  char bytes_[kChunks * kChunkBytes] = {};
  RecordMasks masks_{};
  int columns_ = 0;
  char slot_[kSlotWidth] = {};
};

}  // namespace kw::test

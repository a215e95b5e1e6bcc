// Stage 1 of the scan tier: a block of records classified once, where it
// lies, as bit masks: for each chunk of 64 bytes, bit i of a mask for its
// byte i. The records' masks are then windows of these (masks_at), and
// their line feeds tell where each record ends.
//
// Three kernels of one signature make the same masks: a plain loop, one
// byte at a time (the fallback, and the vector kernels' test oracle), SSE2
// sixteen bytes at a time, and AVX2 thirty-two at a time where the
// processor has it (records/simd.h). block_classifier chooses once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "conversion/tiers/bit_masks.h"
#include "records/simd.h"

namespace kw {

inline constexpr std::size_t kChunkBytes = 64;

// The classes a record's bytes fall in, for a chunk or a record's window.
// (No default values: a block's masks are made, not zeroed first.)
struct ByteMasks {
  std::uint64_t values;   // '0' to '9', '.' and '-': what values are made of
  std::uint64_t points;   // '.'
  std::uint64_t minuses;  // '-'
  std::uint64_t commas;   // ','
  std::uint64_t others;   // neither of a value nor a blank (' ', '\t')
};

struct ChunkMasks {
  ByteMasks bytes;
  std::uint64_t line_feeds;  // '\n'
};

// Classifies text[0 .. 64 * chunks) into masks[0 .. chunks).
using BlockClassifier = void (*)(const char* text, std::size_t chunks, ChunkMasks* masks);

void classify_plainly(const char* text, std::size_t chunks, ChunkMasks* masks);
#ifdef KW_SSE2
void classify_sse2(const char* text, std::size_t chunks, ChunkMasks* masks);
#endif
#ifdef KW_AVX2
// Only where instruction_set() is avx2.
void classify_avx2(const char* text, std::size_t chunks, ChunkMasks* masks);
#endif

// The kernel of instruction_set().
BlockClassifier block_classifier();

// The masks of the 64 bytes of a block from `offset` on: masks[offset /
// 64] and the chunk after it must have been classified.
inline ByteMasks masks_at(const ChunkMasks* masks, std::size_t offset) {
  const ByteMasks& low = masks[offset / kChunkBytes].bytes;
  const ByteMasks& high = masks[offset / kChunkBytes + 1].bytes;
  const auto shift = static_cast<unsigned>(offset % kChunkBytes);
  return {window(low.values, high.values, shift), window(low.points, high.points, shift),
          window(low.minuses, high.minuses, shift), window(low.commas, high.commas, shift),
          window(low.others, high.others, shift)};
}

// The line feeds of the 64 bytes of a block from `offset` on, as masks_at.
inline std::uint64_t line_feeds_at(const ChunkMasks* masks, std::size_t offset) {
  const auto shift = static_cast<unsigned>(offset % kChunkBytes);
  return window(masks[offset / kChunkBytes].line_feeds, masks[offset / kChunkBytes + 1].line_feeds,
                shift);
}

}  // namespace kw

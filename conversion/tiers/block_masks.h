// Stage 1 of the scan tier, classifying: a block of records classified
// once, where it lies, 64 bytes at a time, into one bit array for each
// class of byte (bit i for the block's byte i). A record's masks are then
// a window of each array from its first byte: one load and one shift
// (masks_at), at least 57 bits of them, which hold its parsed columns, the
// byte after them, and most records' line feeds.
//
// Three kernels of one signature make the same arrays: a plain loop, one
// byte at a time (the fallback, and the SSE2 kernel's test oracle), and
// SSE2 sixteen bytes at a time (conversion/tiers/simd.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "conversion/tiers/bytes.h"
#include "conversion/tiers/simd.h"

namespace kw {

inline constexpr std::size_t kChunkBytes = 64;

// The classes of bytes a block's masks tell apart.
enum class ByteClass : int {
  values,      // '0' to '9', '.', '-', '+': what values are made of
  points,      // '.'
  signs,       // '-', '+'
  others,      // neither of a value nor a blank (' ', '\t')
  commas,      // ','
  line_feeds,  // '\n'
};
inline constexpr int kByteClasses = 6;

// A record's masks, bit i for its byte i.
struct RecordMasks {
  std::uint64_t bits[kByteClasses];
  std::uint64_t operator[](ByteClass c) const { return bits[static_cast<int>(c)]; }
};

// The bits of a record's masks that hold its bytes: a window holds at least
// these (the rest are zeros).
inline constexpr int kWindowBits = 57;

// The bit arrays of a block: one 64-bit word a chunk in each, and one more
// (zeros) for the windows of its last chunk.
struct BlockMasks {
  std::uint64_t* values;
  std::uint64_t* points;
  std::uint64_t* signs;
  std::uint64_t* others;
  std::uint64_t* commas;
  std::uint64_t* line_feeds;
};

// Classifies text[0 .. 64 * chunks) into the arrays' first `chunks` words.
using BlockClassifier = void (*)(const char* text, std::size_t chunks, const BlockMasks& masks);

void classify_plainly(const char* text, std::size_t chunks, const BlockMasks& masks);
#ifdef KW_SSE2
void classify_sse2(const char* text, std::size_t chunks, const BlockMasks& masks);
#endif

// The kernel of instruction_set().
BlockClassifier block_classifier();

// The window of a bit array from bit `offset`: its byte there and the
// seven after it, shifted to the bit.
[[gnu::always_inline]] inline std::uint64_t window(const std::uint64_t* bits, std::size_t offset) {
  const auto* bytes = reinterpret_cast<const char*>(bits);
  return load_word<std::uint64_t>(bytes + offset / 8) >> (offset % 8);
}

// The masks of the record at byte `offset` of a block.
inline RecordMasks masks_at(const BlockMasks& block, std::size_t offset) {
  return {{window(block.values, offset), window(block.points, offset), window(block.signs, offset),
           window(block.others, offset), window(block.commas, offset),
           window(block.line_feeds, offset)}};
}

// A record's masks as windows of its block's arrays, each loaded where it
// is used (a loop keeps fewer of them at once): the arrays `Stride` words
// apart, the values' first.
template <std::size_t Stride>
struct MaskWindows {
  const char* first;  // the values' byte of the record's first bit
  unsigned shift;     // that bit in it
  [[gnu::always_inline]] std::uint64_t operator[](ByteClass c) const {
    return load_word<std::uint64_t>(first + static_cast<std::size_t>(c) * Stride * 8) >> shift;
  }
  RecordMasks all() const {
    RecordMasks masks{};
    for (int k = 0; k < kByteClasses; ++k) masks.bits[k] = (*this)[static_cast<ByteClass>(k)];
    return masks;
  }
};

}  // namespace kw

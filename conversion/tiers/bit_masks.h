// Operations on the 64-bit masks of the scan tier, bit i for byte i.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "records/contracts.h"

namespace kw {

// The masks of bits below each place, 0 to 64: one load, where the
// compiler would make each of three instructions.
inline constexpr auto kBitsBelow = [] {
  std::array<std::uint64_t, 65> masks{};
  for (int to = 0; to < 64; ++to)
    masks[static_cast<std::size_t>(to)] = (std::uint64_t{1} << to) - 1;
  masks[64] = ~std::uint64_t{0};
  return masks;
}();

// Bits below `to` (to <= 64).
inline std::uint64_t bits_below(int to) {
  KW_EXPECTS(to >= 0 && to <= 64);
  return kBitsBelow[static_cast<std::size_t>(to)];
}

// The place of the lowest set bit of a mask that has one: without the test
// for zero that std::countr_zero must make.
inline int lowest_bit(std::uint64_t mask) {
  KW_EXPECTS(mask != 0);
#if defined(__GNUC__)
  return __builtin_ctzll(mask);
#else
  return std::countr_zero(mask);
#endif
}

// The 64 bits of a mask from bit `shift` (below 64) of `low` on, those
// past `low` from `high`.
inline std::uint64_t window(std::uint64_t low, std::uint64_t high, unsigned shift) {
  KW_EXPECTS(shift < 64);
  // Two shifts for the high word: one of 64 would not be defined.
  return (low >> shift) | (high << 1 << (63 - shift));
}

}  // namespace kw

// Digits read from the words that hold them, several at a time in one
// integer register: the tiers' readers of a value's decimals and of the
// digits before its point.
#pragma once

#include <cstdint>

#include "conversion/tiers/bytes.h"
#include "records/contracts.h"

namespace kw {

// The value of the n <= 8 digits at p, the first most significant. Reads
// p[0..8): the characters after the digits are loaded, then shifted out.
// The eight-digit multiply, a SWAR technique (SIMD within a register):
// the digits' bytes are combined into pairs by one multiply-add, then the
// four pairs into the number by two multiplies whose partial products
// meet in the word's upper half.
inline std::uint32_t leading_digits_value(const char* p, int n) {
  if (n == 0) return 0;
  auto v = load_word<std::uint64_t>(p);
  // Digits less '0' never borrow; a borrow of the bytes after them only
  // moves up, and the shift drops those bytes.
  v = (v - 0x3030303030303030ULL) << (8 * (8 - n));
  v = v * 10 + (v >> 8);  // pairs
  v = ((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32)) +
       ((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32))) >>
      32;
  return static_cast<std::uint32_t>(v);
}

// The bytes of the n <= 3 digits before a point in the word of the three
// bytes before it and the point, and their zeros ('0').
struct DigitsBefore {
  std::uint32_t keep[4] = {0, 0x00FF0000U, 0x00FFFF00U, 0x00FFFFFFU};
  std::uint32_t zeros[4] = {0, 0x00300000U, 0x00303000U, 0x00303030U};
};
inline constexpr DigitsBefore kDigitsBefore;

// The value of the n <= 3 digits that end just before p: reads p[-3..0].
inline std::uint32_t digits_before(const char* p, int n) {
  KW_EXPECTS(n >= 0 && n <= 3);
  auto v = load_word<std::uint32_t>(p - 3);
  v = (v & kDigitsBefore.keep[n]) - kDigitsBefore.zeros[n];  // digits less '0': no borrow
  const std::uint32_t pairs = v * 10 + (v >> 8);             // low byte: hundreds * 10 + tens
  return (pairs & 0xFF) * 10 + (v >> 16 & 0xFF);
}

}  // namespace kw

// A real's text in its record, and its value from its digits: what the
// scan tier's field editors read.
#pragma once

#include <cstdint>

#include "conversion/tiers/bit_masks.h"
#include "conversion/tiers/bytes.h"
#include "conversion/tiers/swar_digits.h"
#include "records/contracts.h"
#include "records/digits.h"

namespace kw {

inline constexpr std::uint64_t kUnitsPerOne = kPowersOfTen[12];  // a real in units of 10^-12

// Where the characters of a real of one point are in its record (below
// 64): its first (a sign, or the first after it), its point, its last, and
// its sign (a plus is dropped).
struct RealText {
  int start = 0;  // its sign, or its first character
  int first = 0;
  int point = 0;
  int end = 0;
  bool negative = false;
  bool sign = false;  // a sign before the first character, a minus or a plus
  int whole_digits() const { return point - first; }
  int decimals() const { return end - point; }
  // A real the tier reads: at most three digits before its point, a digit
  // somewhere.
  bool plain() const { return whole_digits() <= 3 && (whole_digits() > 0 || decimals() > 0); }
};

// A real of one point as the scan tier finds it: its first and last byte,
// its point, and whether its first is a sign.
struct RealSpan {
  std::size_t start = 0;
  std::size_t point = 0;
  std::size_t end = 0;
  bool sign = false;
};

// A real's characters, from its span: a minus is kept, a plus dropped.
inline RealText real_at(const char* text, RealSpan span) {
  KW_EXPECTS(span.start <= span.point && span.point <= span.end && span.end < 64);
  RealText t;
  t.sign = span.sign;
  t.negative = text[span.start] == '-';
  t.start = static_cast<int>(span.start);
  t.first = t.start + static_cast<int>(span.sign);
  t.point = static_cast<int>(span.point);
  t.end = static_cast<int>(span.end);
  return t;
}

// A real's value: (negative ? -1 : 1) * (units + a bit more when beyond)
// * 10^-12, where `beyond` says a decimal after the twelfth is not zero.
struct Real {
  std::uint64_t units = 0;
  bool negative = false;
  bool beyond = false;
};

// The value of a real of at most three whole digits, to its twelfth
// decimal. It stands after three dates and their separators, so the three
// columns before its point are the record's.
inline Real read_digits(const char* text, RealText t) {
  KW_EXPECTS(t.whole_digits() >= 0 && t.whole_digits() <= 3);
  Real real;
  const std::uint64_t whole = digits_before(text + t.point, t.whole_digits());
  const int decimals = t.decimals();
  std::uint64_t fraction = 0;
  if (decimals > 0) {
    const char* digits = text + t.point + 1;
    if (decimals <= 8) {
      fraction = leading_digits_value(digits, decimals) * kPowersOfTen[12 - decimals];
    } else {
      const int tail = decimals < 12 ? decimals - 8 : 4;
      fraction = leading_digits_value(digits, 8) * kPowersOfTen[4] +
                 leading_digits_value(digits + 8, tail) * kPowersOfTen[4 - tail];
      for (int i = 12; i < decimals && !real.beyond; ++i) real.beyond = digits[i] != '0';
    }
  }
  real.units = whole * kUnitsPerOne + fraction;
  real.negative = t.negative;
  return real;
}

// The bytes of a word in the other order: one instruction where the
// compiler has it.
constexpr std::uint64_t byte_swapped(std::uint64_t word) {
#if defined(__GNUC__)
  return __builtin_bswap64(word);
#else
  std::uint64_t swapped = 0;
  for (int i = 0; i < 8; ++i) swapped |= (word >> (8 * i) & 0xFF) << (8 * (7 - i));
  return swapped;
#endif
}
constexpr std::uint32_t byte_swapped(std::uint32_t word) {
  return static_cast<std::uint32_t>(byte_swapped(std::uint64_t{word}) >> 32);
}

inline constexpr std::uint64_t kZeros = 0x3030303030303030ULL;

// The bytes of the first n <= 8 decimals in the word of the eight after a
// point, and zeros ('0') after them.
struct DecimalBytes {
  std::uint64_t keep[9]{};
  std::uint64_t zeros[9]{};
  constexpr DecimalBytes() {
    for (int n = 0; n < 9; ++n) {
      keep[n] = n < 8 ? (std::uint64_t{1} << (8 * n)) - 1 : ~std::uint64_t{0};
      zeros[n] = kZeros & ~keep[n];
    }
  }
};
inline constexpr DecimalBytes kDecimalBytes;

// The first `decimals` decimals of a real (0 to 7) after its point at
// `point`, as eight bytes, the first decimal lowest, then zeros. Reads
// the eight bytes after the point.
inline std::uint64_t decimal_bytes(const char* point, int decimals) {
  KW_EXPECTS(decimals >= 0 && decimals <= 7);
  return (load_word<std::uint64_t>(point + 1) & kDecimalBytes.keep[decimals]) |
         kDecimalBytes.zeros[decimals];
}

}  // namespace kw

// Decimal ties at the fifth decimal of a value of six decimals: which way
// the double read from the text rounds, found exactly from the digits.
#pragma once

#include <bit>
#include <cstdint>

#include "conversion/tiers/simd.h"

namespace kw {

// 2^s mod 15625 (= 5^6), for s from 0 to 64.
struct PowersOfTwoMod {
  std::uint32_t value[65]{};
  constexpr PowersOfTwoMod() {
    std::uint32_t p = 1;
    for (std::uint32_t& v : value) {
      v = p;
      p = p * 2 % 15625;
    }
  }
};
inline constexpr PowersOfTwoMod kPowersOfTwoMod;

// Whether the double nearest to n / 10^6 (5 <= n < 10^9, n not a multiple
// of 15625, so that n / 10^6 is not a binary fraction) lies above it.
//
// n / 10^6 = q / 64 with q = n / 15625, and 2^e <= q < 2^(e+1). The double
// keeps q * 2^(52 - e) rounded to an integer, so it lies above when the
// part of that product after the point is above one half: when
// (n * 2^(52 - e)) mod 15625 is above 15625 / 2 (it is never a half, 15625
// being odd). From n >= 5, e >= -12 and 52 - e <= 64.
inline bool double_above(std::uint32_t n) {
  const int top = static_cast<int>(std::bit_width(n)) - 1;  // 2^top <= n
  // 2^13 <= 15625 < 2^14: e is top - 13 or one less.
  const int e = top - 13;
  const std::uint64_t scaled_n = std::uint64_t{n} << (e < 0 ? -e : 0);
  const std::uint64_t scaled_q = std::uint64_t{15625} << (e > 0 ? e : 0);
  const int exponent = scaled_n >= scaled_q ? e : e - 1;
  return (n % 15625) * kPowersOfTwoMod.value[52 - exponent] % 15625 > 15625 / 2;
}

// Whether n / 10^6 (n < 10^9, ending in 5: a decimal tie at the fifth
// decimal) rounds up at the fifth decimal as the double read from it does:
// when the double lies above the tie, or is the tie itself (n / 10^6 a
// binary fraction) and the fifth decimal is odd.
inline bool tie_rounds_up(std::uint32_t n) {
  return n % 15625 == 0 ? (n / 10 & 1) != 0 : double_above(n);
}

}  // namespace kw

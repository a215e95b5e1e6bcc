// Digits as numbers and as text: the tables and the small routines of the
// field editors.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kw {

static_assert(std::endian::native == std::endian::little, "a word's first byte is its lowest");

// 10^0 .. 10^19, exact in 64 bits.
inline constexpr auto kPowersOfTen = [] {
  std::array<std::uint64_t, 20> powers{};
  std::uint64_t power = 1;
  for (std::uint64_t& p : powers) {
    p = power;
    power *= 10;  // wraps after 10^19, which is not kept
  }
  return powers;
}();

// "00" to "99".
inline constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the two digits of n < 100 at out.
inline void put_two_digits(std::uint32_t n, char* out) {
  std::memcpy(out, kPairs + std::size_t{2} * n, 2);
}

// Writes `count` digits of `value` backwards, ending just before `end`.
inline char* put_digits(std::uint32_t value, int count, char* end) {
  for (; count >= 2; count -= 2) {
    end -= 2;
    put_two_digits(value % 100, end);
    value /= 100;
  }
  if (count == 1) *--end = static_cast<char>('0' + value % 10);
  return end;
}

// Number of decimal digits of value (1 for 0).
inline int digit_count(std::uint32_t value) {
  int count = 1;
  while (count < 10 && value >= kPowersOfTen[count]) ++count;
  return count;
}

// The 8 decimal digits of n < 10^8 as characters, first digit first, by
// splitting into halves, quarters and single digits in parallel lanes.
inline void put_eight_digits(std::uint32_t n, char* out) {
  const std::uint64_t halves = (n / 10000) | (static_cast<std::uint64_t>(n % 10000) << 32);
  const std::uint64_t high_pairs = ((halves * 10486) >> 20) & 0x0000007F0000007FULL;  // / 100
  const std::uint64_t pairs = high_pairs | ((halves - high_pairs * 100) << 16);
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000FULL;  // / 10
  const std::uint64_t digits = tens | ((pairs - tens * 10) << 8);
  const std::uint64_t text = digits + 0x3030303030303030ULL;  // the first digit lowest
  std::memcpy(out, &text, sizeof text);
}

}  // namespace kw

// F10.6 of the third value plus a whole offset, straight from its text.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "conversion/tiers/bit_masks.h"
#include "conversion/tiers/real_text.h"
#include "records/bytes.h"
#include "records/contracts.h"
#include "records/data_record.h"
#include "records/digits.h"
#include "timescale/date_offsets.h"

namespace kw {

// The places before the point of an F10.6 field, point included, as four
// bytes: "  0." to "999." without a minus, then " -0." to "-99." with one.
struct HeadText {
  static constexpr std::size_t kMinus = 1000;  // where those with a minus begin
  std::uint32_t text[kMinus + 100]{};
  static constexpr std::uint32_t pack(char a, char b, char c) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<std::uint32_t>('.') << 24;
  }
  constexpr HeadText() {
    for (int i = 0; i < 1000; ++i) {
      const auto ones = static_cast<char>('0' + i % 10);
      text[i] = pack(i >= 100 ? static_cast<char>('0' + i / 100) : ' ',
                     i >= 10 ? static_cast<char>('0' + i / 10 % 10) : ' ', ones);
      if (i < 100) {
        text[kMinus + static_cast<std::size_t>(i)] =
            i >= 10 ? pack('-', static_cast<char>('0' + i / 10), ones) : pack(' ', '-', ones);
      }
    }
  }
};
inline constexpr HeadText kHeads;

// For complement_to_one, by the place of the last decimal that is not a
// zero (0 to 5): the bytes through it, and 0x69 in each with 0x6A in it.
struct ComplementForms {
  std::uint64_t through[6]{};
  std::uint64_t base[6]{};
  constexpr ComplementForms() {
    for (int last = 0; last < 6; ++last) {
      through[last] = (std::uint64_t{1} << (8 * last + 8)) - 1;
      base[last] = (0x0000696969696969ULL + (std::uint64_t{1} << (8 * last))) & through[last];
    }
  }
};
inline constexpr ComplementForms kComplementForms;

// Six decimals as text, the first in the lowest byte, two zeros after
// them, not all zeros: less their value from one. The zeros after the last
// other decimal stay, it becomes its complement to ten ('0' + '9' + 1 =
// 0x6A less it), those before it their complement to nine (0x69 less
// them). No byte borrows from the next.
inline std::uint64_t complement_to_one(std::uint64_t decimals) {
  KW_EXPECTS(decimals >> 48 == kZeros >> 48 && decimals != kZeros);
  // The last decimal that is not a zero.
  const auto last = static_cast<unsigned>(63 - std::countl_zero(decimals ^ kZeros)) / 8;
  const std::uint64_t through = kComplementForms.through[last];
  return (decimals & ~through) | ((kComplementForms.base[last] - decimals) & through);
}

// F10.6 of the third value plus a whole offset (|offset| at most
// kMostWholeSeconds), from the value's text when it has at most six
// decimals. The sum's whole part with the value's sign is r = ±whole +
// offset; where r has the other sign and the value a fraction, the sum
// lies between r and r -+ 1: one less in magnitude, its decimals their
// complement to one second. Otherwise the decimals stay as written.
// Exact: the sum of six decimals is exact here, and the double sum lies
// within 2e-13 of it, while a field's decimals are 10^-6 apart.
// False when the sum needs more places before the point than the field
// has (for the asterisks and error 63 of the digits' editor). Writes two
// zeros after the field, where the record's end is written after it.
inline bool put_sum_text(const char* text, RealText t, std::int32_t offset, char* out) {
  static_assert(kZField.width == 10, "three places, the point, six decimals");
  KW_EXPECTS(t.plain() && t.decimals() <= 6);
  KW_EXPECTS(offset >= -kMostWholeSeconds && offset <= kMostWholeSeconds);
  const auto whole = static_cast<std::int32_t>(digits_before(text + t.point, t.whole_digits()));
  std::uint64_t decimals = decimal_bytes(text + t.point, t.decimals());  // six, two zeros
  const auto fraction = static_cast<std::int32_t>(decimals != kZeros);
  // With the value's sign `sign` (0 or -1): r, then q = r in the value's
  // direction, below zero where the sum's sign flips.
  const std::int32_t sign = -static_cast<std::int32_t>(t.negative);
  const std::int32_t r = ((whole ^ sign) - sign) + offset;
  const std::int32_t q = (r ^ sign) - sign;
  const std::int32_t flipped = q < 0 ? -1 : 0;
  const std::int32_t borrow = flipped & fraction;
  const auto magnitude = static_cast<std::uint32_t>(((q ^ flipped) - flipped) - borrow);
  if (borrow != 0) decimals = complement_to_one(decimals);
  // The sum's sign: the other one where it flips, none where it is zero.
  const bool minus = ((sign ^ flipped) & ((q != 0) | fraction)) != 0;
  if (magnitude >= (minus ? 100U : 1000U)) return false;
  // The head, then the six decimals: their two zeros after them fall where
  // the record's end is written next.
  char* to = out + kZField.at;
  store_word(to, kHeads.text[magnitude + (minus ? HeadText::kMinus : 0)]);
  store_word(to + 4, decimals);
  return true;
}

}  // namespace kw

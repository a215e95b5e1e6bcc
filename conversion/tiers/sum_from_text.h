// F10.6 of the third value plus a whole offset, straight from its text.
#pragma once

#include <cstdint>

#include "conversion/tiers/converted.h"
#include "conversion/tiers/real_text.h"
#include "records/bytes.h"
#include "records/contracts.h"
#include "records/data_record.h"
#include "records/digits.h"
#include "timescale/date_offsets.h"

namespace kw {

// The places before the point of an F10.6 field, point included, as four
// bytes: "  0." to "999." without a minus, " -0." to "-99." with one.
struct HeadText {
  std::uint32_t plus[1000]{};
  std::uint32_t minus[100]{};
  static constexpr std::uint32_t pack(char a, char b, char c) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<std::uint32_t>('.') << 24;
  }
  constexpr HeadText() {
    for (int i = 0; i < 1000; ++i) {
      const auto ones = static_cast<char>('0' + i % 10);
      plus[i] = pack(i >= 100 ? static_cast<char>('0' + i / 100) : ' ',
                     i >= 10 ? static_cast<char>('0' + i / 10 % 10) : ' ', ones);
      if (i < 100) {
        minus[i] =
            i >= 10 ? pack('-', static_cast<char>('0' + i / 10), ones) : pack(' ', '-', ones);
      }
    }
  }
};
inline constexpr HeadText kHeads;

// Six decimals as text, the last in the lowest byte, less their value
// from one: the nines' complement of each digit ('0' + '9' = 0x69 less
// it), plus one carried through the nines from the last (the decimals are
// not all zero).
inline std::uint64_t complement_to_one(std::uint64_t decimals) {
  constexpr std::uint64_t kPlaces = 0x0000FFFFFFFFFFFFULL;
  constexpr std::uint64_t kToTop = 0x0000C6C6C6C6C6C6ULL;  // '9' becomes 0xFF
  std::uint64_t raised = (0x0000696969696969ULL - decimals) + kToTop + 1;
  const std::uint64_t wrapped = ~raised & 0x8080808080808080ULL & kPlaces;
  raised |= ((wrapped >> 7) * 0xFF) & 0x0000F6F6F6F6F6F6ULL;  // a byte carried out of: '0'
  return raised - kToTop;
}

// F10.6 of the third value plus a whole offset (|offset| at most
// kMostWholeSeconds), from the value's text when it has at most six
// decimals: they stay as written when the sum keeps the value's sign or
// the offset is the smaller, and become their complement to one second
// otherwise. Exact: the sum of six decimals is exact here, and the double
// sum lies within 2e-13 of it, while a field's decimals are 10^-6 apart.
// Undecided when the sum needs more places before the point than the
// field has (for the general tier's asterisks and error 63).
inline Converted put_sum_text(const char* text, RealText t, std::int32_t offset, char* out) {
  static_assert(kZField.width == 10, "three places, the point, six decimals");
  KW_EXPECTS(t.plain() && t.decimals() <= 6);
  KW_EXPECTS(offset >= -kMostWholeSeconds && offset <= kMostWholeSeconds);
  const std::uint32_t whole = digits_before(text + t.point, t.whole_digits());
  std::uint64_t decimals = decimal_bytes(text + t.point, t.decimals());  // six, two zeros
  const bool no_decimals = decimals == kZeros;
  const bool offset_negative = offset < 0;
  const auto size = static_cast<std::uint32_t>(offset_negative ? -offset : offset);
  std::uint32_t sum_whole = 0;
  bool minus = offset_negative;
  if (offset_negative == t.negative || size <= whole) {
    sum_whole = offset_negative == t.negative ? whole + size : whole - size;
    minus = t.negative && (sum_whole != 0 || !no_decimals);
  } else if (no_decimals) {
    sum_whole = size - whole;
  } else {
    sum_whole = size - whole - 1;
    // The six decimals, the last lowest, complemented, and back.
    decimals = byte_swapped(complement_to_one(byte_swapped(decimals) >> 16) << 16);
  }
  if (sum_whole >= (minus ? 100U : 1000U)) return Converted::undecided;
  const std::uint32_t head = minus ? kHeads.minus[sum_whole] : kHeads.plus[sum_whole];
  // The head, then the decimals after the head's last two bytes.
  const std::uint64_t tail = decimals << 16 | head >> 16;
  char* to = out + kZField.at;
  store_word(to + 2, tail);
  store_word(to, head);
  return Converted::fits;
}

}  // namespace kw

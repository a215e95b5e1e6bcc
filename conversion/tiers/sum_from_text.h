// F10.6 of the third value plus a whole offset, straight from its text.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "conversion/tiers/bit_masks.h"
#include "conversion/tiers/bytes.h"
#include "conversion/tiers/real_text.h"
#include "conversion/tiers/swar_digits.h"
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

// F10.6 of ±(whole + the six decimals of `decimals`) plus a whole offset
// (|offset| at most kMostWholeSeconds). The sum's whole part with the
// value's sign is r = ±whole + offset; where r has the other sign and the
// value a fraction, the sum lies between r and r -+ 1: one less in
// magnitude, its decimals their complement to one second. Otherwise the
// decimals stay as written. Exact: the sum of six decimals is exact here,
// and the double sum lies within 2e-13 of it, while a field's decimals are
// 10^-6 apart. False when the sum needs more places before the point than
// the field has (for the asterisks and error 63 of the digits' editor).
// Writes two zeros after the field, where the record's end is written
// after it.
//
// Branch-free, in two's complement: with sign = 0 or -1, (x ^ sign) - sign
// is x or -x. Three records worked through (decimals as text):
//
//   value, offset        sign   r    q  flipped borrow magnitude decimals  minus  field
//   -36.250000 + 37        -1    1   -1    -1      1       0      750000    no   "  0.750000"
//    1.500000 - 37          0  -36  -36    -1      1      35      500000   yes   "-35.500000"
//    0.447919 + 37          0   37   37     0      0      37      447919    no   " 37.447919"
//
// In the first, r = -36 + 37 = 1 has the other sign than the value, so the
// sum is 0.75 (one less than |r| = 1, with the decimals' complement to one:
// "25" becomes "75", the last decimal not a zero from ten, the one before
// it from nine) and has no minus (sign ^ flipped = 0).
inline bool put_exact_sum(std::int32_t whole, std::uint64_t decimals, bool negative,
                          std::int32_t offset, char* out) {
  static_assert(kZField.width == 10, "three places, the point, six decimals");
  KW_EXPECTS(whole >= 0 && whole <= 1000 && decimals >> 48 == kZeros >> 48);
  KW_EXPECTS(offset >= -kMostWholeSeconds && offset <= kMostWholeSeconds);
  const auto fraction = static_cast<std::int32_t>(decimals != kZeros);
  // With the value's sign `sign` (0 or -1): r, then q = r in the value's
  // direction, below zero where the sum's sign flips.
  const std::int32_t sign = -static_cast<std::int32_t>(negative);
  const std::int32_t r = ((whole ^ sign) - sign) + offset;
  const std::int32_t q = (r ^ sign) - sign;
  const std::int32_t flipped = q < 0 ? -1 : 0;
  const std::int32_t borrow = flipped & fraction;
  const auto magnitude = static_cast<std::uint32_t>(((q ^ flipped) - flipped) - borrow);
  if (borrow != 0) decimals = complement_to_one(decimals);
  // The sum's sign: the other one where it flips, none where it is zero.
  const bool minus = ((sign ^ flipped) & (static_cast<std::int32_t>(q != 0) | fraction)) != 0;
  if (magnitude >= (minus ? 100U : 1000U)) return false;
  // The head, then the six decimals: their two zeros after them fall where
  // the record's end is written next.
  char* to = out + kZField.at;
  store_word(to, kHeads.text[magnitude + (minus ? HeadText::kMinus : 0)]);
  store_word(to + 4, decimals);
  return true;
}

// F10.6 of the third value plus a whole offset, from the value's text when
// it has at most six decimals: put_exact_sum of its digits.
inline bool put_sum_text(const char* text, RealText t, std::int32_t offset, char* out) {
  KW_EXPECTS(t.plain() && t.decimals() <= 6);
  const char* p = text + t.point;
  return put_exact_sum(static_cast<std::int32_t>(digits_before(p, t.whole_digits())),
                       decimal_bytes(p, t.decimals()), t.negative, offset, out);
}

// Adds one to the last of six decimals as text (the first lowest, two
// zeros after them), the carry running through the nines: false, the
// decimals all zeros, when they were all nines.
inline bool add_to_sixth(std::uint64_t& decimals) {
  const std::uint64_t last_first = byte_swapped(decimals) >> 16;  // the sixth lowest
  const std::uint64_t nines = last_first ^ 0x393939393939ULL;
  if (nines == 0) {
    decimals = kZeros;
    return false;
  }
  const int carried = lowest_bit(nines) & ~7;  // the bits of the nines
  const std::uint64_t zeros = kZeros & ((std::uint64_t{1} << carried) - 1);
  decimals = byte_swapped((((last_first >> carried) + 1) << carried | zeros) << 16) |
             (kZeros & ~std::uint64_t{0xFFFFFFFFFFFF});
  return true;
}

// The sign of zd * 10^12 - units, exactly (-1, 0 or 1), for a double zd
// below 10^3 and units below 2^53: Dekker's product of zd and 10^12 (each
// split in halves of 26 bits, every partial product exact), less units.
inline int product_less_units(double zd, std::uint64_t units) {
  constexpr double kScale = 1e12;
  constexpr double kScaleHigh = 999999995904.0;  // 10^12 to 26 bits
  constexpr double kScaleLow = kScale - kScaleHigh;
  const double c = 134217729.0 * zd;  // 2^27 + 1
  const double high = c - (c - zd);
  const double low = zd - high;
  const double p = zd * kScale;
  const double e =
      ((high * kScaleHigh - p) + high * kScaleLow + low * kScaleHigh) + low * kScaleLow;
  // p and units are within a factor of two: p - units is exact, and the
  // sum with e rounds to zero only where it is zero.
  const double below = (p - static_cast<double>(units)) + e;
  return static_cast<int>(below > 0.0) - static_cast<int>(below < 0.0);
}

// At a tie of the sum at its seventh decimal (±units * 10^-12 + offset,
// units of at most twelve decimals): whether the general tier's sum, the
// double nearest ±units * 10^-12 plus offset, rounded once more, lies
// farther from zero than the tie (1), nearer (-1) or on it (0). That sum
// less the tie is -err + ±(zd - units * 10^-12), err the addition's error
// (exact, by Knuth's two-sum): a multiple of zd's unit in its last place,
// twice |zd - units * 10^-12| or more where it is not zero.
inline int sum_tie_side(std::uint64_t units, bool negative, std::int32_t offset) {
  KW_EXPECTS(units < (std::uint64_t{1} << 53));
  const double zd = static_cast<double>(units) / 1e12;  // one rounding: the value's double
  const double z = negative ? -zd : zd;
  const auto whole = static_cast<double>(offset);
  const double d = z + whole;
  const double whole_part = d - z;
  const double err = (z - (d - whole_part)) + (whole - whole_part);  // (z + whole) - d
  int side = err > 0.0 ? -1 : err < 0.0 ? 1 : 0;
  if (side == 0) side = negative ? -product_less_units(zd, units) : product_less_units(zd, units);
  return d < 0.0 ? -side : side;
}

// The bytes kept of the eight decimals after the sixth, by the count of a
// real's decimals (below 64): those it has, zeros ('0') after them.
struct DecimalsAfterSixth {
  std::uint64_t keep[64]{};
  std::uint64_t zeros[64]{};
  constexpr DecimalsAfterSixth() {
    for (int n = 0; n < 64; ++n) {
      const int more = n < 6 ? 0 : n < 14 ? n - 6 : 8;
      keep[n] = kDecimalBytes.keep[more];
      zeros[n] = kDecimalBytes.zeros[more];
    }
  }
};
inline constexpr DecimalsAfterSixth kDecimalsAfterSixth;

// F10.6 of the third value plus a whole offset, from the value's text when
// it has more than six decimals: the value's fraction rounded at its sixth
// decimal in the direction of the sum's, then put_exact_sum. Off a tie,
// rounding the value's fraction or the sum's gives the same decimals (a
// value of at most twelve decimals lies 10^-12 or more from a tie, its
// double within 2e-13 of it). At a tie (a 5 then zeros), the general
// tier's double sum decides; an exact tie goes to the even sixth decimal.
// False, as put_exact_sum, or past the twelfth decimal within 10^-12 of a
// tie, or where a sum not zero would round to zero (its sign is the
// digits' editor's).
inline bool put_rounded_sum_text(const char* text, RealText t, std::int32_t offset, char* out) {
  KW_EXPECTS(t.plain() && t.decimals() > 6 && t.decimals() < 64);
  const char* p = text + t.point;
  auto whole = static_cast<std::int32_t>(digits_before(p, t.whole_digits()));
  std::uint64_t decimals = decimal_bytes(p, 6);
  // The seventh to fourteenth decimals, the seventh highest (zeros after
  // the last), against a 5 then zeros: above, below or at the tie. Those
  // after the fourteenth decide only within 10^-12 of a tie.
  const std::uint64_t rest =
      byte_swapped((load_word<std::uint64_t>(p + 7) & kDecimalsAfterSixth.keep[t.decimals()]) |
                   kDecimalsAfterSixth.zeros[t.decimals()]);
  constexpr std::uint64_t kTie = 0x3530303030303030ULL;  // "50000000"
  bool up = rest > kTie;
  if (t.decimals() > 12) {
    // Within 10^-12 of the tie: the double may lie on either side.
    if ((rest >> 16) == (kTie >> 16) || (rest >> 16) == 0x343939393939ULL) return false;
  } else if (rest == kTie) {
    const std::uint64_t units = std::uint64_t(whole) * kUnitsPerOne +
                                std::uint64_t{leading_digits_value(p + 1, 6)} * 1000000 + 500000;
    const int side = sum_tie_side(units, t.negative, offset);
    // The sum's magnitude rounds up where the double lies beyond the tie;
    // where the sign flips, that is the value's rounding down.
    const std::int32_t signed_whole = t.negative ? -whole : whole;
    const bool flipped = (signed_whole + offset < 0) != t.negative && signed_whole + offset != 0;
    up = side != 0 ? (side > 0) != flipped : ((decimals >> 40 & 1) != 0);
  }
  if (up && !add_to_sixth(decimals)) ++whole;
  // A sum that rounds to zero: only the digits' editor knows its sign.
  if (decimals == kZeros && whole == (t.negative ? offset : -offset)) return false;
  return put_exact_sum(whole, decimals, t.negative, offset, out);
}

}  // namespace kw

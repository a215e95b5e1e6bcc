// The fields of the output record made by the scan tier: the first two
// values' F9.5 and the third value's sum with a whole offset, F10.6, each
// from the value's text where its shape allows, otherwise from its digits.
// Every editor is put_<what it is made from>, and answers a Converted:
// fits, overflow, or undecided (the value is for the general tier).
//
// Why they give the general tier's bytes: the general reader reads the
// text into the double nearest its value, which lies within half a unit in
// its last place of it (below 6e-14 for values below 1024), and the sum
// with a whole offset of at most kMostWholeSeconds within 2e-13 of the
// exact sum; a value that is not at a tie of the decimal rounded to is at
// least 10^-12 from it, so its text rounds as the double does. At a tie,
// the double decides (decimal_ties.h, or the double itself).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "conversion/tiers/bit_masks.h"
#include "conversion/tiers/converted.h"
#include "conversion/tiers/decimal_ties.h"
#include "records/bytes.h"
#include "records/contracts.h"
#include "records/data_record.h"
#include "records/digits.h"
#include "records/field_edit.h"
#include "records/fixed_fast.h"
#include "records/simd.h"
#include "timescale/date_offsets.h"

namespace kw {

inline constexpr std::uint64_t kUnitsPerOne = kPowersOfTen[12];  // a real in units of 10^-12

// Where a real's characters are in its record (below 64): its first digit
// and its point (one past the end when it has none), its last character,
// its sign, and whether it has at most one point.
struct RealText {
  std::int8_t first = 0;
  std::int8_t point = 0;
  std::int8_t end = 0;
  bool negative = false;
  bool one_point = true;
  int whole_digits() const { return point - first; }
  int decimals() const { return end - point; }  // -1 without a point
  // A real the tier reads: at most one point, at most three digits before
  // it, a digit somewhere.
  bool plain() const {
    return one_point && whole_digits() <= 3 && (whole_digits() > 0 || decimals() > 0);
  }
};

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
inline Real read_digits(const char* text, const RealText& t) {
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

// The magnitude in units rounded to the grid of `Decimals` decimals:
// false within a unit of a tie, where only the double can decide (the
// value and the double may lie on either side of it).
template <int Decimals>
inline bool round_units(std::uint64_t units, bool beyond, std::uint64_t& rounded) {
  constexpr std::uint64_t grid = kPowersOfTen[12 - Decimals];
  constexpr std::uint64_t half = grid / 2;
  const std::uint64_t rest = units % grid;  // a constant divisor: no division
  if (rest == half || (beyond && rest == half - 1)) return false;
  rounded = units / grid + static_cast<std::uint64_t>(rest > half);
  return true;
}

// The double the general reader gives a real of at most 12 decimals: its
// units (below 2^53) and 10^12 are exact doubles, and one division
// rounds correctly.
inline double to_double(const Real& real) {
  KW_EXPECTS(real.units < (std::uint64_t{1} << 53) && !real.beyond);
  const double magnitude = static_cast<double>(real.units) / static_cast<double>(kUnitsPerOne);
  return real.negative ? -magnitude : magnitude;
}

inline Converted fits_or_overflow(bool fits) {
  return fits ? Converted::fits : Converted::overflow;
}

// The worse of two answers: undecided, then overflow, then fits.
inline Converted combine(Converted a, Converted b) {
  return a == Converted::undecided || b == Converted::fits ? a : b;
}

// F9.5 of a real from its value: rounded from its units where they
// decide; a tie of six decimals as the double read from them rounds; any
// other value of at most twelve decimals through the double itself.
template <const OutputField& Field>
inline Converted put_units(const Real& real, char* out) {
  constexpr std::uint64_t kMicro = kPowersOfTen[6];
  char* field = out + Field.at;
  std::uint64_t n = 0;
  if (round_units<5>(real.units, real.beyond, n)) {
    return fits_or_overflow(fixed_fast::put_scaled<Field.width, 5>(n, real.negative, field));
  }
  if (real.beyond) return Converted::undecided;
  if (real.units % kMicro == 0) {  // a tie of six decimals, as real data has them
    const auto micro = static_cast<std::uint32_t>(real.units / kMicro);
    n = micro / 10 + static_cast<std::uint32_t>(tie_rounds_up(micro));
    return fits_or_overflow(fixed_fast::put_scaled<Field.width, 5>(n, real.negative, field));
  }
  return fits_or_overflow(edit_field<Field.width, 5>(to_double(real), field));
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

// The decimals of a real of at most seven, as eight bytes, the first
// decimal lowest: those written, then zeros. Reads the eight bytes after
// the point.
inline std::uint64_t decimal_bytes(const char* text, const RealText& t) {
  KW_EXPECTS(t.decimals() <= 7);
  const auto word = load_word<std::uint64_t>(text + t.point + 1);
  const std::uint64_t written = bits_below(8 * (t.decimals() > 0 ? t.decimals() : 0));
  return (word & written) | (kZeros & ~written);
}

// F9.5 of a real straight from its text, for the usual shapes: 1 to 3
// digits before the point (no leading zero), with a minus 1 or 2, up to 6
// decimals. The field is the three columns before the point (the
// record's: three dates stand before it) with blanks before the sign and
// the digits, the point, and five decimals with zeros after those
// written, the sixth rounded into the fifth.
//
// Exact: values of at most six decimals lie 10^-6 apart, so one off a tie
// rounds as its double does, and a tie (a sixth decimal of 5) is decided
// as the double rounds (tie_rounds_up). Undecided, the field untouched,
// where a zero before the point must be added or a minus dropped (a value
// that rounds to zero), or the rounding carries into the places before the
// point.
template <const OutputField& Field>
inline Converted put_text_plainly(const char* text, const RealText& t, char* out) {
  static_assert(Field.width == 9, "three places, the point, five decimals");
  const int whole_digits = t.whole_digits();
  const int signed_digits = whole_digits + static_cast<int>(t.negative);
  if (!t.one_point || whole_digits == 0 || signed_digits > 3 || t.decimals() > 6 ||
      (whole_digits > 1 && text[t.first] == '0')) {
    return Converted::undecided;
  }
  const char* p = text + t.point;
  // Three places and the point: the sign and the digits kept, blanks
  // before them.
  auto head = load_word<std::uint32_t>(p - 3);
  const std::uint32_t blanks = 0x00FFFFFFU >> (8 * signed_digits);
  head = (head & 0x00FFFFFFU & ~blanks) | (0x20202020U & blanks) | 0x2E000000U;
  const std::uint64_t decimals = decimal_bytes(text, t);
  auto fifth = static_cast<char>(decimals >> 32);
  const auto sixth = static_cast<char>(decimals >> 40);
  bool up = sixth > '5';
  if (sixth == '5') {
    const std::uint32_t micro =
        digits_before(p, whole_digits) * 1000000 + leading_digits_value(p + 1, 6);
    up = tie_rounds_up(micro);
  }
  auto first_four = static_cast<std::uint32_t>(decimals);  // the first lowest
  if (up && fifth == '9') {
    // The carry runs through the nines before the fifth decimal into the
    // first other one; through all four, into the places before.
    const auto last_first = static_cast<std::uint32_t>(byte_swapped(first_four));
    const std::uint32_t nines = last_first ^ 0x39393939U;
    if (nines == 0) return Converted::undecided;
    const int carried = lowest_bit(nines) & ~7;  // the bits of the nines
    const std::uint32_t zeros = 0x30303030U & ((std::uint32_t{1} << carried) - 1);
    first_four =
        static_cast<std::uint32_t>(byte_swapped(((last_first >> carried) + 1) << carried | zeros));
    fifth = '0';
  } else {
    fifth = static_cast<char>(fifth + static_cast<int>(up));
  }
  // A value that rounds to zero has no sign.
  if (t.negative && whole_digits == 1 && text[t.first] == '0' &&
      first_four == static_cast<std::uint32_t>(kZeros) && fifth == '0') {
    return Converted::undecided;
  }
  const std::uint64_t field = head | std::uint64_t{first_four} << 32;
  char* to = out + Field.at;
  store_word(to, field);
  to[8] = fifth;
  return Converted::fits;
}

// The forms of a real's text for put_text_sse2, by sign, whole digits (4:
// more than 3) and decimals (-1: no point, 7: more than 6): the sixteen
// bytes from three before the point become the field by
// (bytes & keep) | fill, the sixth decimal after it; `probe` marks a
// leading zero. A form the fast path does not take has the top bit of
// its fill's last byte set.
struct TextForm {
  alignas(16) unsigned char keep[16];
  alignas(16) unsigned char fill[16];
  alignas(16) unsigned char probe[16];
};
inline constexpr int kFormWholes = 5;
inline constexpr int kFormDecimals = 9;

constexpr TextForm text_form(int negative, int whole_digits, int decimals) {
  TextForm form{};
  const int sign_at = 3 - whole_digits - negative;  // the first byte of the sign or digits
  const bool taken = whole_digits >= 1 && whole_digits + negative <= 3 && decimals <= 6;
  for (int i = 0; i < 16; ++i) {
    const bool kept = taken && ((i >= sign_at && i < 3) || (i >= 4 && i < 4 + decimals));
    form.keep[i] = kept ? 0xFF : 0x00;
    // Blanks before the sign and after the sixth decimal, the point, zeros
    // for the decimals not written.
    const unsigned char filler = i < sign_at || i >= 10 ? ' ' : i == 3 ? '.' : '0';
    form.fill[i] = kept ? 0 : filler;
    // A probe byte never equals a text byte (it is 0) but at a leading zero.
    form.probe[i] = taken && whole_digits > 1 && i == 3 - whole_digits ? '0' : 0;
  }
  if (!taken) form.fill[15] = 0x80;
  return form;
}

struct TextForms {
  TextForm forms[2 * kFormWholes * kFormDecimals];
  constexpr TextForms() : forms{} {
    for (int n = 0; n < 2; ++n) {
      for (int w = 0; w < kFormWholes; ++w) {
        for (int d = 0; d < kFormDecimals; ++d) {
          forms[(n * kFormWholes + w) * kFormDecimals + d] = text_form(n, w, d - 1);
        }
      }
    }
  }
};
inline constexpr TextForms kTextForms;

#ifdef KW_SSE2
// put_text_plainly's field for the usual values, sixteen bytes at a time:
// the same bytes, or the plain editor's answer where a tie, a carry or an
// unusual form needs it. Writes 16 bytes from the field's first (the next
// field is written after it).
template <const OutputField& Field>
inline Converted put_text_sse2(const char* text, const RealText& t, char* out) {
  static_assert(Field.at + 16 <= kOutputWidth + 2, "the store stays in the record");
  const int whole = t.whole_digits() < kFormWholes - 1 ? t.whole_digits() : kFormWholes - 1;
  const int decimals = t.decimals() < kFormDecimals - 2 ? t.decimals() : kFormDecimals - 2;
  KW_EXPECTS(whole >= 0 && decimals >= -1);
  const TextForm& form =
      kTextForms.forms[(static_cast<int>(t.negative) * kFormWholes + whole) * kFormDecimals +
                       decimals + 1];
  const auto vector = [](const unsigned char* bytes) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
  };
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + t.point - 3));
  const __m128i field = _mm_or_si128(_mm_and_si128(bytes, vector(form.keep)), vector(form.fill));
  // The sixth decimal (byte 9) above 5 adds one to the fifth (byte 8).
  const __m128i above = _mm_srli_si128(_mm_cmpgt_epi8(field, _mm_set1_epi8('5')), 1);
  const __m128i fifth = _mm_set_epi8(0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m128i rounded = _mm_add_epi8(field, _mm_and_si128(above, fifth));
  // For the plain editor: a tie, a carry out of the fifth, a leading zero,
  // another form, and a value that rounds to " -0.00000".
  const __m128i tie = _mm_cmpeq_epi8(field, _mm_set1_epi8('5'));
  const __m128i carry = _mm_and_si128(_mm_cmpeq_epi8(field, _mm_set1_epi8('9')), above);
  const __m128i leading_zero = _mm_cmpeq_epi8(field, vector(form.probe));
  const __m128i negative_zero = _mm_cmpeq_epi8(
      rounded, _mm_setr_epi8(' ', '-', '0', '.', '0', '0', '0', '0', '0', 0, 0, 0, 0, 0, 0, 0));
  const unsigned marks =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(tie, carry), field)));
  const unsigned bad =
      (marks & 0x8300U) | static_cast<unsigned>(_mm_movemask_epi8(leading_zero)) |
      static_cast<unsigned>((static_cast<unsigned>(_mm_movemask_epi8(negative_zero)) & 0x1FFU) ==
                            0x1FFU);
  if (bad != 0 || !t.one_point) return put_text_plainly<Field>(text, t, out);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + Field.at), rounded);
  return Converted::fits;
}
#endif

// F9.5 of a real straight from its text: the vector kernel where there is
// one.
template <const OutputField& Field>
inline Converted put_text(const char* text, const RealText& t, char* out) {
#ifdef KW_SSE2
  return put_text_sse2<Field>(text, t, out);
#else
  return put_text_plainly<Field>(text, t, out);
#endif
}

// How far the editors read a value: from its text only (the first tier,
// which calls nothing), or from its digits where the text does not decide
// (the second).
enum class Reading { text, digits };

// F9.5 of a real: from its text, else from its digits; undecided for a
// real the tier does not read.
template <const OutputField& Field, Reading R>
inline Converted put_real(const char* text, const RealText& t, char* out) {
  const Converted from_text = put_text<Field>(text, t, out);
  if (R == Reading::text || from_text != Converted::undecided || !t.plain()) return from_text;
  return put_units<Field>(read_digits(text, t), out);
}

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
inline Converted put_sum_text(const char* text, const RealText& t, std::int32_t offset, char* out) {
  static_assert(kZField.width == 10, "three places, the point, six decimals");
  KW_EXPECTS(t.plain() && t.decimals() <= 6);
  KW_EXPECTS(offset >= -kMostWholeSeconds && offset <= kMostWholeSeconds);
  const std::uint32_t whole = digits_before(text + t.point, t.whole_digits());
  std::uint64_t decimals = decimal_bytes(text, t);  // six, then two zeros
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

// F10.6 of the third value plus a whole offset, from its digits: the
// exact sum in units, rounded where that decides, the double sum (the
// general tier's own, value + offset) where the value has at most twelve
// decimals, undecided otherwise.
inline Converted put_sum_units(const Real& z, std::int32_t offset, char* out) {
  const auto z_units = static_cast<std::int64_t>(z.units);
  const std::int64_t sum =
      (z.negative ? -z_units : z_units) + offset * static_cast<std::int64_t>(kUnitsPerOne);
  if (sum == 0 && z.beyond) return Converted::undecided;
  std::uint64_t magnitude =
      sum < 0 ? 0 - static_cast<std::uint64_t>(sum) : static_cast<std::uint64_t>(sum);
  // The decimals beyond the twelfth move the sum away from zero when they
  // have its sign, toward it otherwise: then it lies in (magnitude - 1,
  // magnitude) units.
  if (z.beyond && (sum < 0) != z.negative) --magnitude;
  char* field = out + kZField.at;
  std::uint64_t n = 0;
  if (round_units<6>(magnitude, z.beyond, n)) {
    return fits_or_overflow(fixed_fast::put_scaled<kZField.width, 6>(n, sum < 0, field));
  }
  if (z.beyond) return Converted::undecided;
  return fits_or_overflow(edit_field<kZField.width, 6>(to_double(z) + offset, field));
}

// F10.6 of the third value plus a whole offset: from its text, else from
// its digits.
template <Reading R>
inline Converted put_sum(const char* text, const RealText& t, std::int32_t offset, char* out) {
  if (!t.plain()) return Converted::undecided;
  if (t.decimals() <= 6) {
    const Converted from_text = put_sum_text(text, t, offset, out);
    if (R == Reading::text || from_text != Converted::undecided) return from_text;
  } else if (R == Reading::text) {
    return Converted::undecided;
  }
  return put_sum_units(read_digits(text, t), offset, out);
}

}  // namespace kw

// F9.5 of a real straight from its text: the plain editor, and its SSE2
// peer of the same signature, which gives the same bytes sixteen at a time
// and leaves to it what it does not take.
#pragma once

#include <cstdint>

#include "conversion/tiers/converted.h"
#include "conversion/tiers/decimal_ties.h"
#include "conversion/tiers/real_text.h"
#include "records/bytes.h"
#include "records/contracts.h"
#include "records/data_record.h"
#include "records/digits.h"
#include "records/simd.h"

namespace kw {

// Whether a real of at most six decimals rounds up at the fifth, from its
// sixth decimal: above 5, or a tie the double read from the text lies
// above (or on, with an odd fifth decimal).
inline bool rounds_up(const char* text, const RealText& t, char sixth) {
  if (sixth != '5') return sixth > '5';
  const char* p = text + t.point;
  return tie_rounds_up(digits_before(p, t.whole_digits()) * 1000000 +
                       leading_digits_value(p + 1, 6));
}

// Adds one to the last of four decimals as text (the first lowest), the
// carry running through the nines into the first other one: false when
// they are all nines, and it would run into the places before the point.
inline bool carry_into(std::uint32_t& decimals) {
  const std::uint32_t last_first = byte_swapped(decimals);
  const std::uint32_t nines = last_first ^ 0x39393939U;
  if (nines == 0) return false;
  const int carried = lowest_bit(nines) & ~7;  // the bits of the nines
  const std::uint32_t zeros = 0x30303030U & ((std::uint32_t{1} << carried) - 1);
  decimals = byte_swapped(((last_first >> carried) + 1) << carried | zeros);
  return true;
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
  auto first_four = static_cast<std::uint32_t>(decimals);  // the first lowest
  auto fifth = static_cast<char>(decimals >> 32);
  if (rounds_up(text, t, static_cast<char>(decimals >> 40))) {
    if (fifth != '9') {
      fifth = static_cast<char>(fifth + 1);
    } else if (!carry_into(first_four)) {
      return Converted::undecided;
    } else {
      fifth = '0';
    }
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
  TextForm forms[2 * kFormWholes * kFormDecimals]{};
  constexpr TextForms() {
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
  const auto marks =
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

}  // namespace kw

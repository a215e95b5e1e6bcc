// F9.5 of a real straight from its text: the plain editor, and its SSE2
// peer of the same signature, which gives the same bytes sixteen at a time
// and leaves to it what it does not take.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>

#include "conversion/tiers/bytes.h"
#include "conversion/tiers/converted.h"
#include "conversion/tiers/decimal_ties.h"
#include "conversion/tiers/real_text.h"
#include "conversion/tiers/simd.h"
#include "conversion/tiers/swar_digits.h"
#include "records/contracts.h"
#include "records/data_record.h"
#include "records/digits.h"

namespace kw {

// How a real rounds at its fifth decimal, from its sixth and those after
// it up to the twelfth.
enum class Rounding { down, up, undecided };

// A value of at most twelve decimals off a tie at the fifth lies 10^-12 or
// more from it, and its double on the same side (it is within 6e-14 of the
// value): the decimals decide. A tie itself (a sixth decimal of 5, zeros
// after it) is decided as the double read from it rounds: above it, or on
// it with an odd fifth decimal. Past the twelfth decimal, a value whose
// seventh to twelfth are all zeros or all nines may lie within 10^-12 of a
// tie: undecided.
inline Rounding rounding_at_fifth(const char* text, RealText t) {
  const int decimals = t.decimals();
  if (decimals < 6) return Rounding::down;
  const char* sixth = text + t.point + 6;
  if (decimals <= 12 && *sixth != '5') return *sixth > '5' ? Rounding::up : Rounding::down;
  bool zeros = true;
  bool nines = true;
  for (int i = 1; i <= 6 && i <= decimals - 6; ++i) {
    zeros = zeros && sixth[i] == '0';
    nines = nines && sixth[i] == '9';
  }
  if (decimals > 12 && (zeros || nines)) return Rounding::undecided;
  if (*sixth != '5' || !zeros) return *sixth >= '5' ? Rounding::up : Rounding::down;
  const char* p = text + t.point;
  return tie_rounds_up(digits_before(p, t.whole_digits()) * 1000000 +
                       leading_digits_value(p + 1, 6))
             ? Rounding::up
             : Rounding::down;
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
// digits before the point (no leading zero), with a minus 1 or 2, any
// number of decimals. The field is the three columns before the point (the
// record's: three dates stand before it) with blanks before the sign and
// the digits, the point, and five decimals with zeros after those
// written, the sixth rounded into the fifth.
//
// Exact as rounding_at_fifth is. False, the field untouched, where a zero
// before the point must be added or a minus dropped (a value that rounds
// to zero), or the rounding carries into the places before the point.
template <const OutputField& Field>
inline bool put_text_plainly(const char* text, RealText t, char* out) {
  static_assert(Field.width == 9, "three places, the point, five decimals");
  const int whole_digits = t.whole_digits();
  const int signed_digits = whole_digits + static_cast<int>(t.negative);
  if (whole_digits == 0 || signed_digits > 3 || (whole_digits > 1 && text[t.first] == '0')) {
    return false;
  }
  const char* p = text + t.point;
  // Three places and the point: the sign and the digits kept, blanks
  // before them.
  auto head = load_word<std::uint32_t>(p - 3);
  const std::uint32_t blanks = 0x00FFFFFFU >> (8 * signed_digits);
  head = (head & 0x00FFFFFFU & ~blanks) | (0x20202020U & blanks) | 0x2E000000U;
  const std::uint64_t decimals = decimal_bytes(p, t.decimals() < 7 ? t.decimals() : 7);
  auto first_four = static_cast<std::uint32_t>(decimals);  // the first lowest
  auto fifth = static_cast<char>(decimals >> 32);
  const Rounding rounding = rounding_at_fifth(text, t);
  if (rounding == Rounding::undecided) return false;
  if (rounding == Rounding::up) {
    if (fifth != '9') {
      fifth = static_cast<char>(fifth + 1);
    } else if (!carry_into(first_four)) {
      return false;
    } else {
      fifth = '0';
    }
  }
  // A value that rounds to zero has no sign.
  if (t.negative && whole_digits == 1 && text[t.first] == '0' &&
      first_four == static_cast<std::uint32_t>(kZeros) && fifth == '0') {
    return false;
  }
  const std::uint64_t field = head | std::uint64_t{first_four} << 32;
  char* to = out + Field.at;
  store_word(to, field);
  to[8] = fifth;
  return true;
}

// The forms of a real's text for the vector kernel, by the bytes before
// its point (0 to 7), 8 more where the first of them is a sign, and its
// decimals (0 to 15): the sixteen bytes from three before the point become
// the field by (bytes & keep) | fill, the sixth decimal after it, a sign
// kept (a plus is then made a blank). `probe` holds '0' at a leading zero
// and '5' at the sixth decimal (a tie, or past a tie): what leaves the
// kernels' usual road. A form they do not take (no digit before the point,
// more than three places, more than twelve decimals) keeps nothing, and its
// probe is its fill: every byte leaves the road. Seven to twelve decimals
// are read as six: the sixth decides the rounding but at a 5.
struct TextForm {
  alignas(16) unsigned char keep[16];
  alignas(16) unsigned char fill[16];
  alignas(16) unsigned char probe[16];
};
inline constexpr unsigned kFormHeads = 16;  // bytes before the point, 8 more with a sign
inline constexpr unsigned kFormDecimals = 16;

// Where a form's bytes come from: the sign and the digits before the point
// (`head` as text_form takes it), the decimals read.
struct FormShape {
  int whole_digits = 0;
  int sign_at = 0;     // the first byte of the sign or the digits
  int read = 0;        // the decimals read, at most six
  bool taken = false;  // a form the kernel takes
  constexpr FormShape(unsigned head, unsigned decimals) {
    const auto before = static_cast<int>(head % 8);  // the sign and the whole digits
    whole_digits = before - static_cast<int>(head / 8);
    sign_at = 3 - before;
    taken = whole_digits >= 1 && before <= 3 && decimals <= 12;
    read = decimals < 6 ? static_cast<int>(decimals) : 6;
  }
  // Whether byte i of the field is one of the value's.
  constexpr bool kept(int i) const {
    return taken && ((i >= sign_at && i < 3) || (i >= 4 && i < 4 + read));
  }
  // Blanks before the sign and after the sixth decimal, the point, zeros
  // for the decimals not written.
  static constexpr unsigned char filler(int i, int sign_at) {
    if (i < sign_at || i >= 10) return ' ';
    return i == 3 ? '.' : '0';
  }
  // A probe byte never equals a field byte (it is 0) but where it says;
  // those of a form not taken are the field's own.
  constexpr unsigned char probe(int i, unsigned char fill) const {
    if (!taken) return fill;
    if (whole_digits > 1 && i == 3 - whole_digits) return '0';  // a leading zero
    return i == 9 ? '5' : 0;
  }
};

constexpr TextForm text_form(unsigned head, unsigned decimals) {
  const FormShape shape(head, decimals);
  TextForm form{};
  for (int i = 0; i < 16; ++i) {
    const bool kept = shape.kept(i);
    form.keep[i] = kept ? 0xFF : 0x00;
    form.fill[i] = kept ? 0 : FormShape::filler(i, shape.sign_at);
    form.probe[i] = shape.probe(i, form.fill[i]);
  }
  return form;
}

struct TextForms {
  TextForm forms[kFormHeads * kFormDecimals]{};
  constexpr TextForms() {
    for (unsigned h = 0; h < kFormHeads; ++h) {
      for (unsigned d = 0; d < kFormDecimals; ++d) forms[h * kFormDecimals + d] = text_form(h, d);
    }
  }
};
inline constexpr TextForms kTextForms;

// The bytes of a real before its point and its decimals, for a form.
struct FormKey {
  unsigned before;
  unsigned decimals;
  // Whether the forms hold it: before < 8 and decimals < 16.
  bool held() const { return (before | decimals >> 1) < 8; }
};
inline FormKey form_key(RealText t) {
  return {static_cast<unsigned>(t.point - t.start), static_cast<unsigned>(t.end - t.point)};
}

// The form of a real that kTextForms holds.
inline const TextForm& text_form(RealText t, FormKey key) {
  KW_EXPECTS(key.held());
  return kTextForms
      .forms[(key.before + 8 * static_cast<unsigned>(t.sign)) * kFormDecimals + key.decimals];
}

#ifdef KW_SSE2
// The constants of the vector kernel, 16 bytes each.
struct alignas(16) TextConstants {
  struct Lane {
    alignas(16) unsigned char bytes[16]{};
    constexpr Lane(std::initializer_list<unsigned> first) {
      int i = 0;
      for (const unsigned b : first) bytes[i++] = static_cast<unsigned char>(b);
    }
    static constexpr Lane all(unsigned char b) {
      Lane t{};
      for (unsigned char& byte : t.bytes) byte = b;
      return t;
    }
  };
  Lane fives = Lane::all('5');
  Lane nines = Lane::all('9');
  Lane pluses = Lane::all('+');
  // What a plus differs from a blank in.
  Lane plus_to_blank = Lane::all('+' ^ ' ');
  // One for the fifth decimal, where the sixth rounds it up.
  Lane fifth{0, 0, 0, 0, 0, 0, 0, 0, 1};
  // A fifth decimal that a carry left past '9'.
  Lane carried{0, 0, 0, 0, 0, 0, 0, 0, ':'};
  Lane negative_zero{' ', '-', '0', '.', '0', '0', '0', '0', '0'};
  // One added to the fifth decimal that carries through its last n
  // nines (n from 0 to 4): they become zeros ('0' - '9' = -9), the
  // decimal before them one more.
  Lane carries[5] = {{0, 0, 0, 0, 0, 0, 0, 0, 1},
                     {0, 0, 0, 0, 0, 0, 0, 1, 0xF7},
                     {0, 0, 0, 0, 0, 0, 1, 0xF7, 0xF7},
                     {0, 0, 0, 0, 0, 1, 0xF7, 0xF7, 0xF7},
                     {0, 0, 0, 0, 1, 0xF7, 0xF7, 0xF7, 0xF7}};
};
inline constexpr TextConstants kTextConstants{};

// A field's marks, bit i for its byte i (from three before the point): the
// bytes where put_text_sse2 leaves its usual road.
struct FieldMarks {
  static constexpr unsigned kCarry = 1U << 8;  // the fifth decimal carried past '9'
  static constexpr unsigned kTie = 1U << 9;    // a sixth decimal of 5: a tie, or past one
  unsigned bits;
  // A leading zero, or a form the kernel does not take.
  bool other_form() const { return (bits & ~(kCarry | kTie)) != 0; }
  bool tie() const { return (bits & kTie) != 0; }
};
// The bytes of a field up to its fifth decimal: " -0.00000" there is a
// value that rounds to zero, which has no sign.
inline constexpr unsigned kFieldBytes = (1U << 9) - 1;

// Off the usual road at the sixth decimal: a tie (or past one) or a carry
// out of the fifth. The rounding of `field` decided, and carried through
// the decimals' last nines: true with the field in `rounded`, false where
// the carry would run into the places before the point.
[[gnu::always_inline]] inline bool round_unusually(const char* text, RealText t, __m128i field,
                                                   FieldMarks marks, __m128i& rounded) {
  const TextConstants& k = in_memory(kTextConstants);
  const auto vector = [](const unsigned char* bytes) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
  };
  const bool up =
      marks.tie() ? rounding_at_fifth(text, t) == Rounding::up : text[t.point + 6] > '5';
  if (!up) {
    rounded = field;
    return true;
  }
  // The decimals' nines: their run from the fifth (bit 8) down, counted
  // from the top of the word once the fifth is its highest bit.
  const auto nines =
      static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(field, vector(k.nines.bytes))));
  const int run = std::countl_one(nines << (31 - 8));
  if (run >= 5) return false;
  rounded = _mm_add_epi8(field, vector(k.carries[run].bytes));
  return true;
}

// The end of put_text_sse2's road, from the field of a real's text
// (`field`), its usual rounding (`rounded`) and where it leaves the usual
// road (`marks`): the field stored, or false.
template <const OutputField& Field>
[[gnu::always_inline]] inline bool finish_text_sse2(const char* text, RealText t, __m128i field,
                                                    __m128i rounded, FieldMarks marks, char* out) {
  if (marks.bits != 0 && (marks.other_form() || !round_unusually(text, t, field, marks, rounded))) {
    return false;
  }
  const auto zero = static_cast<unsigned>(_mm_movemask_epi8(
      _mm_cmpeq_epi8(rounded, _mm_load_si128(reinterpret_cast<const __m128i*>(
                                  in_memory(kTextConstants).negative_zero.bytes)))));
  if ((zero & kFieldBytes) == kFieldBytes) return false;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + Field.at), rounded);
  return true;
}

// put_text_plainly's field for the usual values, sixteen bytes at a time:
// the same bytes, or false (the field in any state) where a leading zero,
// a value that rounds to " -0.00000", a carry into the places before the
// point or another form needs the plain editor. Writes 16 bytes from the
// field's first (the next field is written after it).
template <const OutputField& Field>
[[gnu::always_inline]] inline bool put_text_sse2(const char* text, RealText t, char* out) {
  static_assert(Field.at + 16 <= kOutputWidth + 2, "the store stays in the record");
  const FormKey key = form_key(t);
  // No digit before the point: a form the kernel does not take.
  if (!key.held() || t.whole_digits() == 0) return false;
  const TextForm& form = text_form(t, key);
  const TextConstants& k = in_memory(kTextConstants);
  const auto vector = [](const unsigned char* bytes) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
  };
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + t.point - 3));
  const __m128i kept = _mm_or_si128(_mm_and_si128(bytes, vector(form.keep)), vector(form.fill));
  // A plus kept becomes a blank.
  const __m128i field = _mm_xor_si128(
      kept,
      _mm_and_si128(_mm_cmpeq_epi8(kept, vector(k.pluses.bytes)), vector(k.plus_to_blank.bytes)));
  // The sixth decimal (byte 9) above 5 adds one to the fifth (byte 8).
  const __m128i above = _mm_srli_si128(_mm_cmpgt_epi8(field, vector(k.fives.bytes)), 1);
  __m128i rounded = _mm_add_epi8(field, _mm_and_si128(above, vector(k.fifth.bytes)));
  // Off the usual road: a leading zero (bytes 0 and 1), a tie (byte 9) or
  // another form, which the probe finds, a carry (byte 8).
  const FieldMarks marks{static_cast<unsigned>(
      _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(field, vector(form.probe)),
                                     _mm_cmpeq_epi8(rounded, vector(k.carried.bytes)))))};
  return finish_text_sse2<Field>(text, t, field, rounded, marks, out);
}

// The first and second fields, each by put_text_sse2.
[[gnu::always_inline]] inline bool put_pair_sse2(const char* text, RealText x, RealText y,
                                                 char* out) {
  return put_text_sse2<kXField>(text, x, out) && put_text_sse2<kYField>(text, y, out);
}
#endif

// The first and second fields, each by put_text_plainly: the plain peer
// of put_pair_sse2.
inline bool put_pair_plainly(const char* text, RealText x, RealText y, char* out) {
  return put_text_plainly<kXField>(text, x, out) && put_text_plainly<kYField>(text, y, out);
}

}  // namespace kw

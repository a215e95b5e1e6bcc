#include "conversion/common_record.h"

#include <cstring>

#include "conversion/data_record.h"
#include "conversion/fixed_fast.h"

// Vector code where the target has SSE2 (every x86-64, and the 32-bit
// Windows build); KW_PORTABLE selects the plain code, as for targets
// without it (the tests build both).
#if defined(__SSE2__) && !defined(KW_PORTABLE)
#include <emmintrin.h>
#define KW_COMMON_SSE2 1
#else
#define KW_COMMON_SSE2 0
#endif

namespace kw {
namespace {

// One bit per column of the 48 columns, for each kind of character.
struct ColumnClasses {
  std::uint64_t blank = 0;  // ' '
  std::uint64_t point = 0;  // '.'
  std::uint64_t minus = 0;  // '-'
  std::uint64_t digit = 0;  // '0' to '9'
};

#if KW_COMMON_SSE2
inline __m128i digits16(__m128i v) {
  // A digit is a byte whose distance above '0' is at most 9.
  const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8('0'));
  return _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
}

inline ColumnClasses classify(const char* columns) {
  __m128i v[3];
  for (int i = 0; i < 3; ++i) v[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns) + i);
  const auto bits = [](__m128i a, __m128i b, __m128i c) {
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(a))) |
           static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(b))) << 16 |
           static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(c))) << 32;
  };
  const auto equal = [&](char ch) {
    const __m128i x = _mm_set1_epi8(ch);
    return bits(_mm_cmpeq_epi8(v[0], x), _mm_cmpeq_epi8(v[1], x), _mm_cmpeq_epi8(v[2], x));
  };
  return {equal(' '), equal('.'), equal('-'), bits(digits16(v[0]), digits16(v[1]), digits16(v[2]))};
}

// Whether the columns fit the layout: the characters it expects where it
// has no digit, digits where it has them.
inline bool fits_layout(const char* columns, const LayoutTemplate& layout) {
  __m128i all = _mm_set1_epi8(-1);
  for (int i = 0; i < 3; ++i) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(columns) + i);
    const __m128i expected = _mm_load_si128(reinterpret_cast<const __m128i*>(layout.expected) + i);
    const __m128i digit = _mm_load_si128(reinterpret_cast<const __m128i*>(layout.digit) + i);
    const __m128i ok = _mm_or_si128(_mm_andnot_si128(digit, _mm_cmpeq_epi8(v, expected)),
                                    _mm_and_si128(digit, digits16(v)));
    all = _mm_and_si128(all, ok);
  }
  return _mm_movemask_epi8(all) == 0xFFFF;
}
#else
inline ColumnClasses classify(const char* columns) {
  ColumnClasses c;
  for (int i = 0; i < kCommonColumns; ++i) {
    const std::uint64_t bit = std::uint64_t{1} << i;
    const char ch = columns[i];
    if (ch == ' ') c.blank |= bit;
    if (ch == '.') c.point |= bit;
    if (ch == '-') c.minus |= bit;
    if (ch >= '0' && ch <= '9') c.digit |= bit;
  }
  return c;
}

inline bool fits_layout(const char* columns, const LayoutTemplate& layout) {
  for (int i = 0; i < kCommonColumns; ++i) {
    const char ch = columns[i];
    const bool ok = layout.digit[i] != 0 ? ch >= '0' && ch <= '9'
                                         : static_cast<unsigned char>(ch) == layout.expected[i];
    if (!ok) return false;
  }
  return true;
}
#endif

inline int lowest_bit(std::uint64_t bits) {
  return __builtin_ctzll(bits);
}
inline int highest_bit(std::uint64_t bits) {
  return 63 - __builtin_clzll(bits);
}

// The value of the digits among the 8 characters at p that `keep` selects
// (a byte of 0xFF each), the first character most significant.
inline std::uint32_t eight_digits(const char* p, std::uint64_t keep) {
  std::uint64_t v = 0;
  std::memcpy(&v, p, 8);
  // Masked before the subtraction, so that no byte borrows from the next.
  v = (v & keep) - (0x3030303030303030ULL & keep);
  v = v * 10 + (v >> 8);  // pairs
  v = ((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32)) +
       ((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32))) >>
      32;
  return static_cast<std::uint32_t>(v);
}

// The value of the digits among the 3 characters at p that `keep` selects.
inline std::uint32_t three_digits(const char* p, std::uint32_t keep) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, 4);  // three characters and the one after them
  v = (v & keep) - (0x00303030U & keep);
  const std::uint32_t pairs = v * 10 + (v >> 8);  // hundreds * 10 + tens in the low byte
  return (pairs & 0xFF) * 10 + ((v >> 16) & 0xFF);
}

// The text of a field's places before the point, point included: "  0."
// to "999." for plus, " -0." to "-99." for minus (a minus before 100 or
// more does not fit and is not looked up); and "000" to "999".
struct DigitText {
  std::uint32_t plus[1000]{};
  std::uint32_t minus[100]{};
  char three[1000][4]{};
  static constexpr std::uint32_t pack(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
  }
  constexpr DigitText() {
    for (int i = 0; i < 1000; ++i) {
      const auto hundreds = static_cast<char>('0' + i / 100);
      const auto tens = static_cast<char>('0' + i / 10 % 10);
      const auto ones = static_cast<char>('0' + i % 10);
      plus[i] = pack(i >= 100 ? hundreds : ' ', i >= 10 ? tens : ' ', ones, '.');
      three[i][0] = hundreds;
      three[i][1] = tens;
      three[i][2] = ones;
    }
    for (int i = 0; i < 100; ++i) {
      const auto ones = static_cast<char>('0' + i % 10);
      minus[i] = i >= 10 ? pack('-', static_cast<char>('0' + i / 10), ones, '.')
                         : pack(' ', '-', ones, '.');
    }
  }
};
constexpr DigitText kText;

// The text of the places before the point of a field and the point: false
// when they need more than three places (or two with a minus).
inline bool head_text(std::uint32_t whole, bool minus, std::uint32_t& head) {
  if (whole >= (minus ? 100U : 1000U)) return false;
  head = minus ? kText.minus[whole] : kText.plus[whole];
  return true;
}

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
constexpr PowersOfTwoMod kPowersOfTwoMod;

// Whether the double nearest to n / 10^6 (0 < n < 10^9, n not a multiple
// of 15625, so that n / 10^6 is not a binary fraction) lies above it.
//
// n / 10^6 = q / 64 with q = n / 15625, and 2^e <= q < 2^(e+1). The double
// keeps q * 2^(52 - e) rounded to an integer, so it lies above when the
// part of that product after the point is above one half: when
// (n * 2^(52 - e)) mod 15625 is above 15625 / 2 (it is never a half, 15625
// being odd).
inline bool double_above(std::uint32_t n) {
  const int top = 31 - __builtin_clz(n | 1);  // 2^top <= n
  // 2^13 <= 15625 < 2^14: e is top - 13 or one less.
  const int e = top - 13;
  const std::uint64_t scaled_n = std::uint64_t{n} << (e < 0 ? -e : 0);
  const std::uint64_t scaled_q = std::uint64_t{15625} << (e > 0 ? e : 0);
  const int exponent = scaled_n >= scaled_q ? e : e - 1;
  return (n % 15625) * kPowersOfTwoMod.value[52 - exponent] % 15625 > 15625 / 2;
}

// Whether n / 10^6 (n < 10^9), a decimal tie at the fifth decimal (n ends
// in 5), rounds up as the double read from it does: when the double lies
// above the tie, or is the tie itself (n / 10^6 a binary fraction) and the
// fifth decimal is odd.
inline bool tie_rounds_up(std::uint32_t n) {
  return n % 15625 == 0 ? (n / 10 & 1) != 0 : double_above(n);
}

// F9.5 of whole + fraction / 10^6: the last digit dropped and rounded. An
// exact 5 is a decimal tie, where the double read decides: it rounds up
// when it lies above the tie, and to even when it is the tie itself.
inline bool put_five_places(std::uint32_t whole, std::uint32_t fraction, bool minus, char* field) {
  const std::uint32_t kept = fraction / 10;
  const std::uint32_t dropped = fraction - kept * 10;
  std::uint32_t places = kept + static_cast<std::uint32_t>(dropped > 5);
  if (dropped == 5) places += static_cast<std::uint32_t>(tie_rounds_up(whole * 1000000 + fraction));
  const bool carry = places == 100000;  // 0.999996 and the like
  whole += static_cast<std::uint32_t>(carry);
  places = carry ? 0 : places;
  std::uint32_t head = 0;
  if (!head_text(whole, minus && (whole | places) != 0, head)) return false;
  std::memcpy(field, &head, 4);
  const std::uint32_t high = places / 100;
  std::memcpy(field + 4, kText.three[high], 4);  // the fourth byte is overwritten
  std::memcpy(field + 7, fixed_fast::kPairs + std::size_t{2} * (places - high * 100), 2);
  return true;
}

constexpr std::uint64_t columns_between(int first, int end) {
  return (std::uint64_t{1} << end) - (std::uint64_t{1} << first);
}

// Finds the three values of a record and checks its form: "yy mm dd " and
// three values in columns 9 .. 37, blanks after them. False for any other
// layout.
inline bool find_values(const ColumnClasses& c, CommonLayout& layout) {
  // Digits in columns 0, 1, 3, 4, 6, 7, blanks in 2, 5, 8.
  if ((c.digit & 0xDB) != 0xDB || (c.blank & 0x124) != 0x124) return false;
  constexpr std::uint64_t kValueColumns = columns_between(9, kParsedColumns);
  constexpr std::uint64_t kPadColumns = columns_between(kParsedColumns, kCommonColumns);
  if ((c.blank & kPadColumns) != kPadColumns) return false;
  const std::uint64_t filled = ~c.blank & kValueColumns;
  if (filled == 0) return false;
  const int last = highest_bit(filled);
  // Columns 9 .. last: the three values and the two blanks between them.
  const std::uint64_t span = columns_between(9, last + 1);
  if (((c.blank | c.point | c.minus | c.digit) & span) != span) return false;
  std::uint64_t blanks = c.blank & span;
  if (blanks == 0) return false;
  const int first_blank = lowest_bit(blanks);
  blanks &= blanks - 1;
  if (blanks == 0 || (blanks & (blanks - 1)) != 0) return false;
  const int second_blank = lowest_bit(blanks);

  const int start[3] = {9, first_blank + 1, second_blank + 1};
  const int end[3] = {first_blank, second_blank, last + 1};
  std::uint64_t minuses = 0;
  std::uint64_t points = 0;
  for (int k = 0; k < 3; ++k) {
    const bool negative = ((c.minus >> start[k]) & 1) != 0;
    const std::uint64_t point_bits = c.point & columns_between(start[k], end[k]);
    if (point_bits == 0) return false;
    const int point = lowest_bit(point_bits);
    // 1 to 3 digits, the point, 1 to 6 digits.
    const int whole_digits = point - start[k] - static_cast<int>(negative);
    const int decimals = end[k] - point - 1;
    if (whole_digits < 1 || whole_digits > 3 || decimals < 1 || decimals > 6) return false;
    minuses |= static_cast<std::uint64_t>(negative) << start[k];
    points |= std::uint64_t{1} << point;
    // The 8 characters from the digit before the point hold the decimals
    // from their third on; the 3 before the point hold the whole digits at
    // their end.
    CommonLayout::Value& value = layout.value[k];
    value.fraction_at = point - 1;
    value.fraction_keep = ((std::uint64_t{1} << (8 * decimals)) - 1) << 16;
    value.whole_at = point - 3;
    value.whole_keep = (0x00FFFFFFU << (8 * (3 - whole_digits))) & 0x00FFFFFFU;
    value.negative = negative;
    value.decimals_kept = value.fraction_keep;
    const int text_end = point + 6;  // the sixth decimal, dropped by F9.5
    value.by_text = k < 2 && decimals == 6 && text_end - start[k] <= 8;
    if (value.by_text) {
      value.text_at = text_end - 8;
      value.leading_at = whole_digits > 1 ? point - whole_digits : -1;
      value.before = value.places = value.digits = value.to_nines = value.carried = 0;
      for (int j = 0; j < 8; ++j) {  // byte j: the j-th character from the end
        const int column = text_end - 1 - j;
        const std::uint64_t byte = std::uint64_t{0xFF} << (8 * j);
        if (column < start[k]) {
          value.before |= byte;
        } else if (column == point) {
          value.places |= byte;
          value.to_nines |= (0xFFULL - '.') << (8 * j);
          value.carried |= byte;  // 0xFF: the point again
        } else if (column != start[k] || !negative) {
          value.places |= byte;
          value.digits |= byte;
          value.to_nines |= (0xFFULL - '9') << (8 * j);
          value.carried |= (0xFFULL - '9' + '0') << (8 * j);  // '0'
        }
      }
    }
  }
  // Everything else in the span is a digit: one point in each value, a
  // minus only at its start.
  return (c.point & span) == points && (c.minus & span) == minuses;
}

// Digits as text, the last in the lowest byte, plus `one` (0 or 1).
// to_nines takes each digit to 0xF6..0xFF (and a point among them to
// 0xFF), so that a carry runs through nines and the point as through bytes
// of 0xFF; a byte of `places` the carry ran through becomes 0 and is
// refilled from `carried` ('0', or the point, plus to_nines). The carry
// must not run past the last place.
inline std::uint64_t plus_one_through_nines(std::uint64_t text, std::uint64_t to_nines,
                                            std::uint64_t places, std::uint64_t carried,
                                            std::uint64_t one) {
  std::uint64_t raised = text + to_nines + one;
  const std::uint64_t wrapped = ~raised & 0x8080808080808080ULL & places;
  raised |= ((wrapped >> 7) * 0xFF) & carried;
  return raised - to_nines;
}

// F9.5 of a value laid out for editing from its text: its characters up to
// the fifth decimal, right-justified, the last decimal raised by one when
// the dropped sixth decimal rounds up. The carry runs through nines and
// the point as through bytes of 0xFF. False when the text does not give
// the field: a whole part with a leading zero, a minus before zero, a
// carry past the first digit (one more place).
inline bool put_text_places(const char* columns, const CommonLayout::Value& value, char* field) {
  if (value.leading_at >= 0 && columns[value.leading_at] == '0') return false;
  const char dropped = columns[value.text_at + 8];
  bool up = dropped > '5';
  if (dropped == '5') {
    const std::uint32_t whole = three_digits(columns + value.whole_at, value.whole_keep);
    up = tie_rounds_up(whole * 1000000 +
                       eight_digits(columns + value.fraction_at, value.fraction_keep));
  }
  std::uint64_t text = 0;
  std::memcpy(&text, columns + value.text_at, 8);
  text = __builtin_bswap64(text);  // the last character in the lowest byte
  text = (text & ~value.before) | (0x2020202020202020ULL & value.before);
  // Bitwise, not branching on whether the value rounds up, which is not
  // predictable: only a zero is looked at further.
  const bool zero = ((text ^ 0x3030303030303030ULL) & value.digits) == 0;
  const unsigned minus_zero = static_cast<unsigned>(value.negative) & static_cast<unsigned>(!up) &
                              static_cast<unsigned>(zero);
  if (minus_zero != 0) return false;
  // Nothing but nines: a carry would need one more place.
  const bool all_nines = ((text + value.to_nines) & value.places) == value.places;
  if ((static_cast<unsigned>(up) & static_cast<unsigned>(all_nines)) != 0) return false;
  const std::uint64_t raised = __builtin_bswap64(plus_one_through_nines(
      text, value.to_nines, value.places, value.carried, static_cast<std::uint64_t>(up)));
  field[0] = ' ';
  std::memcpy(field + 1, &raised, 8);
  return true;
}

// F10.6 of a value plus a whole number of seconds, from the value's text:
// its decimals stay as written when the sum keeps the value's sign or the
// seconds are the larger; otherwise they become their complement to one
// second (1 - f), written as the nines' complement of each digit plus one.
// False when the sum needs more places before the point than the field has.
inline bool put_sum_places(const char* columns, const CommonLayout::Value& value,
                           std::int32_t seconds, char* field) {
  const std::uint32_t whole = three_digits(columns + value.whole_at, value.whole_keep);
  std::uint64_t text = 0;
  std::memcpy(&text, columns + value.fraction_at, 8);  // a digit, the point, the decimals
  constexpr std::uint64_t kPlaces = 0xFFFFFFFFFFFF0000ULL;
  text = (text & value.decimals_kept) | (0x3030303030303030ULL & kPlaces & ~value.decimals_kept);
  const bool no_decimals = ((text ^ 0x3030303030303030ULL) & kPlaces) == 0;
  const bool seconds_negative = seconds < 0;
  const auto size = static_cast<std::uint32_t>(seconds_negative ? -seconds : seconds);
  std::uint32_t sum_whole = 0;
  bool minus = false;
  if (seconds_negative == value.negative || size <= whole) {
    // |sum| = |value| + size or |value| - size: the decimals as written.
    sum_whole = seconds_negative == value.negative ? whole + size : whole - size;
    minus = value.negative && (sum_whole != 0 || !no_decimals);
  } else if (no_decimals) {
    sum_whole = size - whole;
    minus = seconds_negative;
  } else {
    // |sum| = (size - whole - 1) + (1 - f): nines' complement, plus one
    // carried from the last decimal (never out of them, f being above 0).
    sum_whole = size - whole - 1;
    minus = seconds_negative;
    const std::uint64_t nines =
        __builtin_bswap64((0x6969696969690000ULL & kPlaces) - (text & kPlaces));
    text = __builtin_bswap64(plus_one_through_nines(
        nines, 0x0000C6C6C6C6C6C6ULL, 0x0000FFFFFFFFFFFFULL, 0x0000F6F6F6F6F6F6ULL, 1));
  }
  std::uint32_t head = 0;
  if (!head_text(sum_whole, minus, head)) return false;
  // The decimals are bytes 2..7 of the 8 stored from field + 2; the head,
  // stored after them, covers the two bytes before.
  std::memcpy(field + 2, &text, 8);
  std::memcpy(field, &head, 4);
  return true;
}

}  // namespace

inline bool CommonReader::find_layout(const char* columns) {
  // Digits where the last layout has them and its other characters: the
  // same layout.
  return (has_layout_ && fits_layout(columns, template_)) || learn_layout(columns);
}

bool CommonReader::learn_layout(const char* columns) {
  // Most records of other layouts differ already in the date's blanks.
  if (columns[2] != ' ' || columns[5] != ' ' || columns[8] != ' ') return false;
  const ColumnClasses classes = classify(columns);
  CommonLayout layout;
  if (!find_values(classes, layout)) return false;
  layout_ = layout;
  for (int i = 0; i < kCommonColumns; ++i) {
    const bool digit = ((classes.digit >> i) & 1) != 0;
    template_.expected[i] = digit ? 0xFF : static_cast<unsigned char>(columns[i]);
    template_.digit[i] = digit ? 0xFF : 0;
  }
  has_layout_ = true;
  return true;
}

inline bool CommonReader::read_inline(const char* columns, CommonRecord& record) {
  if (!find_layout(columns)) return false;
  const auto two = [&](int at) {
    return static_cast<std::uint32_t>(columns[at] - '0') * 10 +
           static_cast<std::uint32_t>(columns[at + 1] - '0');
  };
  record.year = two(0);
  record.month = two(3);
  record.day = two(6);
  for (int k = 0; k < 3; ++k) {
    const CommonLayout::Value& value = layout_.value[k];
    record.fraction[k] = eight_digits(columns + value.fraction_at, value.fraction_keep);
    record.whole[k] = three_digits(columns + value.whole_at, value.whole_keep);
    record.negative[k] = value.negative;
  }
  return true;
}

bool CommonReader::read(const char* columns, CommonRecord& record) {
  return read_inline(columns, record);
}

bool CommonReader::convert(const char* columns, const DateOffsets& dates, char* out) {
  if (!find_layout(columns)) return false;
  // "yy mm dd": the digits' low four bits, then each pair as a number in
  // bytes 0, 3 and 6.
  std::uint64_t date = 0;
  std::memcpy(&date, columns, 8);
  const std::uint64_t digits = date & 0x0F0F000F0F000F0FULL;
  const std::uint64_t pairs = digits * 10 + (digits >> 8);
  std::int32_t offset = 0;
  if (!dates.whole_seconds(static_cast<std::uint32_t>(pairs & 0xFF),
                           static_cast<std::uint32_t>((pairs >> 24) & 0xFF),
                           static_cast<std::uint32_t>((pairs >> 48) & 0xFF), offset)) {
    return false;
  }
  std::memcpy(out, &date, 8);  // "yy mm dd" as read
  for (int k = 0; k < 2; ++k) {
    const CommonLayout::Value& value = layout_.value[k];
    char* field = out + 8 + std::ptrdiff_t{9} * k;
    if (value.by_text && put_text_places(columns, value, field)) continue;
    const std::uint32_t fraction = eight_digits(columns + value.fraction_at, value.fraction_keep);
    const std::uint32_t whole = three_digits(columns + value.whole_at, value.whole_keep);
    if (!put_five_places(whole, fraction, value.negative, field)) return false;
  }
  return put_sum_places(columns, layout_.value[2], offset, out + 26);
}

}  // namespace kw

#include "conversion/common_record.h"

#include <cstring>

#include "conversion/fixed_fast.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define KW_COMMON_SSE2 1
#else
#define KW_COMMON_SSE2 0
#endif

namespace kw {
namespace {

// One bit per column of the 48 columns, for each kind of character.
struct ColumnClasses {
  std::uint64_t blank = 0;    // ' '
  std::uint64_t punct = 0;    // '.' or '-'
  std::uint64_t allowed = 0;  // a blank, a digit, '.' or '-'
};

#if KW_COMMON_SSE2
inline std::uint64_t bits_of(__m128i a, __m128i b, __m128i c) {
  return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(a))) |
         static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(b))) << 16 |
         static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(c))) << 32;
}

struct Classes16 {
  __m128i blank;
  __m128i punct;
  __m128i allowed;
};

inline Classes16 classify16(const char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i blank = _mm_cmpeq_epi8(v, _mm_set1_epi8(' '));
  const __m128i punct =
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('.')), _mm_cmpeq_epi8(v, _mm_set1_epi8('-')));
  // A digit is a byte whose distance above '0' is at most 9.
  const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8('0'));
  const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
  return {blank, punct, _mm_or_si128(_mm_or_si128(blank, punct), digit)};
}

inline ColumnClasses classify(const char* columns) {
  const Classes16 a = classify16(columns);
  const Classes16 b = classify16(columns + 16);
  const Classes16 c = classify16(columns + 32);
  return {bits_of(a.blank, b.blank, c.blank), bits_of(a.punct, b.punct, c.punct),
          bits_of(a.allowed, b.allowed, c.allowed)};
}
#else
inline ColumnClasses classify(const char* columns) {
  ColumnClasses classes;
  for (int i = 0; i < kCommonColumns; ++i) {
    const std::uint64_t bit = std::uint64_t{1} << i;
    const char ch = columns[i];
    if (ch == ' ') classes.blank |= bit;
    if (ch == '.' || ch == '-') classes.punct |= bit;
    if (ch == ' ' || ch == '.' || ch == '-' || (ch >= '0' && ch <= '9')) classes.allowed |= bit;
  }
  return classes;
}
#endif

inline int lowest_bit(std::uint64_t bits) {
  return __builtin_ctzll(bits);
}
inline int highest_bit(std::uint64_t bits) {
  return 63 - __builtin_clzll(bits);
}

// The value of the 6 digit characters at p (the 2 before them, at p - 2,
// are read and dropped).
inline std::uint32_t six_digits(const char* p) {
  std::uint64_t v = 0;
  std::memcpy(&v, p - 2, 8);
  // Masked before the subtraction, so that no byte borrows from the next.
  constexpr std::uint64_t keep = 0xFFFFFFFFFFFF0000ULL;
  v = (v & keep) - (0x3030303030303030ULL & keep);
  v = v * 10 + (v >> 8);  // pairs
  v = ((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32)) +
       ((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32))) >>
      32;
  return static_cast<std::uint32_t>(v);
}

// The value of the `count` (1 to 3) digit characters that end at `end`.
inline std::uint32_t whole_digits(const char* end, int count) {
  std::uint32_t v = 0;
  std::memcpy(&v, end - 3, 4);  // three characters and the one after them
  const std::uint32_t keep = (0x00FFFFFFU << (8 * (3 - count))) & 0x00FFFFFFU;
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

// The places before the point of a field and the point: false when they
// need more than three places (or two with a minus).
inline bool put_head(std::uint32_t whole, bool minus, char* field) {
  if (whole >= (minus ? 100U : 1000U)) return false;
  const std::uint32_t head = minus ? kText.minus[whole] : kText.plus[whole];
  std::memcpy(field, &head, 4);
  return true;
}

// F9.5 of whole + fraction / 10^6: the last digit dropped and rounded, an
// exact 5 decided by the double.
inline bool put_five_places(std::uint32_t whole, std::uint32_t fraction, bool minus, char* field) {
  const std::uint32_t kept = fraction / 10;
  const std::uint32_t dropped = fraction - kept * 10;
  std::uint32_t places = kept + static_cast<std::uint32_t>(dropped > 5);
  if (dropped == 5) {
    // whole * 10^6 + fraction < 10^9 and 10^6 are exact doubles: one
    // division gives the double read from the text.
    const double value = static_cast<double>(whole * 1000000 + fraction) / 1e6;
    const std::uint64_t n = fixed_fast::scaled_nearest<5>(value);
    whole = static_cast<std::uint32_t>(n / 100000);
    places = static_cast<std::uint32_t>(n % 100000);
  }
  const bool carry = places == 100000;  // 0.999996 and the like
  whole += static_cast<std::uint32_t>(carry);
  places = carry ? 0 : places;
  if (!put_head(whole, minus && (whole | places) != 0, field)) return false;
  const std::uint32_t high = places / 100;
  std::memcpy(field + 4, kText.three[high], 4);  // the fourth byte is overwritten
  std::memcpy(field + 7, fixed_fast::kPairs + 2 * (places - high * 100), 2);
  return true;
}

// F10.6 of (minus ? -1 : 1) * n / 10^6.
inline bool put_six_places(std::uint64_t n, bool minus, char* field) {
  if (n >= 1000000000) return false;
  const auto whole = static_cast<std::uint32_t>(n / 1000000);
  const auto places = static_cast<std::uint32_t>(n - std::uint64_t{whole} * 1000000);
  if (!put_head(whole, minus, field)) return false;
  const std::uint32_t high = places / 1000;
  std::memcpy(field + 4, kText.three[high], 3);
  std::memcpy(field + 7, kText.three[places - high * 1000], 3);
  return true;
}

// Where the three values of a record are: the column after each one ends,
// its places before the point, and whether it has a minus.
struct Layout {
  int end[3];
  int whole_digits[3];
  bool negative[3];
};

// Finds the three values in columns 9 .. 37 and checks their form: false
// for any other layout.
inline bool find_values(const char* columns, const ColumnClasses& c, Layout& layout) {
  constexpr std::uint64_t kValueColumns = ((std::uint64_t{1} << 38) - 1) & ~std::uint64_t{0x1FF};
  constexpr std::uint64_t kPadColumns =
      ((std::uint64_t{1} << kCommonColumns) - 1) & ~((std::uint64_t{1} << 38) - 1);
  if ((c.blank & kPadColumns) != kPadColumns) return false;
  const std::uint64_t filled = ~c.blank & kValueColumns;
  if (filled == 0) return false;
  const int last = highest_bit(filled);
  // Columns 9 .. last: the three values and the two blanks between them.
  const std::uint64_t span = (std::uint64_t{2} << last) - (std::uint64_t{1} << 9);
  if ((c.allowed & span) != span) return false;
  std::uint64_t blanks = c.blank & span;
  if (blanks == 0) return false;
  const int first_blank = lowest_bit(blanks);
  blanks &= blanks - 1;
  if (blanks == 0 || (blanks & (blanks - 1)) != 0) return false;
  const int second_blank = lowest_bit(blanks);

  const int start[3] = {9, first_blank + 1, second_blank + 1};
  const int end[3] = {first_blank, second_blank, last + 1};
  std::uint64_t punct = 0;
  for (int k = 0; k < 3; ++k) {
    const bool negative = columns[start[k]] == '-';
    // 1 to 3 digits, the point, 6 digits.
    const int whole_digits = end[k] - 7 - (start[k] + static_cast<int>(negative));
    if (whole_digits < 1 || whole_digits > 3 || columns[end[k] - 7] != '.') return false;
    punct |= std::uint64_t{1} << (end[k] - 7) | static_cast<std::uint64_t>(negative) << start[k];
    layout.end[k] = end[k];
    layout.whole_digits[k] = whole_digits;
    layout.negative[k] = negative;
  }
  // Everything else in the span is a digit: the points and minuses are
  // where they belong, and at those places they are what they should be.
  return (c.punct & span) == punct;
}

}  // namespace

bool read_common_record(const char* columns, CommonRecord& record) {
  const ColumnClasses c = classify(columns);
  // "yy mm dd ": digits in columns 0, 1, 3, 4, 6, 7, blanks in 2, 5, 8.
  const std::uint64_t digits = c.allowed & ~c.blank & ~c.punct;
  if ((digits & 0xDB) != 0xDB || (c.blank & 0x124) != 0x124) return false;
  Layout layout{};
  if (!find_values(columns, c, layout)) return false;
  const auto two = [&](int at) {
    return static_cast<std::uint32_t>(columns[at] - '0') * 10 +
           static_cast<std::uint32_t>(columns[at + 1] - '0');
  };
  record.year = two(0);
  record.month = two(3);
  record.day = two(6);
  for (int k = 0; k < 3; ++k) {
    // "W.ffffff" ends at end: 6 decimals after the point, 1 to 3 digits
    // before it.
    const char* point = columns + layout.end[k] - 7;
    record.fraction[k] = six_digits(point + 1);
    record.whole[k] = whole_digits(point, layout.whole_digits[k]);
    record.negative[k] = layout.negative[k];
  }
  return true;
}

bool edit_common_record(const char* columns, const CommonRecord& record, std::int64_t micro_offset,
                        char* out) {
  std::memcpy(out, columns, 8);  // "yy mm dd" as read
  bool fits = put_five_places(record.whole[0], record.fraction[0], record.negative[0], out + 8);
  fits = put_five_places(record.whole[1], record.fraction[1], record.negative[1], out + 17) && fits;
  const auto z = static_cast<std::int64_t>(record.whole[2]) * 1000000 + record.fraction[2];
  const std::int64_t sum = (record.negative[2] ? -z : z) + micro_offset;
  const std::uint64_t magnitude =
      sum < 0 ? 0 - static_cast<std::uint64_t>(sum) : static_cast<std::uint64_t>(sum);
  return put_six_places(magnitude, sum < 0, out + 26) && fits;
}

}  // namespace kw

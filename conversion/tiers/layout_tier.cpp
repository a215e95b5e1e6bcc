#include "conversion/tiers/layout_tier.h"

#include <cstring>

#include "records/digits.h"

namespace kw {
namespace {

// Whether the columns fit the layout: the characters it expects where it
// has no digit, digits where it has them. Eight columns at a time: a byte
// is a digit when its high half is 3 and stays 3 with 6 added (bytes of
// 0x80 and above fail the first test; without their high bit no addition
// carries into the next byte).
inline bool fits_layout(const char* columns, const LayoutTemplate& layout) {
  constexpr std::uint64_t kHighHalves = 0xF0F0F0F0F0F0F0F0ULL;
  constexpr std::uint64_t kThrees = 0x3030303030303030ULL;
  std::uint64_t wrong = 0;
  for (int i = 0; i < kSlotWidth; i += 8) {
    std::uint64_t v = 0;
    std::uint64_t expected = 0;
    std::uint64_t digit = 0;
    std::memcpy(&v, columns + i, 8);
    std::memcpy(&expected, layout.expected + i, 8);
    std::memcpy(&digit, layout.digit + i, 8);
    const std::uint64_t not_digit =
        ((v & kHighHalves) ^ kThrees) |
        ((((v & 0x7F7F7F7F7F7F7F7FULL) + 0x0606060606060606ULL) & kHighHalves) ^ kThrees);
    wrong |= ((v ^ expected) & ~digit) | (not_digit & digit);
  }
  return wrong == 0;
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
  std::memcpy(field + 7, kPairs + std::size_t{2} * (places - high * 100), 2);
  return true;
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
inline bool put_text_places(const char* columns, const LayoutValue& value, char* field) {
  if (value.leading_at >= 0 && columns[value.leading_at] == '0') return false;
  const char dropped = columns[value.text_at + 8];
  bool up = dropped > '5';
  if (dropped == '5') {
    const std::uint32_t whole = masked_three_digits(columns + value.whole_at, value.whole_keep);
    up = tie_rounds_up(whole * 1000000 +
                       masked_eight_digits(columns + value.fraction_at, value.fraction_keep));
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
inline bool put_sum_places(const char* columns, const LayoutValue& value, std::int32_t seconds,
                           char* field) {
  const std::uint32_t whole = masked_three_digits(columns + value.whole_at, value.whole_keep);
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

// Bytes of a value's text: the value's columns from `first` to `end`
// (exclusive) with its point at `point`, the masks that read its digits
// and edit it from its text.
void describe_value(int first, int point, int end, bool negative, bool by_text_allowed,
                    LayoutValue& value) {
  const int whole_digits = point - first - static_cast<int>(negative);
  const int decimals = end - point - 1;
  // The 8 characters from the digit before the point hold the decimals
  // from their third on; the 3 before the point hold the whole digits at
  // their end.
  value.fraction_at = point - 1;
  value.fraction_keep = ((std::uint64_t{1} << (8 * decimals)) - 1) << 16;
  value.whole_at = point - 3;
  value.whole_keep = (0x00FFFFFFU << (8 * (3 - whole_digits))) & 0x00FFFFFFU;
  value.negative = negative;
  value.decimals_kept = value.fraction_keep;
  const int text_end = point + 6;  // the sixth decimal, dropped by F9.5
  value.by_text = by_text_allowed && decimals == 6 && text_end - first <= 8;
  value.before = value.places = value.digits = value.to_nines = value.carried = 0;
  value.leading_at = -1;
  if (!value.by_text) return;
  value.text_at = text_end - 8;
  value.leading_at = whole_digits > 1 ? point - whole_digits : -1;
  for (int j = 0; j < 8; ++j) {  // byte j: the j-th character from the end
    const int column = text_end - 1 - j;
    const std::uint64_t byte = std::uint64_t{0xFF} << (8 * j);
    if (column < first) {
      value.before |= byte;
    } else if (column == point) {
      value.places |= byte;
      value.to_nines |= (0xFFULL - '.') << (8 * j);
      value.carried |= byte;  // 0xFF: the point again
    } else if (column != first || !negative) {
      value.places |= byte;
      value.digits |= byte;
      value.to_nines |= (0xFFULL - '9') << (8 * j);
      value.carried |= (0xFFULL - '9' + '0') << (8 * j);  // '0'
    }
  }
}

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
// What may follow a value: a separator, or the end of the parsed columns
// (the slot holds blanks there).
bool ends_token(char c) {
  return is_blank(c) || c == ',';
}

// Moves `at` over one separator: blanks, or a comma with blanks around it.
// False when there is none.
bool skip_separator(const char* columns, int& at) {
  const int start = at;
  while (at < kParsedColumns && is_blank(columns[at])) ++at;
  if (at < kParsedColumns && columns[at] == ',') {
    ++at;
    while (at < kParsedColumns && is_blank(columns[at])) ++at;
  }
  return at > start;
}

// Reads a date field of 1 or 2 digits at `at`.
bool learn_date(const char* columns, int& at, LayoutDate& date) {
  const int first = at;
  while (at < kParsedColumns && is_digit(columns[at]) && at - first < 3) ++at;
  const int digits = at - first;
  if (digits < 1 || digits > 2 || !ends_token(columns[at])) return false;
  date.last = at - 1;
  date.two_digits = digits == 2;
  return true;
}

// Reads a value at `at`: an optional minus, 1 to 3 digits, the point, 1 to
// 6 digits, ending within the parsed columns.
bool learn_value(const char* columns, int& at, bool by_text_allowed, LayoutValue& value) {
  constexpr int kMostWhole = 3;
  constexpr int kMostDecimals = 6;
  const int first = at;
  const bool negative = columns[at] == '-';
  at += static_cast<int>(negative);
  const int whole_first = at;
  while (is_digit(columns[at]) && at - whole_first <= kMostWhole) ++at;
  const int whole_digits = at - whole_first;
  if (whole_digits < 1 || whole_digits > kMostWhole || columns[at] != '.') return false;
  const int point = at++;
  while (is_digit(columns[at]) && at - point <= kMostDecimals) ++at;
  const int decimals = at - point - 1;
  if (decimals < 1 || decimals > kMostDecimals || at > kParsedColumns || !ends_token(columns[at])) {
    return false;
  }
  describe_value(first, point, at, negative, by_text_allowed, value);
  return true;
}

// The layout of a record: three dates and three values, with separators
// of blanks (spaces, tabs) or one comma between them; blanks before the
// first. False for a record of any other shape.
bool learn_fields(const char* columns, Layout& layout) {
  int at = 0;
  while (at < kParsedColumns && is_blank(columns[at])) ++at;
  for (int k = 0; k < 3; ++k) {
    if (k > 0 && !skip_separator(columns, at)) return false;
    if (!learn_date(columns, at, layout.date[k])) return false;
  }
  for (int k = 0; k < 3; ++k) {
    if (!skip_separator(columns, at)) return false;
    if (!learn_value(columns, at, k < 2, layout.value[k])) return false;
  }
  return true;
}

std::uint32_t date_value(const char* columns, const LayoutDate& date) {
  const auto ones = static_cast<std::uint32_t>(columns[date.last] - '0');
  return date.two_digits ? static_cast<std::uint32_t>(columns[date.last - 1] - '0') * 10 + ones
                         : ones;
}

}  // namespace

bool LayoutTier::learn(const char* columns) {
  // A file whose records fit no layout does not pay for a search on every
  // record: after a failure, the next ones are left to the other tiers,
  // more of them after each failure in a row.
  constexpr std::uint32_t kLongestRest = 256;
  if (resting_ > 0) {
    --resting_;
    return false;
  }
  Layout layout;
  if (!learn_fields(columns, layout)) {
    rest_ = rest_ == 0 ? 1 : (rest_ < kLongestRest ? rest_ * 2 : kLongestRest);
    resting_ = rest_;
    return false;
  }
  rest_ = 0;
  Kept& kept = kept_[next_];
  kept.fields = layout;
  for (int i = 0; i < kSlotWidth; ++i) {
    const bool digit = is_digit(columns[i]);
    kept.columns.expected[i] = digit ? 0xFF : static_cast<unsigned char>(columns[i]);
    kept.columns.digit[i] = digit ? 0xFF : 0;
  }
  current_ = next_;
  next_ = (next_ + 1) % kKept;
  count_ = count_ < kKept ? count_ + 1 : kKept;
  return true;
}

bool LayoutTier::find(const char* columns) {
  for (std::size_t k = 0; k < count_; ++k) {
    if (k != current_ && fits_layout(columns, kept_[k].columns)) {
      current_ = k;
      return true;
    }
  }
  return false;
}

bool LayoutTier::convert(const char* columns, const DateOffsets& dates, char* out) {
  // Digits where the last layout has them and its other characters: the
  // same layout.
  const bool same = count_ > 0 && fits_layout(columns, kept_[current_].columns);
  if (!same && !find(columns) && !learn(columns)) return false;
  const Layout& fields = kept_[current_].fields;
  const std::uint32_t yy = date_value(columns, fields.date[0]);
  const std::uint32_t mm = date_value(columns, fields.date[1]);
  const std::uint32_t dd = date_value(columns, fields.date[2]);
  std::int32_t offset = 0;
  if (!dates.whole_seconds(yy, mm, dd, offset)) return false;
  // (I2.2, 2I3.2) of numbers below 100.
  put_pair(yy, out);
  out[2] = ' ';
  put_pair(mm, out + 3);
  out[5] = ' ';
  put_pair(dd, out + 6);
  for (int k = 0; k < 2; ++k) {
    const LayoutValue& value = fields.value[k];
    char* field = out + 8 + std::ptrdiff_t{9} * k;
    if (value.by_text && put_text_places(columns, value, field)) continue;
    const std::uint32_t fraction =
        masked_eight_digits(columns + value.fraction_at, value.fraction_keep);
    const std::uint32_t whole = masked_three_digits(columns + value.whole_at, value.whole_keep);
    if (!put_five_places(whole, fraction, value.negative, field)) return false;
  }
  return put_sum_places(columns, fields.value[2], offset, out + 26);
}

}  // namespace kw

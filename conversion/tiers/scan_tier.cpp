#include "conversion/tiers/scan_tier.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "conversion/tiers/decimal_ties.h"
#include "conversion/tiers/slot_classes.h"
#include "records/data_record.h"
#include "records/digits.h"
#include "records/field_edit.h"
#include "records/fixed_fast.h"

namespace kw {
namespace {

constexpr std::uint64_t kUnitsPerOne = kPowersOfTen[12];  // a real in units of 10^-12
constexpr std::uint64_t kParsed = (std::uint64_t{1} << kParsedColumns) - 1;

// Bits from `from` up, and below `to`.
constexpr std::uint64_t bits_from(int from) {
  return ~std::uint64_t{0} << from;
}
constexpr std::uint64_t bits_below(int to) {
  return (std::uint64_t{1} << to) - 1;
}

// Where a real's characters are: its first digit and its point (one past
// the end when it has none), its last character, and its sign.
struct RealText {
  int first = 0;
  int point = 0;
  int end = 0;
  bool negative = false;
  int whole_digits() const { return point - first; }
  int decimals() const { return end - point; }  // -1 without a point
};

// The real in columns [start, end], whose signs the caller has checked
// (one at most, at the start): false unless it has at most one point, at
// most 3 digits before it and a digit somewhere.
inline bool find_real(const char* slot, const SlotClasses& c, int start, int end, RealText& t) {
  const std::uint64_t points = c.points >> start & bits_below(end + 1 - start);
  if ((points & (points - 1)) != 0) return false;
  t.first = start + static_cast<int>(c.signs >> start & 1U);
  t.point = points != 0 ? start + std::countr_zero(points) : end + 1;
  t.end = end;
  t.negative = slot[start] == '-';
  return t.whole_digits() <= 3 && (t.whole_digits() > 0 || t.decimals() > 0);
}

// A real's value: (negative ? -1 : 1) * (units + a bit more when beyond)
// * 10^-12, where `beyond` says a decimal after the twelfth is not zero.
struct Real {
  std::uint64_t units = 0;
  bool negative = false;
  bool beyond = false;
};

inline Real read_real(const char* slot, const RealText& t) {
  Real real;
  // The reals stand after three dates and their separators: the three
  // columns before the point lie within the slot.
  const std::uint64_t whole = digits_before(slot + t.point, t.whole_digits());
  const int decimals = t.decimals();
  std::uint64_t fraction = 0;
  if (decimals > 0) {
    const char* digits = slot + t.point + 1;
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
// false within a unit of a tie, where the double must decide.
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
// units and 10^12 are exact doubles, and one division rounds correctly.
inline double to_double(const Real& real) {
  const double magnitude = static_cast<double>(real.units) / static_cast<double>(kUnitsPerOne);
  return real.negative ? -magnitude : magnitude;
}

inline Converted edited(bool fits) {
  return fits ? Converted::fits : Converted::overflow;
}

// F9.5 of a real from its value.
template <const OutputField& Field>
inline Converted edit_value(const Real& real, char* out) {
  constexpr std::uint64_t kMicro = kPowersOfTen[6];
  char* field = out + Field.at;
  std::uint64_t n = 0;
  if (round_units<5>(real.units, real.beyond, n)) {
    return edited(fixed_fast::put_scaled<Field.width, 5>(n, real.negative, field));
  }
  if (real.beyond) return Converted::undecided;
  if (real.units % kMicro == 0) {  // a tie of six decimals, as real data has them
    const auto micro = static_cast<std::uint32_t>(real.units / kMicro);
    n = micro / 10 + static_cast<std::uint32_t>(tie_rounds_up(micro));
    return edited(fixed_fast::put_scaled<Field.width, 5>(n, real.negative, field));
  }
  return edited(edit_field<Field.width, 5>(to_double(real), field));
}

// F9.5 of a real straight from its text, for the usual shapes: 1 to 3
// digits before the point (no leading zero, and a minus only before 1 or
// 2), up to 6 decimals. The nine columns from three before the point are
// the field but for the blanks before the digits, the zeros after fewer
// than five decimals, and the rounding at the sixth, added to the fifth.
// False, the field untouched, where a zero before the point must be
// added or a minus dropped (a value that rounds to zero), or the rounding
// carries.
template <const OutputField& Field>
inline bool edit_text(const char* slot, const RealText& t, char* out) {
  static_assert(Field.width == 9);
  const int whole_digits = t.whole_digits();
  const int decimals = t.decimals();
  if (whole_digits == 0 || decimals < 0 || decimals > 6 || (t.negative && whole_digits == 3) ||
      (whole_digits > 1 && slot[t.first] == '0')) {
    return false;
  }
  const char* p = slot + t.point;
  std::uint64_t text = 0;
  std::memcpy(&text, p - 3, 8);  // three places, the point, four decimals
  char fifth = decimals >= 5 ? p[5] : '0';
  // Zeros after the decimals written (at most five kept: byte 3 + d on).
  constexpr std::uint64_t kZeros = 0x3030303030303030ULL;
  if (decimals < 4) {
    const std::uint64_t after = bits_from(8 * (4 + decimals));
    text = (text & ~after) | (kZeros & after);
  }
  // Blanks before the whole digits, and the minus right before them.
  const std::uint64_t before = bits_below(8 * (3 - whole_digits));
  text = (text & ~before) | (0x2020202020202020ULL & before);
  // The sixth decimal rounds into the fifth (none written: a zero).
  const char sixth = decimals == 6 ? p[6] : '0';
  bool up = sixth > '5';
  if (sixth == '5') {
    const std::uint32_t micro =
        digits_before(p, whole_digits) * 1000000 + leading_digits_value(p + 1, 6);
    up = tie_rounds_up(micro);
  }
  // Bitwise: whether a value rounds up is not predictable, a carry into
  // the places before is rare.
  if ((static_cast<unsigned>(up) & static_cast<unsigned>(fifth == '9')) != 0) return false;
  fifth = static_cast<char>(fifth + static_cast<int>(up));
  if (t.negative) {
    // A value that rounds to zero has no sign.
    if (whole_digits == 1 && slot[t.first] == '0' && (text >> 32) == (kZeros >> 32) &&
        fifth == '0') {
      return false;
    }
    const int at = 8 * (2 - whole_digits);
    text = (text & ~(std::uint64_t{0xFF} << at)) | (std::uint64_t{'-'} << at);
  }
  char* field = out + Field.at;
  std::memcpy(field, &text, 8);
  field[8] = fifth;
  return true;
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
constexpr HeadText kHeads;

// Six decimals as text, the last in the lowest byte, less their value
// from one: the nines' complement of each digit, plus one carried through
// the nines from the last (the decimals are not all zero).
inline std::uint64_t complement_to_one(std::uint64_t decimals) {
  constexpr std::uint64_t kPlaces = 0x0000FFFFFFFFFFFFULL;
  constexpr std::uint64_t kToTop = 0x0000C6C6C6C6C6C6ULL;  // '9' becomes 0xFF
  std::uint64_t raised = (0x0000696969696969ULL - decimals) + kToTop + 1;
  const std::uint64_t wrapped = ~raised & 0x8080808080808080ULL & kPlaces;
  raised |= ((wrapped >> 7) * 0xFF) & 0x0000F6F6F6F6F6F6ULL;  // a byte carried out of: '0'
  return raised - kToTop;
}

// F10.6 of the third value plus a whole offset, from the value's text when
// it has at most six decimals: they stay as written when the sum keeps the
// value's sign or the offset is the smaller, and become their complement
// to one second otherwise. The field is the double sum's, which lies
// within 2e-13 of this exact one. False when the sum needs more places
// before the point than the field has.
inline bool put_sum_text(const char* slot, const RealText& t, std::int32_t offset, char* out) {
  const std::uint32_t whole = digits_before(slot + t.point, t.whole_digits());
  // A column, the point, six decimals: those written kept, zeros after.
  std::uint64_t text = 0;
  std::memcpy(&text, slot + t.point - 1, 8);
  constexpr std::uint64_t kPlaces = 0xFFFFFFFFFFFF0000ULL;
  constexpr std::uint64_t kZeros = 0x3030303030303030ULL;
  const int decimals = t.decimals() > 0 ? t.decimals() : 0;
  const std::uint64_t kept = bits_below(8 * decimals) << 16;
  text = (text & kept) | (kZeros & kPlaces & ~kept);
  const bool no_decimals = ((text ^ kZeros) & kPlaces) == 0;
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
    text = __builtin_bswap64(complement_to_one(__builtin_bswap64(text & kPlaces)));
  }
  if (sum_whole >= (minus ? 100U : 1000U)) return false;
  const std::uint32_t head = minus ? kHeads.minus[sum_whole] : kHeads.plus[sum_whole];
  // The decimals are bytes 2..7 of the 8 stored at the field's third
  // column; the head, stored after them, covers the two bytes before.
  char* field = out + kZField.at;
  std::memcpy(field + 2, &text, 8);
  std::memcpy(field, &head, 4);
  return true;
}

// F10.6 of the third value plus a whole offset.
inline Converted edit_sum(const Real& z, std::int32_t offset, char* out) {
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
    return edited(fixed_fast::put_scaled<kZField.width, 6>(n, sum < 0, field));
  }
  if (z.beyond) return Converted::undecided;
  return edited(edit_field<kZField.width, 6>(to_double(z) + offset, field));
}

// The worse of two answers: undecided, then overflow, then fits.
inline Converted worse(Converted a, Converted b) {
  return a == Converted::undecided || b == Converted::fits ? a : b;
}

template <const OutputField& Field>
inline Converted edit_real(const char* slot, const RealText& t, char* out) {
  return edit_text<Field>(slot, t, out) ? Converted::fits
                                        : edit_value<Field>(read_real(slot, t), out);
}

}  // namespace

Converted scan_record(const char* slot, const DateOffsets& offsets, char* out, DateZone& zone) {
  const SlotClasses c = classify_slot(slot);
  std::uint64_t starts = c.values & ~(c.values << 1) & kParsed;
  std::uint64_t ends = c.values & ~(c.values >> 1);
  const std::uint64_t all_starts = starts;

  // The six values: [start, end] each, the k-th start and the k-th end.
  int start[6];
  int end[6];
  for (int k = 0; k < 6; ++k) {
    if (starts == 0) return Converted::undecided;
    start[k] = std::countr_zero(starts);
    end[k] = std::countr_zero(ends);
    starts &= starts - 1;
    ends &= ends - 1;
  }
  // Up to the character after the sixth value: nothing but values, blanks
  // and commas; signs only where values start; dates of digits only; no
  // comma before the first value, and at most one between two values.
  const std::uint64_t read = bits_below(end[5] + 2);
  if (((c.others | (c.signs & ~all_starts)) & read) != 0 ||
      ((c.points | c.signs) & bits_below(end[2] + 1)) != 0) {
    return Converted::undecided;
  }
  if (const std::uint64_t commas = c.commas & read; commas != 0) {
    if ((commas & bits_below(start[0])) != 0) return Converted::undecided;
    for (int k = 0; k < 5; ++k) {
      const std::uint64_t between = commas & bits_from(end[k]) & bits_below(start[k + 1]);
      if ((between & (between - 1)) != 0) return Converted::undecided;
    }
  }

  // Dates of 1 or 2 digits.
  std::uint32_t date[3];
  for (int k = 0; k < 3; ++k) {
    if (end[k] - start[k] > 1) return Converted::undecided;
    const auto last = static_cast<std::uint32_t>(slot[end[k]] - '0');
    const auto first = static_cast<std::uint32_t>(slot[start[k]] - '0');
    // Dates of one and of two digits alternate in some files: no branch.
    date[k] = last + first * 10 * static_cast<std::uint32_t>(end[k] > start[k]);
  }
  std::int32_t offset = 0;
  RealText x;
  RealText y;
  RealText z;
  if (!offsets.whole_seconds(date[0], date[1], date[2], offset) ||
      !find_real(slot, c, start[3], end[3], x) || !find_real(slot, c, start[4], end[4], y) ||
      !find_real(slot, c, start[5], end[5], z)) {
    return Converted::undecided;
  }
  put_two_digit_dates(date[0], date[1], date[2], out);
  zone = offsets.zone(date[0], date[1], date[2]);
  const Converted sum = z.decimals() <= 6 && put_sum_text(slot, z, offset, out)
                            ? Converted::fits
                            : edit_sum(read_real(slot, z), offset, out);
  return worse(worse(edit_real<kXField>(slot, x, out), edit_real<kYField>(slot, y, out)), sum);
}

}  // namespace kw

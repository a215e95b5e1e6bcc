// Stages 2 to 4 of the scan tier (scan_tier.h), each on the masks of one
// record's window (record_masks.h):
//
//   2. finding the values: the first and last bytes of the first six runs
//      of value bytes in the parsed columns;
//   3. checking the shape: each refusal a mask (or a flag) of its own,
//      named for what it finds;
//   4. reading the dates: their two digits each, the date fields, and the
//      place of the date in the table of offsets.
//
// A byte diagram of a record, bit i of each mask for byte i:
//
//   text    "96 01 05 -0.345679 1.5 12.25\r\n"
//   values   11 11 11 111111111 111 11111
//   starts   1. 1. 1. 1........ 1.. 1....
//   ends     .1 .1 .1 ........1 ..1 ....1
//   points   .. .. .. ...1..... .1. ..1..
//   signs    .. .. .. 1........ ... .....
//   others   .. .. .. ......... ... .....1   (the carriage return: past the columns)
#pragma once

#include <bit>
#include <cstdint>

#include "conversion/tiers/bit_masks.h"
#include "conversion/tiers/real_text.h"
#include "conversion/tiers/record_masks.h"
#include "records/bytes.h"
#include "records/contracts.h"
#include "records/data_record.h"

namespace kw::scan {

// Every mask bit a record's columns and the byte after them can hold lies
// below this; the sentinels above it stand for values a record lacks.
inline constexpr int kSentinels = 48;
static_assert(kParsedColumns + 1 < kSentinels, "the byte after the parsed columns is below them");
static_assert(kSentinels <= kWindowBytes, "the sentinels are bits of a window's masks");

// A value's first and last byte.
struct Span {
  int start = 0;
  int end = 0;
};

// Stage 2: the first bytes of the runs of value bytes, and their last.
inline std::uint64_t first_bytes(std::uint64_t values) {
  return values & ~(values << 1);
}
inline std::uint64_t last_bytes(std::uint64_t values) {
  return values & ~(values >> 1);
}

// Stage 2: the values one after another; past the record's values, spans
// at kSentinels or beyond.
class ValueCursor {
 public:
  explicit ValueCursor(std::uint64_t values)
      : starts_(first_bytes(values) | kNone), ends_(last_bytes(values) | kNone) {}
  Span next() {
    const Span span{lowest_bit(starts_), lowest_bit(ends_)};
    starts_ &= starts_ - 1;
    ends_ &= ends_ - 1;
    return span;
  }

 private:
  static constexpr std::uint64_t kNone = ~std::uint64_t{0} << kSentinels;
  std::uint64_t starts_;
  std::uint64_t ends_;
};

// Stage 3, the dates: three values of one or two digits, without a point
// or a sign. True when the record is refused.
inline bool refuses_dates(const RecordMasks& m, Span yy, Span mm, Span dd) {
  // A point or a sign in a date.
  const std::uint64_t marked_date = (m.points | m.signs) & bits_below(dd.end + 1);
  // A date of more than two digits.
  const int long_date = (yy.end - yy.start) | (mm.end - mm.start) | (dd.end - dd.start);
  return (marked_date | static_cast<std::uint64_t>(long_date >> 1)) != 0;
}

// Stage 3, the separators of a record with bytes neither of a value nor a
// blank (`unusual`, up to the byte after the sixth value): commas only,
// none before the first value (a null value), at most one between two
// values (records/separators.h). True when the record is refused.
inline bool refuses_commas(std::uint64_t commas, std::uint64_t values, std::uint64_t unusual,
                           std::uint64_t read) {
  commas &= unusual;
  // A byte neither of a value, nor a blank, nor a comma.
  const std::uint64_t stray = unusual & ~commas;
  // A comma before the first value.
  const std::uint64_t leading_comma = commas & (first_bytes(values) - 1) & ~first_bytes(values);
  // A comma reached from another through blanks alone: the carry of the
  // bit after each comma runs through the blanks after it.
  const std::uint64_t blanks = ~(values | unusual) & read;
  const std::uint64_t double_comma = (blanks + (commas << 1)) & ~blanks & commas;
  return (stray | (leading_comma & read) | double_comma) != 0;
}

// Stage 3, the reals: a sign only at a value's first byte, one point in
// each real and none elsewhere (the dates have none), in the bytes `read`.
// True when the record is refused.
inline bool refuses_reals(const RecordMasks& m, std::uint64_t values, std::uint64_t read) {
  // A sign after a value's first byte.
  const std::uint64_t inner_sign = m.signs & read & ~first_bytes(values);
  // A point reached from another through digits and signs alone: the
  // carry of the bit after each point runs through them.
  const std::uint64_t digits = values & ~m.points;
  const std::uint64_t double_point = (digits + (m.points << 1)) & ~digits & m.points & read;
  // Three points in all, then: one in each real.
  const bool pointless_real = std::popcount(m.points & read) != 3;
  return (inner_sign | double_point) != 0 || pointless_real;
}

// Stage 4: a date of one or two digits (`date`), as the two digits of its
// output field (a zero before one digit), first digit in the lower byte.
inline std::uint32_t date_digits(const char* text, Span date) {
  const auto pair = load_word<std::uint16_t>(text + date.start);
  const std::uint32_t one_digit = (static_cast<std::uint32_t>(pair) << 8 & 0xFF00U) | '0';
  // Dates of one and of two digits alternate in some files: no branch.
  return date.end > date.start ? pair : one_digit;
}

// The date fields, I2.2 and 2I3.2: "yy mm dd", as the 8 bytes of a word.
inline std::uint64_t date_fields(std::uint32_t yy, std::uint32_t mm, std::uint32_t dd) {
  return yy | std::uint64_t{mm} << 24 | std::uint64_t{dd} << 48 | 0x0000200000200000ULL;
}

// The numbers of the three dates, at once: the day in the lowest byte, the
// month in the third, the year in the fifth. Each is below 100.
inline std::uint64_t date_values(std::uint32_t yy, std::uint32_t mm, std::uint32_t dd) {
  const std::uint64_t digits =
      (dd | std::uint64_t{mm} << 16 | std::uint64_t{yy} << 32) & 0x00000F0F0F0F0F0FULL;
  return (digits * 10 + (digits >> 8)) & 0x000000FF00FF00FFULL;
}

// Whether the month is below 16 and the day below 32: the dates a table
// of offsets has a place for.
inline bool has_table_place(std::uint64_t values) {
  return (values & 0x0000000000F000E0ULL) == 0;
}

// The place of a date in the table of offsets, day + 32 * month + 512 *
// year, from date_values of a date with a place: the plain peer of the
// BMI2 kernel (one bit extraction).
inline std::uint32_t date_place_plainly(std::uint64_t values) {
  KW_EXPECTS(has_table_place(values));
  return static_cast<std::uint32_t>((values & 0x1F) | (values >> 11 & 0x1E0) | (values >> 23 & 0xFE00));
}

#ifdef KW_AVX2
KW_AVX2_TARGET [[gnu::always_inline]] inline std::uint32_t date_place_bmi2(std::uint64_t values) {
  KW_EXPECTS(has_table_place(values));
  return static_cast<std::uint32_t>(_pext_u64(values, 0x0000007F000F001FULL));
}
#endif

// A real's characters, from its span: its sign from the signs (a minus, or
// a plus, dropped), its point, the first after its start.
inline RealText real_at(const char* text, const RecordMasks& m, Span span, int point) {
  KW_EXPECTS(span.start <= point && point <= span.end && span.end < kSentinels);
  RealText t;
  const bool signed_value = (m.signs >> span.start & 1) != 0;
  t.negative = signed_value && text[span.start] == '-';
  t.first = static_cast<std::int8_t>(span.start + static_cast<int>(signed_value));
  t.point = static_cast<std::int8_t>(point);
  t.end = static_cast<std::int8_t>(span.end);
  return t;
}

}  // namespace kw::scan

// The stages of the scan tier (scan_tier.h) after the first, each on the
// masks of one record. They run in the record's order, each value read as
// it is reached, so that few positions are live at once: the checks that
// make a record undecided for what lies after its dates come last, and
// undecided leaves the output record in any state (converted.h).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "conversion/tiers/bit_masks.h"
#include "conversion/tiers/block_masks.h"
#include "conversion/tiers/field_text.h"
#include "records/bytes.h"
#include "records/contracts.h"
#include "records/data_record.h"

namespace kw::scan {

// A record's window is 64 bytes: its parsed columns, the byte after them,
// and 16 bits of sentinels.
inline constexpr int kSentinels = 48;
static_assert(kParsedColumns + 1 < kSentinels,
              "the byte after the parsed columns is in the window");
static_assert(std::endian::native == std::endian::little, "a word's first byte is its lowest");

// A value's first and last byte.
struct Span {
  int start = 0;
  int end = 0;
};

// Stage 2: the values one after another, from the masks of their first
// and last bytes; past the record's values, spans at kSentinels or beyond
// (more sentinel bits than there are values to find).
class ValueCursor {
 public:
  explicit ValueCursor(std::uint64_t values)
      : starts_(first_bytes(values) | kNone), ends_((values & ~(values >> 1)) | kNone) {}
  static std::uint64_t first_bytes(std::uint64_t values) { return values & ~(values << 1); }
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

// Stage 3, the dates: three values of one or two digits in the columns.
inline bool has_plain_dates(const ByteMasks& m, int columns, Span yy, Span mm, Span dd) {
  // A point or a minus in a date.
  const std::uint64_t marked_date = (m.points | m.minuses) & bits_below(dd.end + 1);
  // A date of more than two digits.
  const bool long_date = ((yy.end - yy.start) | (mm.end - mm.start) | (dd.end - dd.start)) > 1;
  return marked_date == 0 && !long_date && dd.end < columns;
}

// The separators of a record with bytes neither of a value nor a blank
// (`unusual`, up to the byte after the sixth value): commas only, none
// before the first value (a null value), at most one between two.
inline bool has_plain_commas(const ByteMasks& m, std::uint64_t values, std::uint64_t unusual) {
  const std::uint64_t commas = m.commas & unusual;
  const std::uint64_t stray = unusual & ~commas;
  ValueCursor cursor(values);
  Span value = cursor.next();
  const std::uint64_t leading_comma = commas & bits_below(value.start);
  if ((stray | leading_comma) != 0) return false;
  for (int k = 0; k < 5; ++k) {
    const Span after = cursor.next();
    const std::uint64_t between = commas & bits_from(value.end) & bits_below(after.start);
    const std::uint64_t double_comma = between & (between - 1);
    if (double_comma != 0) return false;
    value = after;
  }
  return true;
}

// Stage 3, the rest: six values in the columns, nothing but values,
// blanks and plain commas up to the byte after the sixth (what follows is
// never read), a minus only at a value's first byte.
inline bool has_plain_rest(const ByteMasks& m, std::uint64_t values, int columns, Span z) {
  if (z.end >= columns) return false;
  const std::uint64_t read = bits_below(z.end + 2) & bits_below(columns);
  // A minus after a value's first byte.
  const std::uint64_t inner_minus = m.minuses & read & ~ValueCursor::first_bytes(values);
  // Bytes neither of a value nor a blank: commas, or stray bytes.
  const std::uint64_t unusual = m.others & read;
  return inner_minus == 0 && (unusual == 0 || has_plain_commas(m, values, unusual));
}

// Stage 4: a date of one or two digits, as the two digits of its output
// field (a zero before one digit), first digit in the lower byte.
inline std::uint32_t date_digits(const char* text, Span date) {
  const auto pair = load_word<std::uint16_t>(text + date.start);
  const std::uint32_t one_digit = (static_cast<std::uint32_t>(pair) << 8 & 0xFF00U) | '0';
  // Dates of one and of two digits alternate in some files: no branch.
  return date.end > date.start ? pair : one_digit;
}

// The numbers of the three dates, from their digits, at once: the year
// in the lowest byte, the month in the third, the day in the fifth.
inline std::uint64_t date_values(std::uint32_t yy, std::uint32_t mm, std::uint32_t dd) {
  const std::uint64_t digits =
      (yy | std::uint64_t{mm} << 16 | std::uint64_t{dd} << 32) & 0x00000F0F0F0F0F0FULL;
  return (digits * 10 + (digits >> 8)) & 0x000000FF00FF00FFULL;
}

// The date fields, I2.2 and 2I3.2: "yy mm dd", as the 8 bytes of a word.
inline std::uint64_t date_fields(std::uint32_t yy, std::uint32_t mm, std::uint32_t dd) {
  return yy | std::uint64_t{' '} << 16 | std::uint64_t{mm} << 24 | std::uint64_t{' '} << 40 |
         std::uint64_t{dd} << 48;
}

// Stage 5: a real's characters: its sign from the minuses, its point from
// the points.
inline RealText real_at(const ByteMasks& m, Span span) {
  KW_EXPECTS(span.start <= span.end && span.end < 63);
  RealText t;
  const std::uint64_t own = m.points >> span.start & bits_below(span.end - span.start + 1);
  t.negative = (m.minuses >> span.start & 1) != 0;
  t.first = static_cast<std::int8_t>(span.start + static_cast<int>(t.negative));
  t.point = static_cast<std::int8_t>(own != 0 ? span.start + lowest_bit(own) : span.end + 1);
  t.end = static_cast<std::int8_t>(span.end);
  t.one_point = (own & (own - 1)) == 0;
  return t;
}

}  // namespace kw::scan

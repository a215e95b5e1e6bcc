// The scan tier: records of plain decimals in any arrangement, converted
// from their text where it lies, at a cost that does not depend on the
// records before. Its stages, as simdjson names its own:
//
//   1. classifying (block_masks.h): the block's bytes as bit arrays, once;
//      a record's masks are a window of them;
//   2. finding the values: the first six runs of value bytes;
//   3. checking the shape: nothing but values, blanks (spaces, tabs) and
//      commas up to the byte after the sixth value, one comma at most
//      between two values and none before the first (the free-format
//      reader's rules, records/separators.h), dates of one or two digits,
//      a sign only at a value's first byte, one point in each real; each
//      refusal a mask of its own (scan_stages.h);
//   4. reading the dates, and their offset and zone in one look;
//   5. editing the fields (field_text.h): the first two values' F9.5, the
//      sum of the third and a whole offset, F10.6.
//
// The stages run in the record's order and write the output record as
// they go, so that few positions are live at once; a refusal after the
// first field leaves the output record in any state (converted.h).
//
// The tier answers "undecided" for records of another shape, values with
// a decimal tie beyond the twelfth decimal, dates whose offset is not a
// whole number of seconds, and sums that come within 10^-12 of zero.
//
// The kernels of each instruction set (conversion/tiers/simd.h) are one set of
// static functions of the same names; scan_record is compiled once for
// each set, its kernels inline.
#pragma once

#include <algorithm>
#include <cstdint>

#include "conversion/tiers/bit_masks.h"
#include "conversion/tiers/block_masks.h"
#include "conversion/tiers/bytes.h"
#include "conversion/tiers/converted.h"
#include "conversion/tiers/field_text.h"
#include "conversion/tiers/scan_stages.h"
#include "records/contracts.h"
#include "records/data_record.h"
#include "timescale/date_offsets.h"

namespace kw {

// A record where it lies: its first `columns` bytes are those parsed (at
// most kParsedColumns, a carriage return before its line feed left out),
// the byte before `text` and the 16 after its parsed columns may be read,
// and `masks` are its window of its block's masks.
struct RecordText {
  const char* text = nullptr;
  int columns = 0;
  RecordMasks masks{};
};

// The kernels of every processor: plain loops and words.
struct PlainKernels {
  static std::uint32_t date_place(std::uint64_t values) { return scan::date_place_plainly(values); }
  static unsigned two_digit_dates(std::uint64_t pairs, std::uint64_t date_ends) {
    return scan::two_digit_dates_plainly(pairs, date_ends);
  }
  static bool put_pair(const char* text, RealText x, RealText y, char* out) {
    return put_pair_plainly(text, x, y, out);
  }
};

#ifdef KW_SSE2
struct Sse2Kernels {
  static std::uint32_t date_place(std::uint64_t values) { return scan::date_place_plainly(values); }
  static unsigned two_digit_dates(std::uint64_t pairs, std::uint64_t date_ends) {
    return scan::two_digit_dates_plainly(pairs, date_ends);
  }
  [[gnu::always_inline]] static bool put_pair(const char* text, RealText x, RealText y, char* out) {
    return put_pair_sse2(text, x, y, out);
  }
};
#endif

// Converts the record at `text`, whose masks are `m` (RecordMasks, or
// MaskWindows), into out[0..kOutputWidth + z_shift) (writing out[0 ..
// kOutputRoom + z_shift)), its third field `z_shift` (0 or 1)
// columns to the right, its fields edited by `Fields` (from the text
// alone, or from the digits where the text does not decide): fits,
// overflow or undecided; `zone` says where its date lies against the
// table, when it is converted. Reals without a point (integers) are taken
// where `Integers` says so, else left undecided.
template <class Kernels, class Fields = FieldsFromText<Kernels>, class Masks = RecordMasks,
          bool Integers = false>
[[gnu::always_inline]] inline Converted scan_record(const char* text, const Masks& m, int columns,
                                                    DateOffsets::WholeSeconds offsets, char* out,
                                                    int z_shift, DateZone& zone) {
  KW_EXPECTS(columns >= 0 && columns <= kParsedColumns && (z_shift == 0 || z_shift == 1));
  // Stage 2, the dates: their last bytes.
  const std::uint64_t values = m[ByteClass::values] & bits_below(columns);
  const std::uint64_t last_bytes = scan::last_bytes(values);
  scan::Places ends(last_bytes);
  const std::size_t yy = ends.next();
  const std::size_t mm = ends.next();
  const std::size_t dd = ends.next();
  // Stages 3 and 4, the dates.
  if (scan::refuses_dates(m, values, dd)) return Converted::undecided;
  const unsigned twos =
      Kernels::two_digit_dates(values << 1, last_bytes & bits_below(static_cast<int>(dd) + 1));
  const std::uint64_t fields = scan::date_fields(
      scan::date_bytes(text, yy), scan::date_bytes(text, mm), scan::date_bytes(text, dd), twos);
  const std::uint64_t date_values = scan::date_values(fields);
  std::int32_t offset = 0;
  if (!scan::has_table_place(date_values) ||
      !offsets.at(Kernels::date_place(date_values), offset, zone)) {
    return Converted::undecided;
  }
  store_word(out + kYearField.at, fields);
  // Stages 2 and 3, the reals: the bytes read end after the sixth value.
  const std::size_t x_end = ends.next();
  const std::size_t y_end = ends.next();
  const std::size_t z_end = ends.next();
  // Fewer than six values in the columns.
  if (z_end >= static_cast<std::size_t>(columns)) return Converted::undecided;
  const std::uint64_t read = bits_below(std::min(static_cast<int>(z_end) + 2, columns));
  if (const std::uint64_t unusual = m[ByteClass::others] & read;
      unusual != 0 && scan::refuses_commas(m[ByteClass::commas], values, unusual, read, yy)) {
    return Converted::undecided;
  }
  if (scan::refuses_reals<Integers>(m, values, read)) return Converted::undecided;
  // Stage 5: each real's first byte and point are the next of the reals'
  // (three first bytes: the reals end in the columns; a point each, or,
  // where integers are taken, the byte after an integer, its last then its
  // point).
  scan::Places starts(scan::first_bytes(values) & ~bits_below(static_cast<int>(dd) + 1),
                      scan::Places::Known{});
  const std::uint64_t points_read = m[ByteClass::points] & read;
  scan::Places points(
      Integers ? scan::points_with_integers(points_read, dd, {x_end, y_end, z_end}) : points_read,
      scan::Places::Known{});
  const std::uint64_t signs = m[ByteClass::signs];
  const auto real = [&](std::size_t end) {
    const std::size_t start = starts.next();
    const std::size_t point = points.next();
    return RealSpan{start, point, Integers ? std::max(end, point) : end, (signs >> start & 1) != 0};
  };
  const RealSpan x = real(x_end);
  const RealSpan y = real(y_end);
  const Converted xy_fields = Fields::put_reals(text, x, y, out);
  if (xy_fields == Converted::undecided) return Converted::undecided;
  if (z_shift != 0) out[kZField.at] = ' ';  // before a third field moved one column right
  const Converted z_field = Fields::put_sum(text, real(z_end), offset, out + z_shift);
  return combine(xy_fields, z_field);
}

// The kernels of every processor there is built for: SSE2 on x86.
#ifdef KW_SSE2
using BaseKernels = Sse2Kernels;
#else
using BaseKernels = PlainKernels;
#endif

// scan_record on a record where it lies, its third field in place.
template <class Kernels, class Fields, bool Integers = false>
[[gnu::always_inline]] inline Converted scan_record_text(const RecordText& record,
                                                         const DateOffsets& offsets, char* out,
                                                         DateZone& zone) {
  return scan_record<Kernels, Fields, RecordMasks, Integers>(
      record.text, record.masks, record.columns, offsets.whole_seconds(), out, 0, zone);
}

// The scan tier from the digits where the text does not decide, integers
// among the reals too.
inline Converted scan_digits(const RecordText& record, const DateOffsets& offsets, char* out,
                             DateZone& zone) {
  return scan_record_text<BaseKernels, FieldsFromDigits, true>(record, offsets, out, zone);
}

}  // namespace kw

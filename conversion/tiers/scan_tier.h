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
// scan_record runs them in the record's order, each a function of its own
// (find_value_ends, put_dates, find_reals, put_fields), inlined, and they
// write the output record as they go: a refusal after the dates leaves
// the output record in any state (converted.h).
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

// The kernels of every processor: plain words.
struct PlainKernels {
  static bool put_pair(const char* text, RealText x, RealText y, char* out) {
    return put_pair_plainly(text, x, y, out);
  }
};

#ifdef KW_SSE2
struct Sse2Kernels {
  [[gnu::always_inline]] static bool put_pair(const char* text, RealText x, RealText y, char* out) {
    return put_pair_sse2(text, x, y, out);
  }
};
#endif

namespace scan {

// Stage 2: the value bytes in the parsed columns, and the last byte of each
// of the first six values (a sentinel, kSentinels or above, for a value
// the columns lack).
struct ValueEnds {
  std::uint64_t values;
  std::uint64_t last_bytes;
  std::size_t yy, mm, dd;  // the dates'
  std::size_t x, y, z;     // the reals'
};

template <class Masks>
[[gnu::always_inline]] inline ValueEnds find_value_ends(const Masks& m, int columns) {
  const std::uint64_t values = m[ByteClass::values] & bits_below(columns);
  const std::uint64_t ends = last_bytes(values);
  Places next(ends);
  ValueEnds found{values, ends, 0, 0, 0, 0, 0, 0};
  found.yy = next.next();
  found.mm = next.next();
  found.dd = next.next();
  found.x = next.next();
  found.y = next.next();
  found.z = next.next();
  return found;
}

// Stages 3 and 4, the dates: their shape checked, their fields written
// ("yy mm dd") and their whole offset and zone looked up; false where the
// tier does not take them.
template <class Masks>
[[gnu::always_inline]] inline bool put_dates(const char* text, const Masks& m, const ValueEnds& v,
                                             DateOffsets::WholeSeconds offsets, char* out,
                                             std::int32_t& offset, DateZone& zone) {
  if (refuses_dates(m, v.values, v.dd)) return false;
  const unsigned twos =
      two_digit_dates_plainly(v.values << 1, v.last_bytes & bits_below(static_cast<int>(v.dd) + 1));
  const std::uint64_t fields =
      date_fields(date_bytes(text, v.yy), date_bytes(text, v.mm), date_bytes(text, v.dd), twos);
  const std::uint64_t numbers = date_values(fields);
  if (!has_table_place(numbers) || !offsets.at(date_place_plainly(numbers), offset, zone)) {
    return false;
  }
  store_word(out + kYearField.at, fields);
  return true;
}

// The spans of the three reals.
struct RealSpans {
  RealSpan x, y, z;
};

// Stages 2 and 3, the reals: the bytes read (up to the one after the sixth
// value) checked, and each real's span; false where the tier does not take
// them. Reals without a point (integers) are taken where `Integers` says
// so, else refused.
template <bool Integers, class Masks>
[[gnu::always_inline]] inline bool find_reals(const Masks& m, const ValueEnds& v, int columns,
                                              RealSpans& reals) {
  // Fewer than six values in the columns.
  if (v.z >= static_cast<std::size_t>(columns)) return false;
  const std::uint64_t read = bits_below(std::min(static_cast<int>(v.z) + 2, columns));
  if (const std::uint64_t unusual = m[ByteClass::others] & read;
      unusual != 0 && refuses_commas(m[ByteClass::commas], v.values, unusual, read, v.yy)) {
    return false;
  }
  if (refuses_reals<Integers>(m, v.values, read)) return false;
  // Each real's first byte and point are the next of the reals' (three
  // first bytes: the reals end in the columns; a point each, or, where
  // integers are taken, the byte after an integer, its last then its
  // point).
  Places starts(first_bytes(v.values) & ~bits_below(static_cast<int>(v.dd) + 1), Places::Known{});
  const std::uint64_t points_read = m[ByteClass::points] & read;
  Places points(Integers ? points_with_integers(points_read, v.dd, {v.x, v.y, v.z}) : points_read,
                Places::Known{});
  const std::uint64_t signs = m[ByteClass::signs];
  const auto real = [&](std::size_t end) {
    const std::size_t start = starts.next();
    const std::size_t point = points.next();
    return RealSpan{start, point, Integers ? std::max(end, point) : end, (signs >> start & 1) != 0};
  };
  reals.x = real(v.x);
  reals.y = real(v.y);
  reals.z = real(v.z);
  return true;
}

// Stage 5, the fields: the first two values' F9.5, then the sum of the
// third and the whole `offset`, F10.6, `z_shift` columns right of its
// place.
template <class Fields>
[[gnu::always_inline]] inline Converted put_fields(const char* text, const RealSpans& reals,
                                                   std::int32_t offset, char* out, int z_shift) {
  const Converted xy_fields = Fields::put_reals(text, reals.x, reals.y, out);
  if (xy_fields == Converted::undecided) return Converted::undecided;
  return combine(xy_fields, Fields::put_sum(text, reals.z, offset, third_field_out(out, z_shift)));
}

}  // namespace scan

// Converts the record at `text`, whose masks are `m` (RecordMasks, or
// MaskWindows), into out[0..kOutputWidth + z_shift) (writing out[0 ..
// kOutputRoom + z_shift)), its third field `z_shift` (0 or 1)
// columns to the right, its fields edited by `Fields` (from the text
// alone, or from the digits where the text does not decide): fits,
// overflow or undecided; `zone` says where its date lies against the
// table, when it is converted. Reals without a point (integers) are taken
// where `Integers` says so, else left undecided. Each stage is inlined.
template <class Kernels, class Fields = FieldsFromText<Kernels>, class Masks = RecordMasks,
          bool Integers = false>
[[gnu::always_inline]] inline Converted scan_record(const char* text, const Masks& m, int columns,
                                                    DateOffsets::WholeSeconds offsets, char* out,
                                                    int z_shift, DateZone& zone) {
  KW_EXPECTS(columns >= 0 && columns <= kParsedColumns && (z_shift == 0 || z_shift == 1));
  const scan::ValueEnds ends = scan::find_value_ends(m, columns);
  std::int32_t offset = 0;
  if (!scan::put_dates(text, m, ends, offsets, out, offset, zone)) return Converted::undecided;
  scan::RealSpans reals;
  if (!scan::find_reals<Integers>(m, ends, columns, reals)) return Converted::undecided;
  return scan::put_fields<Fields>(text, reals, offset, out, z_shift);
}

// The kernels of every processor there is built for: SSE2 on x86.
#ifdef KW_SSE2
using BaseKernels = Sse2Kernels;
#else
using BaseKernels = PlainKernels;
#endif

// scan_record on a record where it lies, its third field `z_shift` (0 or
// 1) columns right of its place.
template <class Kernels, class Fields, bool Integers = false>
[[gnu::always_inline]] inline Converted scan_record_text(const RecordText& record,
                                                         const DateOffsets& offsets, char* out,
                                                         DateZone& zone, int z_shift = 0) {
  return scan_record<Kernels, Fields, RecordMasks, Integers>(
      record.text, record.masks, record.columns, offsets.whole_seconds(), out, z_shift, zone);
}

// The scan tier from the digits where the text does not decide, integers
// among the reals too, the third field `z_shift` columns right of its
// place.
inline Converted scan_digits(const RecordText& record, const DateOffsets& offsets, char* out,
                             DateZone& zone, int z_shift = 0) {
  return scan_record_text<BaseKernels, FieldsFromDigits, true>(record, offsets, out, zone, z_shift);
}

}  // namespace kw

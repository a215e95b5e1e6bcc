// The scan tier: records of plain decimals in any arrangement, converted
// from their text where it lies, at a cost that does not depend on the
// records before. Its stages, as simdjson names its own:
//
//   1. classifying (block_masks.h): the block's bytes as bit masks, once;
//      a record's masks are a window of them;
//   2. finding the values: the first six runs of value bytes;
//   3. checking the shape: nothing but values, blanks (spaces, tabs) and
//      commas up to the byte after the sixth value, one comma at most
//      between two values and none before the first (the free-format
//      reader's rules, records/separators.h), dates of one or two digits,
//      a minus only at a value's start; each refusal a named mask;
//   4. reading the dates, and their offset and zone in one look;
//   5. editing the fields (field_text.h): the first two values' F9.5, the
//      sum of the third and a whole offset, F10.6.
//
// Stages 2 to 4 make a record's plan (plan_record), stage 5 its output
// (edit_record): a loop over many records plans a run of them, then edits
// them, each loop with few values live.
//
// The tier answers "undecided" for records of another shape, values with
// a decimal tie beyond the twelfth decimal, dates whose offset is not a
// whole number of seconds, and sums that come within 10^-12 of zero.
#pragma once

#include "conversion/tiers/block_masks.h"
#include "conversion/tiers/converted.h"
#include "conversion/tiers/scan_stages.h"
#include "timescale/date_offsets.h"

namespace kw {

// A record where it lies: its first `columns` bytes are those parsed (at
// most kParsedColumns, a carriage return before its line feed left out),
// 64 bytes from `text` may be read, and `masks` are those of its first 64
// bytes.
struct RecordText {
  const char* text = nullptr;
  int columns = 0;
  ByteMasks masks{};
};

// What stages 2 to 4 find of a record, for stage 5: its date fields, its
// three reals, the offset of its date and its zone.
struct ScanPlan {
  std::uint64_t dates = 0;
  RealText x;
  RealText y;
  RealText z;
  DateZone zone = DateZone::known;
  std::int16_t offset = 0;
};

// Stages 2 to 4: fits (the record planned), blank, or undecided.
[[gnu::always_inline]] inline Converted plan_record(const RecordText& record,
                                                    const DateOffsets& offsets, ScanPlan& plan) {
  KW_EXPECTS(record.columns >= 0 && record.columns <= kParsedColumns);
  const ByteMasks& m = record.masks;
  const char* text = record.text;
  const std::uint64_t columns = bits_below(record.columns);
  if (((m.values | m.others) & columns) == 0) return Converted::blank;
  const std::uint64_t values = m.values & columns;
  scan::ValueCursor cursor(values);
  const scan::Span yy = cursor.next();
  const scan::Span mm = cursor.next();
  const scan::Span dd = cursor.next();
  if (!scan::has_plain_dates(m, record.columns, yy, mm, dd)) return Converted::undecided;
  const std::uint32_t yy_digits = scan::date_digits(text, yy);
  const std::uint32_t mm_digits = scan::date_digits(text, mm);
  const std::uint32_t dd_digits = scan::date_digits(text, dd);
  std::int32_t offset = 0;
  const std::uint64_t dates = scan::date_values(yy_digits, mm_digits, dd_digits);
  if (!offsets.whole_seconds(static_cast<std::uint32_t>(dates & 0xFF),
                             static_cast<std::uint32_t>(dates >> 16 & 0xFF),
                             static_cast<std::uint32_t>(dates >> 32), offset, plan.zone)) {
    return Converted::undecided;
  }
  plan.offset = static_cast<std::int16_t>(offset);
  plan.dates = scan::date_fields(yy_digits, mm_digits, dd_digits);
  plan.x = scan::real_at(m, cursor.next());
  plan.y = scan::real_at(m, cursor.next());
  const scan::Span z = cursor.next();
  plan.z = scan::real_at(m, z);
  return scan::has_plain_rest(m, values, record.columns, z) ? Converted::fits
                                                            : Converted::undecided;
}

// Stage 5: the output record of a planned record (`text` its first byte)
// in out[0..kOutputWidth): fits, overflow or undecided. Reading::text
// reads the values from their text only, and calls nothing.
template <Reading R>
[[gnu::always_inline]] inline Converted edit_record(const char* text, const ScanPlan& plan,
                                                    char* out) {
  store_word(out + kYearField.at, plan.dates);
  const Converted x = put_real<kXField, R>(text, plan.x, out);
  const Converted y = put_real<kYField, R>(text, plan.y, out);
  const Converted z = put_sum<R>(text, plan.z, plan.offset, out);
  return combine(combine(x, y), z);
}

// Converts `record` into out[0..kOutputWidth): fits, overflow, blank or
// undecided; `zone` says where its date lies against the table, when it
// is converted.
template <Reading R>
inline Converted scan_record(const RecordText& record, const DateOffsets& offsets, char* out,
                             DateZone& zone) {
  ScanPlan plan;
  const Converted planned = plan_record(record, offsets, plan);
  if (planned != Converted::fits) return planned;
  zone = plan.zone;
  return edit_record<R>(record.text, plan, out);
}

}  // namespace kw

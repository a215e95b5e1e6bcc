// Fuzz target: the data record, from its first 38 columns to the 36
// columns written.
//
// Properties: a record that parses edits to exactly 36 printable
// characters; the date fields show the numbers read; each value field,
// unless it is asterisks, reads back as the value rounded to its decimals
// (checked against std::to_chars of the exact binary value); the scan
// tier, where it decides, gives the general tier's answer and 36
// characters, with the offsets of the real table and of an odd one (whole
// and fractional seconds of either sign).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "conversion/tiers/general_tier.h"
#include "conversion/tiers/scan_alone.h"
#include "fuzz_check.h"
#include "records/data_record.h"
#include "records/separators.h"
#include "support/held_record.h"
#include "support/leap_tables.h"
#include "support/oracles.h"
#include "timescale/date_offsets.h"

namespace {

// The field's text without its leading blanks.
std::string_view trimmed(const char* field, int width) {
  int first = 0;
  while (first < width && field[first] == ' ') ++first;
  return {field + first, static_cast<std::size_t>(width - first)};
}

// A fixed field shows the value rounded to `decimals`, or asterisks.
void check_fixed_field(double value, const char* field, int width, int decimals) {
  FUZZ_CHECK(std::string(field, static_cast<std::size_t>(width)) ==
             kw::test::reference_fixed(value, width, decimals));
}

// Iw.2: at least two digits, so I2.2 holds 0 to 99 and I3.2 -99 to 999.
void check_integer_field(std::int32_t value, const char* field, int width) {
  const std::string_view shown = trimmed(field, width);
  const bool room = width == 2 ? (value >= 0 && value <= 99) : (value >= -99 && value <= 999);
  if (!room) {
    FUZZ_CHECK(shown == std::string(static_cast<std::size_t>(width), '*'));
    return;
  }
  FUZZ_CHECK(shown.size() >= 2);
  FUZZ_CHECK(std::stol(std::string(shown)) == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The input as one record, as a block holds it: its line ends at the
  // first line feed.
  std::string_view line(reinterpret_cast<const char*>(data), size);
  line = line.substr(0, line.find('\n'));
  kw::test::HeldRecord held(line);
  const std::string_view columns(held.slot(), kw::kParsedColumns);

  static const kw::DateOffsets real_offsets(kw::test::shipped_leap_table());
  static const kw::DateOffsets odd_offsets(kw::test::odd_leap_table());
  for (const kw::DateOffsets* offsets : {&real_offsets, &odd_offsets}) {
    char scanned[kw::kOutputRoom];
    kw::DateZone scan_zone{};
    const kw::Converted by_scan = kw::scan_alone(held.text(), *offsets, scanned, scan_zone);
    // A blank record writes nothing: only a converted one has bytes.
    if (by_scan != kw::Converted::fits && by_scan != kw::Converted::overflow) {
      if (by_scan == kw::Converted::blank) FUZZ_CHECK(kw::is_blank_text(columns));
      continue;
    }
    char want[kw::kOutputRoom];
    kw::ReadStatus general_status = kw::ReadStatus::ok;
    kw::DateZone general_zone{};
    FUZZ_CHECK(kw::convert_generally(held.slot(), *offsets, want, general_status, general_zone) ==
               by_scan);
    FUZZ_CHECK(std::memcmp(scanned, want, kw::kOutputWidth) == 0);
    FUZZ_CHECK(scan_zone == general_zone);
  }

  kw::DataRecord record{};
  if (kw::parse_data_record(columns, record) != kw::ReadStatus::ok) return 0;
  // The offset comes from the input too: whole seconds mostly.
  double offset = static_cast<double>(size % 60) - 10.0;
  if (size % 7 == 0) offset += 0.25;
  record.xval[2] = record.xval[2] + offset;
  char out[kw::kOutputWidth + 1];
  out[kw::kOutputWidth] = '\0';
  const bool fits = kw::edit_output_record(record, out);
  FUZZ_CHECK(std::strlen(out) == kw::kOutputWidth);
  bool any_asterisk = false;
  for (const char c : std::string_view(out, kw::kOutputWidth)) {
    FUZZ_CHECK(c >= ' ' && c <= '~');
    any_asterisk = any_asterisk || c == '*';
  }
  FUZZ_CHECK(fits == !any_asterisk);
  check_integer_field(record.idate[0], out + kw::kYearField.at, kw::kYearField.width);
  check_integer_field(record.idate[1], out + kw::kMonthField.at, kw::kMonthField.width);
  check_integer_field(record.idate[2], out + kw::kDayField.at, kw::kDayField.width);
  check_fixed_field(record.xval[0], out + kw::kXField.at, kw::kXField.width, 5);
  check_fixed_field(record.xval[1], out + kw::kYField.at, kw::kYField.width, 5);
  check_fixed_field(record.xval[2], out + kw::kZField.at, kw::kZField.width, 6);
  return 0;
}

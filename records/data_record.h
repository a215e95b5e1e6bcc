// The data record: what is read from the data file and written to the
// converted file.
//
// Input: the first 38 columns of a record, free-format: year (two digits),
// month, day as integers, then three reals.
// Output: 36 columns, (I2.2, 2I3.2, 2F9.5, F10.6).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "records/free_format.h"

namespace kw {

inline constexpr int kParsedColumns = 38;  // columns that take part in the parse
inline constexpr int kOutputWidth = 36;
// The room an output record is made in: its fields, and its CR LF, which
// the editors may write over before it is written.
inline constexpr int kOutputRoom = kOutputWidth + 2;
// A record as the readers are given it: its parsed columns, then blanks, so
// that a reader may load 8 or 16 columns at a time past its last value.
inline constexpr int kSlotWidth = 48;

// The output record's fields: where each begins and how wide it is.
struct OutputField {
  int at;
  int width;
};
inline constexpr OutputField kYearField{0, 2};   // I2.2
inline constexpr OutputField kMonthField{2, 3};  // I3.2
inline constexpr OutputField kDayField{5, 3};    // I3.2
inline constexpr OutputField kXField{8, 9};      // F9.5
inline constexpr OutputField kYField{17, 9};     // F9.5
inline constexpr OutputField kZField{26, 10};    // F10.6

struct DataRecord {
  std::array<std::int32_t, 3> idate{};  // two-digit year, month, day
  std::array<double, 3> xval{};         // the three values
};

// Parses six values from `columns`; `missing` means fewer than six.
ReadStatus parse_data_record(std::string_view columns, DataRecord& record);

// Where the third field of an output record goes when it stands
// `z_shift` (0 or 1) columns right of its place, as the reverse layout
// has it: `out` moved by the shift, with a blank in the column the field
// leaves. Called once the first two fields are written.
inline char* third_field_out(char* out, int z_shift) {
  if (z_shift != 0) out[kZField.at] = ' ';
  return out + z_shift;
}

// Edits `record` into out[0..36 + z_shift), its third field `z_shift` (0
// or 1) columns right of its place. Returns false when any field had to
// be written as asterisks.
bool edit_output_record(const DataRecord& record, char* out, int z_shift = 0);

}  // namespace kw

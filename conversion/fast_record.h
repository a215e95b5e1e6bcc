// Fast path for the common data record: parsed into exact decimals, and
// edited from them with integer arithmetic where that gives the same
// fields as editing the doubles.
#pragma once

#include <array>
#include <cstdint>

#include "conversion/data_record.h"

namespace kw {

// Columns a record slot must hold for the fast parse: the 38 parsed
// columns, then blanks it may read past the end (8 bytes at a time).
inline constexpr int kFastSlotWidth = 48;

// A real as written: (negative ? -1 : 1) * digits / 10^decimals.
struct DecimalValue {
  std::uint64_t digits = 0;
  int decimals = 0;
  bool negative = false;

  // The double nearest to the value: digits <= 2^53 and 10^decimals are
  // exact doubles, and one IEEE division rounds their quotient correctly.
  double to_double() const;
};

struct FastRecord {
  std::array<std::int32_t, 3> idate{};
  std::array<DecimalValue, 3> xval{};
};

// Parses slot[0..kParsedColumns) when the record has the common shape:
// six values separated by spaces (any number of them), three integers of
// at most 9 digits and three reals without exponent, of at most 19 digits
// whose digits make an integer of at most 2^53. slot[kParsedColumns ..
// kFastSlotWidth) must be blanks. Returns false for any record of another
// shape (tabs, commas, exponents, long or odd tokens, fewer values); the
// general reader then decides. When it returns true, the record's values
// are exactly those the general reader gives.
bool parse_fast_record(const char* slot, FastRecord& record);

// Edits the output record of `record`, whose third value gets `offset`
// added, into out[0..kOutputWidth), with the same result as editing the
// doubles (the sum included). Fields are edited straight from the
// decimals, which is exact for at most 9 decimals, values below 10^4 and
// an integer offset below 10^4, except at an exact decimal tie at the
// rounding digit, where the double decides. Returns false, with `out` in
// an unspecified state, for records outside those bounds; sets `fits` as
// edit_output_record would return it.
bool edit_fast_record(const FastRecord& record, double offset, char* out, bool& fits);

}  // namespace kw

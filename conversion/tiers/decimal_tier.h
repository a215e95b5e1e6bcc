// The exact-decimal tier: records of plain decimals in any arrangement,
// read into exact decimals and edited from them with integer arithmetic
// where that gives the same fields as editing the doubles.
#pragma once

#include <array>
#include <cstdint>

#include "records/data_record.h"

namespace kw {

// A real as written: (negative ? -1 : 1) * digits / 10^decimals.
struct DecimalValue {
  std::uint64_t digits = 0;
  int decimals = 0;
  bool negative = false;

  // The double nearest to the value: digits <= 2^53 and 10^decimals are
  // exact doubles, and one IEEE division rounds their quotient correctly.
  double to_double() const;
};

struct DecimalRecord {
  std::array<std::int32_t, 3> idate{};
  std::array<DecimalValue, 3> xval{};
};

// Reads slot[0..kParsedColumns) (slot[kParsedColumns..kSlotWidth) blanks)
// when the record is of plain decimals: six values separated by blanks
// (spaces, tabs) or one comma with blanks around it, three integers of at
// most 7 digits and three reals without exponent, of at most 7 digits on
// either side of the point. False ("undecided") for any record of another
// shape; when it returns true, the values are exactly those the general
// reader gives.
bool read_decimal_record(const char* slot, DecimalRecord& record);

// Edits the output record of `record`, whose third value gets `offset`
// added, into out[0..kOutputWidth), with the same result as editing the
// doubles (the sum included). Fields are edited straight from the
// decimals, exact for values below 10^4 and a whole offset below 10^4,
// except at an exact decimal tie at the rounding digit, where the double
// decides. False ("undecided", out in an unspecified state) for records
// outside those bounds; sets `fits` as edit_output_record would return it.
bool edit_decimal_record(const DecimalRecord& record, double offset, char* out, bool& fits);

}  // namespace kw

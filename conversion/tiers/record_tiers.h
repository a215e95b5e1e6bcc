// The conversion of one data record: the one entry, and the tiers behind
// it. Each tier either converts the record or answers "undecided", and the
// next one tries:
//
//   1. the layout tier: records of a known layout, from their characters;
//   2. the exact-decimal tier: records of plain decimals in any
//      arrangement, from their exact decimals;
//   3. the general tier: the correctly rounded free-format reader and
//      field editor, which decide every record and define the bytes.
//
// Whichever tier converts a record, the bytes are those of the general
// tier.
#pragma once

#include "conversion/tiers/layout_tier.h"
#include "records/free_format.h"
#include "timescale/date_offsets.h"
#include "timescale/leap_table.h"

namespace kw {

// What became of a record.
enum class Converted {
  fits,      // written
  overflow,  // written, with a field of asterisks (error 63)
  blank,     // a record blank in its parsed columns: nothing written
  failed,    // not written: the read status says why
};

class RecordConverter {
 public:
  // `dates` must hold the offsets of `table`.
  RecordConverter(const LeapTable& table, const DateOffsets& dates)
      : table_(table), dates_(dates) {}

  // Converts the record in slot[0..kSlotWidth) (its parsed columns, then
  // blanks) into out[0..kOutputWidth). On `failed`, `status` tells which
  // read error the record raises.
  Converted convert(const char* slot, char* out, ReadStatus& status);

 private:
  const LeapTable& table_;
  const DateOffsets& dates_;
  LayoutTier layout_;  // keeps the layout of the records before
};

}  // namespace kw

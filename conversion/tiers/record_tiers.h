// The conversion of one data record: the one entry, and the tiers behind
// it. Each tier either converts the record or answers "undecided", and the
// next one tries:
//
//   1. the scan tier (scan_tier.h): records of plain decimals in any
//      arrangement, from their digits;
//   2. the general tier (general_tier.h): the correctly rounded free-format
//      reader and field editor, which decide every record.
//
// Whichever tier converts a record, the bytes are those of the general
// tier.
#pragma once

#include "conversion/tiers/converted.h"
#include "conversion/tiers/general_tier.h"
#include "conversion/tiers/scan_tier.h"
#include "records/free_format.h"
#include "timescale/date_offsets.h"

namespace kw {

// Converts the record in slot[0..kSlotWidth) (its parsed columns, then
// blanks) into out[0..kOutputWidth), the offset of its date added to the
// third value. On `failed`, `status` tells which read error the record
// raises; on fits or overflow, `zone` where its date lies against the
// table. Never undecided.
inline Converted convert_record(const char* slot, const DateOffsets& offsets, char* out,
                                ReadStatus& status, DateZone& zone) {
  status = ReadStatus::ok;
  const Converted scanned = scan_record(slot, offsets, out, zone);
  if (scanned != Converted::undecided) return scanned;
  return convert_generally(slot, offsets, out, status, zone);
}

}  // namespace kw

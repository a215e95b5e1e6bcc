// The conversion of one data record: the one entry, and the tiers behind
// it. Each tier either converts the record or answers "undecided", and the
// next one tries:
//
//   1. the scan tier (scan_tier.h) from the values' text: records of plain
//      decimals in any arrangement, from their text where it lies;
//   2. the same from the values' digits, where their text does not decide;
//   3. the general tier (general_tier.h): the correctly rounded free-format
//      reader and field editor, which decide every record.
//
// Whichever tier converts a record, the bytes are those of the general
// tier.
#pragma once

#include "conversion/tiers/converted.h"
#include "conversion/tiers/general_tier.h"
#include "conversion/tiers/scan_tier.h"
#include "records/data_record.h"
#include "records/free_format.h"
#include "timescale/date_offsets.h"

namespace kw {

// Converts `record` into out[0..kOutputWidth), the offset of its date
// added to the third value. On `failed`, `status` tells which read error
// the record raises; on fits or overflow, `zone` where its date lies
// against the table. Never undecided.
Converted convert_record(const RecordText& record, const DateOffsets& offsets, char* out,
                         ReadStatus& status, DateZone& zone);

// The first tier alone, for a loop over many records: undecided for the
// records the others convert. It calls nothing, so that the loop around it
// keeps its state in registers.
[[gnu::always_inline]] inline Converted convert_from_text(const RecordText& record,
                                                          const DateOffsets& offsets, char* out,
                                                          DateZone& zone) {
  return scan_record<Reading::text>(record, offsets, out, zone);
}

}  // namespace kw

// The conversion of one data record: the one entry, and the tiers behind
// it. Each tier either converts the record or answers "undecided", and the
// next one tries:
//
//   1. the scan tier (scan_tier.h) from the values' text: records of plain
//      decimals in any arrangement, where they lie; its fields from their
//      text alone, by the kernels of the processor (the loops of the
//      batches run this tier alone, and hand on what it leaves);
//   2. the scan tier from the digits, where the text does not decide;
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
#include "records/simd.h"
#include "timescale/date_offsets.h"

namespace kw {

// Converts `record` into out[0..kOutputWidth) (writing out[0..kOutputRoom)),
// the offset of its date
// added to the third value. On `failed`, `status` tells which read error
// the record raises; on fits or overflow, `zone` where its date lies
// against the table. Never undecided.
Converted convert_record(const RecordText& record, const DateOffsets& offsets, char* out,
                         ReadStatus& status, DateZone& zone);

// The scan tier alone on `record` (out as for convert_record), from the
// text with the kernels of `set`
// (every set gives the same answer and bytes), then from the digits:
// fits, overflow or undecided.
Converted scan_record(const RecordText& record, const DateOffsets& offsets, char* out,
                      DateZone& zone, InstructionSet set = instruction_set());

// The tiers after the first, for a record where it lies that the first
// leaves: the loops' hand-on. Never undecided.
Converted convert_left(const RecordText& record, const DateOffsets& offsets, char* out,
                       ReadStatus& status, DateZone& zone);

}  // namespace kw

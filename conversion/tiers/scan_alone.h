// The scan tier alone on one record, with the kernels of a given set: for
// the tests that compare it with the general tier, the fuzz target and the
// micro-benchmark. The program converts blocks (record_tiers.h).
#pragma once

#include "conversion/tiers/converted.h"
#include "conversion/tiers/scan_tier.h"
#include "conversion/tiers/simd.h"
#include "timescale/date_offsets.h"

namespace kw {

// The scan tier alone on `record` into out[0..kOutputWidth) (writing
// out[0..kOutputRoom)), the offset of its date added to the third value:
// from the text with the kernels of `set` (every set gives the same answer
// and bytes), then from the digits: fits, overflow or undecided; on fits
// or overflow, `zone` says where its date lies against the table.
Converted scan_alone(const RecordText& record, const DateOffsets& offsets, char* out,
                     DateZone& zone, InstructionSet set = instruction_set());

}  // namespace kw

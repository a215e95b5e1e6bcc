// The general tier: the correctly rounded free-format reader and field
// editor, which decide every record and define the bytes of every tier.
#pragma once

#include "conversion/tiers/converted.h"
#include "records/free_format.h"
#include "timescale/date_offsets.h"

namespace kw {

// Converts the record in slot[0..kParsedColumns) into out[0..kOutputWidth
// + z_shift), its third field `z_shift` (0 or 1) columns right of its
// place: fits, overflow, blank, or failed with `status` telling which read
// error the record raises. Never undecided. `zone` says where the date of
// a record converted lies against the table.
Converted convert_generally(const char* slot, const DateOffsets& offsets, char* out,
                            ReadStatus& status, DateZone& zone, int z_shift = 0);

}  // namespace kw

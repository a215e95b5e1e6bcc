// The scan tier: records of plain decimals in any arrangement, found in
// one pass over the slot and converted from their digits, at a cost that
// does not depend on the records before.
//
// The slot's columns are classified into bit masks (digits, signs, points,
// blanks, commas); the values are the runs of digits, signs and points,
// and the separators between them follow from the masks with a few bit
// operations. A record is taken when its first six values are three dates
// of 1 or 2 digits and three reals of an optional sign, at most 3 digits
// before the point and any number after it, separated by blanks or one
// comma with or without blanks around it, with nothing but blanks before
// the first.
//
// Each real is held as its digits to the twelfth decimal, W * 10^12 + F,
// and whether a later decimal is not zero. A field rounded at decimal d
// from that is the field of the double read from the text, the general
// reader's value: the double lies within half a unit in its last place of
// the value (below 6e-14 for values below 1024), and the sum of the third
// value and a whole offset of at most 1000 s within 2e-13 of the exact sum,
// while a value not at a tie of decimal d is at least 10^-12 from it. At a
// tie, the double decides: it is computed from the digits and edited.
//
// The tier answers "undecided" for records of another shape, values with a
// decimal tie beyond the twelfth decimal, dates whose offset is not a whole
// number of seconds, and sums that come within 10^-12 of zero.
#pragma once

#include "conversion/tiers/converted.h"
#include "timescale/date_offsets.h"

namespace kw {

// Converts the record in slot[0..kSlotWidth) (its parsed columns, then
// blanks) into out[0..kOutputWidth): fits, overflow or undecided; `zone`
// says where its date lies against the table, when it is converted.
Converted scan_record(const char* slot, const DateOffsets& offsets, char* out, DateZone& zone);

}  // namespace kw

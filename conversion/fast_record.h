// Fast path for reading the common data record.
#pragma once

#include "conversion/data_record.h"

namespace kw {

// Parses columns[0..kParsedColumns) when the record has the common shape:
// six values separated by spaces (any number of them), three integers of
// at most 9 digits and three reals without exponent of at most 19 digits,
// whose digits make an integer of at most 2^53. Such a real is the
// quotient of two exact doubles (its digits and a power of ten up to
// 10^19), which one IEEE division rounds correctly.
//
// Returns false, leaving `record` in an unspecified state, for any record
// of another shape (tabs, commas, exponents, long or odd tokens, fewer
// values); parse_data_record then decides. When it returns true, `record`
// holds exactly what parse_data_record gives.
bool parse_data_record_fast(const char* columns, DataRecord& record);

}  // namespace kw

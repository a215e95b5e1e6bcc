#include "conversion/tiers/record_tiers.h"

#include <string_view>

#include "conversion/tiers/decimal_tier.h"
#include "records/data_record.h"

namespace kw {
namespace {

// The offset on a record's date: from the table of dates where it holds
// the date, from the leap table itself otherwise.
double offset_of(const LeapTable& table, const DateOffsets& dates,
                 const std::array<std::int32_t, 3>& idate) {
  double offset = 0.0;
  return dates.offset(idate[0], idate[1], idate[2], offset) ? offset : offset_on(table, idate);
}

Converted edited(bool fits) {
  return fits ? Converted::fits : Converted::overflow;
}

}  // namespace

Converted RecordConverter::convert(const char* slot, char* out, ReadStatus& status) {
  status = ReadStatus::ok;
  if (layout_.convert(slot, dates_, out)) return Converted::fits;

  DataRecord record;
  if (DecimalRecord decimals; read_decimal_record(slot, decimals)) {
    const double offset = offset_of(table_, dates_, decimals.idate);
    if (bool fits = false; edit_decimal_record(decimals, offset, out, fits)) return edited(fits);
    // Read already: only the editing is left to the general tier.
    record.idate = decimals.idate;
    for (std::size_t k = 0; k < 3; ++k) record.xval[k] = decimals.xval[k].to_double();
    record.xval[2] = record.xval[2] + offset;
    return edited(edit_output_record(record, out));
  }

  const std::string_view columns(slot, kParsedColumns);
  if (is_blank_record(columns)) return Converted::blank;
  status = parse_data_record(columns, record);
  if (status != ReadStatus::ok) return Converted::failed;
  record.xval[2] = record.xval[2] + offset_of(table_, dates_, record.idate);
  return edited(edit_output_record(record, out));
}

}  // namespace kw

#include "conversion/tiers/general_tier.h"

#include <string_view>

#include "records/data_record.h"
#include "records/separators.h"

namespace kw {

Converted convert_generally(const char* slot, const DateOffsets& offsets, char* out,
                            ReadStatus& status, DateZone& zone, int z_shift) {
  const std::string_view columns(slot, kParsedColumns);
  status = ReadStatus::ok;
  if (is_blank_text(columns)) return Converted::blank;
  DataRecord record;
  status = parse_data_record(columns, record);
  if (status != ReadStatus::ok) return Converted::failed;
  record.xval[2] = record.xval[2] + offsets.offset(record.idate);
  zone = offsets.zone(record.idate);
  return edit_output_record(record, out, z_shift) ? Converted::fits : Converted::overflow;
}

}  // namespace kw

#include "conversion/tiers/record_tiers.h"

#include <cstring>

namespace kw {

Converted convert_record(const RecordText& record, const DateOffsets& offsets, char* out,
                         ReadStatus& status, DateZone& zone) {
  Converted converted = scan_record<Reading::text>(record, offsets, out, zone);
  if (converted != Converted::undecided) return converted;
  converted = scan_record<Reading::digits>(record, offsets, out, zone);
  if (converted != Converted::undecided) return converted;
  // The general tier's slot: the parsed columns, then blanks.
  char slot[kSlotWidth];
  std::memcpy(slot, record.text, static_cast<std::size_t>(record.columns));
  std::memset(slot + record.columns, ' ', static_cast<std::size_t>(kSlotWidth - record.columns));
  return convert_generally(slot, offsets, out, status, zone);
}

}  // namespace kw

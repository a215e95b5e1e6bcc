#include "conversion/tiers/record_tiers.h"

#include "conversion/tiers/general_tier.h"
#include "conversion/tiers/scan_tier.h"

namespace kw {

Converted convert_record(const char* slot, const DateOffsets& offsets, char* out,
                         ReadStatus& status) {
  status = ReadStatus::ok;
  const Converted scanned = scan_record(slot, offsets, out);
  if (scanned != Converted::undecided) return scanned;
  return convert_generally(slot, offsets, out, status);
}

}  // namespace kw

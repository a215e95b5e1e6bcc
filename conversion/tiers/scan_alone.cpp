#include "conversion/tiers/scan_alone.h"

namespace kw {

Converted scan_alone(const RecordText& record, const DateOffsets& offsets, char* out,
                     DateZone& zone, [[maybe_unused]] InstructionSet set) {
  using Plain = FieldsFromText<PlainKernels>;
#ifdef KW_SSE2
  const Converted converted =
      set == InstructionSet::sse2
          ? scan_record_text<Sse2Kernels, FieldsFromText<Sse2Kernels>>(record, offsets, out, zone)
          : scan_record_text<PlainKernels, Plain>(record, offsets, out, zone);
#else
  const Converted converted = scan_record_text<PlainKernels, Plain>(record, offsets, out, zone);
#endif
  if (converted != Converted::undecided) return converted;
  return scan_digits(record, offsets, out, zone);
}

}  // namespace kw

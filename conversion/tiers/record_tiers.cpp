#include "conversion/tiers/record_tiers.h"

#include <cstring>

namespace kw {
namespace {

template <class Kernels>
[[gnu::always_inline]] inline Converted scan_with(const RecordText& record,
                                                  const DateOffsets& offsets, char* out,
                                                  DateZone& zone) {
  return scan_record<Kernels>(record.text, Kernels::classify(record.text), record.columns,
                              offsets, out, 0, zone);
}

Converted scan_plainly(const RecordText& record, const DateOffsets& offsets, char* out,
                       DateZone& zone) {
  return scan_with<PlainKernels>(record, offsets, out, zone);
}

#ifdef KW_AVX2
KW_AVX2_FLATTEN Converted scan_avx2(const RecordText& record, const DateOffsets& offsets,
                                   char* out, DateZone& zone) {
  return scan_with<Avx2Kernels>(record, offsets, out, zone);
}
#endif

}  // namespace

Converted scan_record(const RecordText& record, const DateOffsets& offsets, char* out,
                      DateZone& zone, InstructionSet set) {
  switch (set) {
    case InstructionSet::avx2:
#ifdef KW_AVX2
      return scan_avx2(record, offsets, out, zone);
#endif
    case InstructionSet::sse2:
#ifdef KW_SSE2
      return scan_with<Sse2Kernels>(record, offsets, out, zone);
#endif
    case InstructionSet::plain:
      break;
  }
  return scan_plainly(record, offsets, out, zone);
}

Converted convert_record(const RecordText& record, const DateOffsets& offsets, char* out,
                         ReadStatus& status, DateZone& zone) {
  const Converted converted = scan_record(record, offsets, out, zone);
  if (converted != Converted::undecided) return converted;
  return convert_left(record, offsets, out, status, zone);
}

Converted convert_left(const RecordText& record, const DateOffsets& offsets, char* out,
                       ReadStatus& status, DateZone& zone) {
  // The general tier's slot: the parsed columns, then blanks.
  char slot[kSlotWidth];
  std::memcpy(slot, record.text, static_cast<std::size_t>(record.columns));
  std::memset(slot + record.columns, ' ', static_cast<std::size_t>(kSlotWidth - record.columns));
  return convert_generally(slot, offsets, out, status, zone);
}

}  // namespace kw

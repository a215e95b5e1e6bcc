#include "conversion/tiers/record_tiers.h"

#include <cstring>

namespace kw {
namespace {

template <class Kernels, class Fields, bool Integers = false>
[[gnu::always_inline]] inline Converted scan_with(const RecordText& record,
                                                  const DateOffsets& offsets, char* out,
                                                  DateZone& zone) {
  return scan_record<Kernels, Fields, RecordMasks, Integers>(
      record.text, record.masks, record.columns, offsets.whole_seconds(), out, 0, zone);
}

// The kernels of every processor there is built for: SSE2 on x86.
#ifdef KW_SSE2
using BaseKernels = Sse2Kernels;
#else
using BaseKernels = PlainKernels;
#endif

Converted scan_text_plainly(const RecordText& record, const DateOffsets& offsets, char* out,
                            DateZone& zone) {
  return scan_with<PlainKernels, FieldsFromText<PlainKernels>>(record, offsets, out, zone);
}

// The scan tier from the values' text alone, with the kernels of `set`.
Converted scan_text(const RecordText& record, const DateOffsets& offsets, char* out, DateZone& zone,
                    InstructionSet set) {
#ifdef KW_SSE2
  if (set == InstructionSet::sse2) {
    return scan_with<Sse2Kernels, FieldsFromText<Sse2Kernels>>(record, offsets, out, zone);
  }
#endif
  return scan_text_plainly(record, offsets, out, zone);
}

// The scan tier from the digits where the text does not decide, integers
// among the reals too.
Converted scan_digits(const RecordText& record, const DateOffsets& offsets, char* out,
                      DateZone& zone) {
  return scan_with<BaseKernels, FieldsFromDigits, true>(record, offsets, out, zone);
}

}  // namespace

Converted scan_record(const RecordText& record, const DateOffsets& offsets, char* out,
                      DateZone& zone, InstructionSet set) {
  const Converted converted = scan_text(record, offsets, out, zone, set);
  if (converted != Converted::undecided) return converted;
  return scan_digits(record, offsets, out, zone);
}

Converted convert_record(const RecordText& record, const DateOffsets& offsets, char* out,
                         ReadStatus& status, DateZone& zone) {
  const Converted converted = scan_text(record, offsets, out, zone, instruction_set());
  if (converted != Converted::undecided) return converted;
  return convert_left(record, offsets, out, status, zone);
}

Converted convert_left(const RecordText& record, const DateOffsets& offsets, char* out,
                       ReadStatus& status, DateZone& zone) {
  const Converted converted = scan_digits(record, offsets, out, zone);
  if (converted != Converted::undecided) return converted;
  // The general tier's slot: the parsed columns, then blanks.
  char slot[kSlotWidth];
  std::memcpy(slot, record.text, static_cast<std::size_t>(record.columns));
  std::memset(slot + record.columns, ' ', static_cast<std::size_t>(kSlotWidth - record.columns));
  return convert_generally(slot, offsets, out, status, zone);
}

}  // namespace kw

// The fields of the output record made by the scan tier: the first two
// values' F9.5 and the third value's sum with a whole offset, F10.6, each
// from the value's text where its form allows (field_from_text.h,
// sum_from_text.h), otherwise from its digits (field_from_units.h). Every
// editor is put_<what it is made from>, and answers a Converted: fits,
// overflow, or undecided (the value is for the general tier).
//
// Why they give the general tier's bytes: the general reader reads the
// text into the double nearest its value, which lies within half a unit in
// its last place of it (below 6e-14 for values below 1024), and the sum
// with a whole offset of at most kMostWholeSeconds within 2e-13 of the
// exact sum; a value that is not at a tie of the decimal rounded to is at
// least 10^-12 from it, so its text rounds as the double does. At a tie,
// the double decides (decimal_ties.h, or the double itself).
#pragma once

#include <cstdint>

#include "conversion/tiers/converted.h"
#include "conversion/tiers/field_from_text.h"
#include "conversion/tiers/field_from_units.h"
#include "conversion/tiers/real_text.h"
#include "conversion/tiers/sum_from_text.h"
#include "records/data_record.h"

namespace kw {

// What the kernel leaves of a first or second value's field (a tie at the
// sixth decimal, a carry, another form): the plain editor, then the
// digits. Out of the loops' way, since few values need it.
template <const OutputField& Field>
[[gnu::noinline]] Converted put_real_slowly(const char* text, RealText t, char* out) {
  const Converted from_text = put_text_plainly<Field>(text, t, out);
  if (from_text != Converted::undecided) return from_text;
  return t.plain() ? put_units<Field>(read_digits(text, t), out) : Converted::undecided;
}

// F9.5 of a real: from its text by the kernel of `Kernels`, else as
// put_real_slowly does.
template <class Kernels, const OutputField& Field>
[[gnu::always_inline]] inline Converted put_real(const char* text, RealText t, char* out) {
  const Converted from_text = Kernels::template put_text<Field>(text, t, out);
  if (from_text == Converted::fits) [[likely]] return from_text;
  return put_real_slowly<Field>(text, t, out);
}

// The sum from the digits, for a third value of more decimals, or one
// whose sum does not fit its field.
[[gnu::noinline]] inline Converted put_sum_slowly(const char* text, RealText t,
                                                  std::int32_t offset, char* out) {
  return t.plain() ? put_sum_units(read_digits(text, t), offset, out) : Converted::undecided;
}

// F10.6 of the third value plus a whole offset: from its text, else from
// its digits.
[[gnu::always_inline]] inline Converted put_sum(const char* text, RealText t,
                                                std::int32_t offset, char* out) {
  if (t.plain() && t.decimals() <= 6) [[likely]] {
    const Converted from_text = put_sum_text(text, t, offset, out);
    if (from_text != Converted::undecided) return from_text;
  }
  return put_sum_slowly(text, t, offset, out);
}

}  // namespace kw

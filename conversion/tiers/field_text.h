// The fields of the output record made by the scan tier: the first two
// values' F9.5 and the third value's sum with a whole offset, F10.6, each
// from the value's text where its form allows (field_from_text.h,
// sum_from_text.h), otherwise from its digits (field_from_digits.h). The
// editors are put_<what they are made from>; those from the text answer
// whether they wrote the field, those from the digits a Converted.
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
#include "conversion/tiers/field_from_digits.h"
#include "conversion/tiers/field_from_text.h"
#include "conversion/tiers/real_text.h"
#include "conversion/tiers/sum_from_text.h"
#include "records/data_record.h"

namespace kw {

// The fields from the values' text alone, by the kernels of `Kernels`:
// fits, or undecided for a value they do not take. The loops' fields: no
// call on the way.
template <class Kernels>
struct FieldsFromText {
  // The first and second fields.
  [[gnu::always_inline]] static Converted put_reals(const char* text, RealSpan x, RealSpan y,
                                                    char* out) {
    return Kernels::put_pair(text, real_at(text, x), real_at(text, y), out) ? Converted::fits
                                                                            : Converted::undecided;
  }
  [[gnu::always_inline]] static Converted put_sum(const char* text, RealSpan span,
                                                  std::int32_t offset, char* out) {
    const RealText t = real_at(text, span);
    // At most three digits before the point, a digit somewhere; more than
    // six decimals rounded first.
    const auto whole = static_cast<unsigned>(t.whole_digits());
    const auto decimals = static_cast<unsigned>(t.decimals());
    if (whole > 3 || (whole | decimals) == 0) return Converted::undecided;
    const bool put = decimals <= 6 ? put_sum_text(text, t, offset, out)
                                   : put_rounded_sum_text(text, t, offset, out);
    return put ? Converted::fits : Converted::undecided;
  }
};

// The fields from the text where it decides (the plain editors), else from
// the digits: fits, overflow, or undecided for the values only the general
// tier reads (more than three whole digits, a tie beyond the twelfth
// decimal, a sum within 10^-12 of zero).
struct FieldsFromDigits {
  template <const OutputField& Field>
  static Converted put_real(const char* text, RealSpan span, char* out) {
    const RealText t = real_at(text, span);
    if (put_text_plainly<Field>(text, t, out)) return Converted::fits;
    return t.plain() ? put_from_digits<Field>(read_digits(text, t), out) : Converted::undecided;
  }
  // The first and second fields.
  static Converted put_reals(const char* text, RealSpan x, RealSpan y, char* out) {
    return combine(put_real<kXField>(text, x, out), put_real<kYField>(text, y, out));
  }
  static Converted put_sum(const char* text, RealSpan span, std::int32_t offset, char* out) {
    const RealText t = real_at(text, span);
    if (!t.plain()) return Converted::undecided;
    if (t.decimals() <= 6 && put_sum_text(text, t, offset, out)) return Converted::fits;
    return put_sum_from_digits(read_digits(text, t), offset, out);
  }
};

}  // namespace kw

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

// How far the editors read a value: from its text only (the first tier,
// which calls nothing), or from its digits where the text does not decide
// (the second).
enum class Reading { text, digits };

// F9.5 of a real: from its text, else from its digits; undecided for a
// real the tier does not read.
template <const OutputField& Field, Reading R>
inline Converted put_real(const char* text, const RealText& t, char* out) {
  const Converted from_text = put_text<Field>(text, t, out);
  if (R == Reading::text || from_text != Converted::undecided || !t.plain()) return from_text;
  return put_units<Field>(read_digits(text, t), out);
}

// F10.6 of the third value plus a whole offset: from its text, else from
// its digits.
template <Reading R>
inline Converted put_sum(const char* text, const RealText& t, std::int32_t offset, char* out) {
  if (!t.plain()) return Converted::undecided;
  if (t.decimals() <= 6) {
    const Converted from_text = put_sum_text(text, t, offset, out);
    if (R == Reading::text || from_text != Converted::undecided) return from_text;
  } else if (R == Reading::text) {
    return Converted::undecided;
  }
  return put_sum_units(read_digits(text, t), offset, out);
}

}  // namespace kw

// Editing of fixed-width output fields.
#pragma once

#include <cstdint>

#include "records/fixed_fast.h"

namespace kw {

// Integer field of `width` characters with at least `min_digits` digits,
// zero-filled, right-justified, a minus sign directly before the digits of
// a negative value (Iw.m). Returns false, with the field full of asterisks,
// when sign and digits need more room than the field has.
bool edit_integer(std::int32_t value, int width, int min_digits, char* field);

// Fixed-point field of `width` characters with `decimals` decimals (Fw.d),
// correctly rounded from the exact binary value, exact ties to the even
// digit. Right-justified; a value below 1 in magnitude gets a zero before
// the point unless only its absence lets it fit; a value that rounds to
// zero is written without a sign. Returns false, with the field full of
// asterisks, when the value (infinite or NaN included) does not fit.
// `width` is at most 40.
bool edit_fixed(double value, int width, int decimals, char* field);

// F<Width>.<Decimals> of `value`: the fast path where it decides, the
// exact expansion otherwise. False when the field is asterisks.
template <int Width, int Decimals>
inline bool edit_field(double value, char* field) {
  switch (fixed_fast::edit<Width, Decimals>(value, field)) {
    case fixed_fast::Edited::fits:
      return true;
    case fixed_fast::Edited::overflow:
      return false;
    case fixed_fast::Edited::undecided:
      break;
  }
  return edit_fixed(value, Width, Decimals, field);
}

}  // namespace kw

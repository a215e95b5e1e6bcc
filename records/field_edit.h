// Editing of fixed-width output fields.
#pragma once

#include <cstdint>
#include <cstring>

#include "records/fixed_fast.h"

namespace kw {

// Integer field of `width` characters with at least `min_digits` digits,
// zero-filled, right-justified, a minus sign directly before the digits of
// a negative value (Iw.m). Returns false, with the field full of asterisks,
// when sign and digits need more room than the field has.
bool edit_integer(std::int32_t value, int width, int min_digits, char* field);

// F<Width>.<Decimals> of `value` (Fw.d), correctly rounded from the exact
// binary value, exact ties to the even digit: right-justified; a value
// below 1 in magnitude gets a zero before the point unless only its
// absence lets it fit; a value that rounds to zero is written without a
// sign. False, with the field full of asterisks, when the value (infinite
// or NaN included) does not fit. The fast path decides every value below
// 10^9; the rest, NaN included, fit no field with fewer than ten places
// before the point.
template <int Width, int Decimals>
inline bool edit_field(double value, char* field) {
  static_assert(Width - 1 - Decimals < 10, "a value of 10^9 or more would fit the field");
  switch (fixed_fast::edit<Width, Decimals>(value, field)) {
    case fixed_fast::Edited::fits:
      return true;
    case fixed_fast::Edited::overflow:
      return false;
    case fixed_fast::Edited::undecided:
      break;
  }
  std::memset(field, '*', Width);
  return false;
}

}  // namespace kw

// The output fields from a real's digits, read as units of 10^-12: for
// the values whose text does not decide their field (more decimals, a
// rounding that carries, a leading zero).
#pragma once

#include <cstdint>

#include "conversion/tiers/converted.h"
#include "conversion/tiers/decimal_ties.h"
#include "conversion/tiers/real_text.h"
#include "records/contracts.h"
#include "records/data_record.h"
#include "records/field_edit.h"
#include "records/fixed_fast.h"

namespace kw {

// The magnitude in units rounded to the grid of `Decimals` decimals:
// false within a unit of a tie, where only the double can decide (the
// value and the double may lie on either side of it).
template <int Decimals>
inline bool round_units(std::uint64_t units, bool beyond, std::uint64_t& rounded) {
  constexpr std::uint64_t grid = kPowersOfTen[12 - Decimals];
  constexpr std::uint64_t half = grid / 2;
  const std::uint64_t rest = units % grid;  // a constant divisor: no division
  if (rest == half || (beyond && rest == half - 1)) return false;
  rounded = units / grid + static_cast<std::uint64_t>(rest > half);
  return true;
}

// The double the general reader gives a real of at most 12 decimals: its
// units (below 2^53) and 10^12 are exact doubles, and one division
// rounds correctly.
inline double to_double(const Real& real) {
  KW_EXPECTS(real.units < (std::uint64_t{1} << 53) && !real.beyond);
  const double magnitude = static_cast<double>(real.units) / static_cast<double>(kUnitsPerOne);
  return real.negative ? -magnitude : magnitude;
}

// F9.5 of a real from its value: rounded from its units where they
// decide; a tie of six decimals as the double read from them rounds; any
// other value of at most twelve decimals through the double itself.
template <const OutputField& Field>
inline Converted put_from_digits(const Real& real, char* out) {
  constexpr std::uint64_t kMicro = kPowersOfTen[6];
  char* field = out + Field.at;
  std::uint64_t n = 0;
  if (round_units<5>(real.units, real.beyond, n)) {
    return fits_or_overflow(fixed_fast::put_scaled<Field.width, 5>(n, real.negative, field));
  }
  if (real.beyond) return Converted::undecided;
  if (real.units % kMicro == 0) {  // a tie of six decimals, as real data has them
    const auto micro = static_cast<std::uint32_t>(real.units / kMicro);
    n = micro / 10 + static_cast<std::uint32_t>(tie_rounds_up(micro));
    return fits_or_overflow(fixed_fast::put_scaled<Field.width, 5>(n, real.negative, field));
  }
  return fits_or_overflow(edit_field<Field.width, 5>(to_double(real), field));
}

// F10.6 of the third value plus a whole offset, from its digits: the
// exact sum in units, rounded where that decides, the double sum (the
// general tier's own, value + offset) where the value has at most twelve
// decimals, undecided otherwise.
inline Converted put_sum_from_digits(const Real& z, std::int32_t offset, char* out) {
  const auto z_units = static_cast<std::int64_t>(z.units);
  const std::int64_t sum =
      (z.negative ? -z_units : z_units) + offset * static_cast<std::int64_t>(kUnitsPerOne);
  if (sum == 0 && z.beyond) return Converted::undecided;
  std::uint64_t magnitude =
      sum < 0 ? 0 - static_cast<std::uint64_t>(sum) : static_cast<std::uint64_t>(sum);
  // The decimals beyond the twelfth move the sum away from zero when they
  // have its sign, toward it otherwise: then it lies in (magnitude - 1,
  // magnitude) units.
  if (z.beyond && (sum < 0) != z.negative) --magnitude;
  char* field = out + kZField.at;
  std::uint64_t n = 0;
  if (round_units<6>(magnitude, z.beyond, n)) {
    return fits_or_overflow(fixed_fast::put_scaled<kZField.width, 6>(n, sum < 0, field));
  }
  if (z.beyond) return Converted::undecided;
  return fits_or_overflow(edit_field<kZField.width, 6>(to_double(z) + offset, field));
}

}  // namespace kw

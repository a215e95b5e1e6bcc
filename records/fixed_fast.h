// Fast path of fixed-point editing (Fw.d) for the program's own fields.
//
// A value a = |x| below 10^9 is scaled by 10^d (d <= 6) and rounded to the
// nearest integer, ties to even, from the exact product: p = fl(a * 10^d)
// and its error e = a * 10^d - p, exact by Dekker's two-product (10^d has
// at most 14 significant bits, so only a is split). p < 2^50, so its
// spacing is at most 1/8 and 0.5 is a multiple of it: |e| is below half
// that spacing and can only decide an exact half of p. Requires each
// double operation rounded on its own (no contraction into fused
// multiply-adds).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "records/digits.h"

namespace kw::fixed_fast {

template <int Decimals>
inline std::uint64_t scaled_nearest(double a) {
  constexpr auto scale = static_cast<double>(kPowersOfTen[Decimals]);
  const double p = a * scale;
  const double c = 134217729.0 * a;  // 2^27 + 1: splits a into 26 + 27 bits
  const double high = c - (c - a);
  const double low = a - high;
  const double e = (high * scale - p) + low * scale;   // exact: a * scale - p
  const auto n = static_cast<std::int64_t>(p);         // p >= 0: truncation is the floor
  const double fraction = p - static_cast<double>(n);  // exact
  const bool odd = (n & 1) != 0;
  const bool up = (fraction > 0.5) | ((fraction == 0.5) & ((e > 0.0) | ((e == 0.0) & odd)));
  return static_cast<std::uint64_t>(n + static_cast<std::int64_t>(up));
}

// The usual case of put_scaled: n below 10^(places of the field), all its
// digits, the zero before the point included, eight at a time; blanks for
// the zeros before the `whole_digits` whole digits, and the minus before
// them.
template <int Width, int Decimals>
inline void put_all_digits(std::uint64_t n, int whole_digits, bool minus, char* field) {
  constexpr int kBefore = Width - 1 - Decimals;  // places before the point
  static_assert(Decimals >= 1 && kBefore >= 0 && Decimals + kBefore <= 16);
  char digits[16];
  if constexpr (kBefore + Decimals <= 8) {
    put_eight_digits(static_cast<std::uint32_t>(n), digits + 8);
  } else {
    const auto high = static_cast<std::uint32_t>(n / kPowersOfTen[8]);
    if constexpr (kBefore + Decimals == 9) {
      digits[7] = static_cast<char>('0' + high);
    } else {
      put_eight_digits(high, digits);
    }
    put_eight_digits(static_cast<std::uint32_t>(n - std::uint64_t{high} * kPowersOfTen[8]),
                     digits + 8);
  }
  std::memcpy(field, digits + 16 - Decimals - kBefore, static_cast<std::size_t>(kBefore));
  field[kBefore] = '.';
  std::memcpy(field + kBefore + 1, digits + 16 - Decimals, Decimals);
  // A fixed number of places, each kept or blanked.
  for (int i = 0; i + 1 < kBefore; ++i) {
    field[i] = i < kBefore - whole_digits ? ' ' : field[i];
  }
  if (minus) field[kBefore - whole_digits - 1] = '-';
}

// Writes F<Width>.<Decimals> of (minus ? -1 : 1) * n / 10^Decimals for
// n / 10^Decimals below 2^32: right-justified, the zero before the point
// left out only when the field is otherwise too narrow, no sign when n is
// 0. False, with the field full of asterisks, when it does not fit.
template <int Width, int Decimals>
inline bool put_scaled(std::uint64_t n, bool minus, char* field) {
  constexpr int kBefore = Width - 1 - Decimals;  // places before the point
  static_assert(Decimals >= 1 && kBefore >= 0);
  const auto whole = static_cast<std::uint32_t>(n / kPowersOfTen[Decimals]);
  minus = minus && n != 0;
  const int whole_digits = whole < 10 ? 1 : whole < 100 ? 2 : digit_count(whole);
  const int before = static_cast<int>(minus) + whole_digits;
  if constexpr (Decimals + kBefore <= 16) {
    if (before <= kBefore) {
      put_all_digits<Width, Decimals>(n, whole_digits, minus, field);
      return true;
    }
  }
  const auto fraction = static_cast<std::uint32_t>(n % kPowersOfTen[Decimals]);
  int length = before + 1 + Decimals;
  const bool drop_zero = length > Width && whole == 0;
  length -= static_cast<int>(drop_zero);
  if (length > Width) {
    std::memset(field, '*', Width);
    return false;
  }
  std::memset(field, ' ', Width);
  char* end = put_digits(fraction, Decimals, field + Width);
  *--end = '.';
  if (!drop_zero) end = put_digits(whole, whole_digits, end);
  if (minus) end[-1] = '-';
  return true;
}

enum class Edited { fits, overflow, undecided };

// Edits `value` into field[0..Width) as Fw.d does, or returns undecided
// (leaving the field alone) for |value| of 10^9 or more and NaN.
template <int Width, int Decimals>
inline Edited edit(double value, char* field) {
  static_assert(Decimals >= 1 && Decimals <= 6 && Width <= 40);
  const double a = std::fabs(value);
  if (!(a < 1e9)) return Edited::undecided;
  // Below 10^-30 the product is far below one half; it also keeps the
  // split clear of subnormal numbers.
  const std::uint64_t n = a < 1e-30 ? 0 : scaled_nearest<Decimals>(a);
  return put_scaled<Width, Decimals>(n, std::signbit(value), field) ? Edited::fits
                                                                    : Edited::overflow;
}

}  // namespace kw::fixed_fast

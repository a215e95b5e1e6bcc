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

#include "conversion/field_edit.h"

namespace kw::fixed_fast {

inline constexpr std::uint64_t kScales[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// "00" to "99".
inline constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

template <int Decimals>
inline std::uint64_t scaled_nearest(double a) {
  constexpr auto scale = static_cast<double>(kScales[Decimals]);
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

// Writes `count` digits of `value` backwards, ending just before `end`.
inline char* put_digits(std::uint32_t value, int count, char* end) {
  for (; count >= 2; count -= 2) {
    end -= 2;
    std::memcpy(end, kPairs + std::size_t{2} * (value % 100), 2);
    value /= 100;
  }
  if (count == 1) *--end = static_cast<char>('0' + value % 10);
  return end;
}

inline int digit_count(std::uint32_t value) {
  return 1 + static_cast<int>(value >= 10) + static_cast<int>(value >= 100) +
         static_cast<int>(value >= 1000) + static_cast<int>(value >= 10000) +
         static_cast<int>(value >= 100000) + static_cast<int>(value >= 1000000) +
         static_cast<int>(value >= 10000000) + static_cast<int>(value >= 100000000) +
         static_cast<int>(value >= 1000000000);
}

// Writes F<Width>.<Decimals> of (minus ? -1 : 1) * n / 10^Decimals for
// n / 10^Decimals below 2^32: right-justified, the zero before the point
// left out only when the field is otherwise too narrow, no sign when n is
// 0. False, with the field full of asterisks, when it does not fit.
template <int Width, int Decimals>
inline bool put_scaled(std::uint64_t n, bool minus, char* field) {
  const auto whole = static_cast<std::uint32_t>(n / kScales[Decimals]);
  const auto fraction = static_cast<std::uint32_t>(n % kScales[Decimals]);
  minus = minus && n != 0;
  const int whole_digits = digit_count(whole);
  int length = static_cast<int>(minus) + whole_digits + 1 + Decimals;
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

// F<Width>.<Decimals> of `value`: the fast path where it decides, the
// general editor otherwise. False when the field is asterisks.
template <int Width, int Decimals>
inline bool edit_field(double value, char* field) {
  switch (edit<Width, Decimals>(value, field)) {
    case Edited::fits:
      return true;
    case Edited::overflow:
      return false;
    case Edited::undecided:
      break;
  }
  return edit_fixed(value, Width, Decimals, field);
}

}  // namespace kw::fixed_fast

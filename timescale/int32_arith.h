// 32-bit integer arithmetic as the program's home platform (32-bit x86)
// does it, without undefined behaviour in C++.
#pragma once

#include <cstdint>

namespace kw {

// Truncates toward zero to a 32-bit integer. A value that does not fit
// (NaN included) gives -2147483648, the x86 "integer indefinite".
constexpr std::int32_t trunc_to_int32(double x) {
  if (x > -2147483649.0 && x < 2147483648.0) return static_cast<std::int32_t>(x);
  return INT32_MIN;
}

// a + b modulo 2^32.
constexpr std::int32_t wrapping_add(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

}  // namespace kw

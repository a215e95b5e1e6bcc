// Comparing doubles bit for bit: the sign of zero counts, and a NaN equals
// the same NaN.
#pragma once

#include <cstdint>
#include <cstring>

namespace kw::test {

inline bool same_bits(double a, double b) {
  std::uint64_t x = 0;
  std::uint64_t y = 0;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x == y;
}

}  // namespace kw::test

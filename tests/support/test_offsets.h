// Offsets by date for checking the tiers: whole seconds of either sign on
// most dates (mostly the real tables' 10 to 37 s, now and then up to
// 9999 s), a fraction of a second on the 13th, which no fast tier takes.
#pragma once

#include <cstdint>

namespace kw::test {

inline double test_offset(std::int32_t yy, std::int32_t mm, std::int32_t dd) {
  const std::int32_t h = yy * 389 + mm * 31 + dd * 7;
  const double seconds = h % 8 == 0 ? h % 19999 - 9999 : 10 + h % 28;
  return dd == 13 ? seconds + 0.5 : seconds;
}

}  // namespace kw::test

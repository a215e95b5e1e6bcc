// Fuzz target: the reader of the IERS's Leap_Second.dat (and whichever
// published format a text turns into), on any text.
//
// Properties: those of published_check.h for a table that reads, with
// the format's rule on its expiry; a text refused says why.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "published_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kw::fuzz::check_published(std::string_view(reinterpret_cast<const char*>(data), size),
                            kw::Source::iers_leap_second);
  return 0;
}

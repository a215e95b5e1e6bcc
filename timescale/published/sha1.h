// SHA-1 (FIPS 180-4), for checking the hash a leap-second list carries.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kw {

// The 160-bit digest of `message` as five 32-bit words, first word first.
std::array<std::uint32_t, 5> sha1(std::string_view message);

}  // namespace kw

#include "timescale/published/sha1.h"

#include <bit>
#include <cstddef>
#include <string>

namespace kw {
namespace {

constexpr std::size_t kBlock = 64;

// Processes one 64-byte block into the running state.
void compress(std::array<std::uint32_t, 5>& state, const unsigned char* block) {
  std::array<std::uint32_t, 80> w{};
  for (std::size_t t = 0; t < 16; ++t) {
    w[t] = std::uint32_t{block[4 * t]} << 24 | std::uint32_t{block[4 * t + 1]} << 16 |
           std::uint32_t{block[4 * t + 2]} << 8 | std::uint32_t{block[4 * t + 3]};
  }
  for (std::size_t t = 16; t < 80; ++t) {
    w[t] = std::rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
  }
  auto [a, b, c, d, e] = state;
  for (std::size_t t = 0; t < 80; ++t) {
    std::uint32_t f = 0;
    std::uint32_t k = 0;
    if (t < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999U;
    } else if (t < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1U;
    } else if (t < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDCU;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6U;
    }
    const std::uint32_t next = std::rotl(a, 5) + f + e + k + w[t];
    e = d;
    d = c;
    c = std::rotl(b, 30);
    b = a;
    a = next;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

}  // namespace

std::array<std::uint32_t, 5> sha1(std::string_view message) {
  std::array<std::uint32_t, 5> state = {0x67452301U, 0xEFCDAB89U, 0x98BADCFEU, 0x10325476U,
                                        0xC3D2E1F0U};
  // The message, a 1 bit, zeros up to 56 bytes past a block boundary, then
  // the message's length in bits, big-endian.
  std::string padded(message);
  padded += static_cast<char>(0x80);
  while (padded.size() % kBlock != kBlock - 8) padded += '\0';
  const std::uint64_t bits = static_cast<std::uint64_t>(message.size()) * 8;
  for (int shift = 56; shift >= 0; shift -= 8) {
    padded += static_cast<char>((bits >> shift) & 0xFFU);
  }
  for (std::size_t at = 0; at < padded.size(); at += kBlock) {
    compress(state, reinterpret_cast<const unsigned char*>(padded.data() + at));
  }
  return state;
}

}  // namespace kw

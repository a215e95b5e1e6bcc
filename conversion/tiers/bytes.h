// Words loaded from bytes and stored to them, the first byte lowest on
// the little-endian machines the program is built for.
#pragma once

#include <bit>
#include <cstring>

namespace kw {

static_assert(std::endian::native == std::endian::little, "a word's first byte is its lowest");

template <typename Word>
inline Word load_word(const char* bytes) {
  Word word;
#if defined(__GNUC__)
  __builtin_memcpy(&word, bytes, sizeof word);
#else
  std::memcpy(&word, bytes, sizeof word);
#endif
  return word;
}

template <typename Word>
inline void store_word(char* bytes, Word word) {
#if defined(__GNUC__)
  __builtin_memcpy(bytes, &word, sizeof word);
#else
  std::memcpy(bytes, &word, sizeof word);
#endif
}

}  // namespace kw

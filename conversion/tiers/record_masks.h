// Stage 1 of the scan tier, classifying: the 64 bytes from a record's
// first, where it lies in its block, as bit masks, bit i for byte i. The
// record's line feed is the lowest of its line feeds (one past the 64
// bytes for a long record); its parsed columns are the first at most 38.
//
// Three kernels of one signature make the same masks: a plain loop, one
// byte at a time (the fallback, and the vector kernels' test oracle), SSE2
// sixteen bytes at a time, and AVX2 thirty-two at a time where the
// processor has it (records/simd.h). The commas are classified apart:
// only records with bytes neither of a value nor a blank need them.
#pragma once

#include <cstdint>

#include "records/simd.h"

namespace kw {

// A record's window: the bytes the kernels classify from its first.
inline constexpr int kWindowBytes = 64;

// The classes of a window's bytes. (No default values: masks are made,
// not zeroed first.)
struct RecordMasks {
  std::uint64_t values;      // '0' to '9', '.', '-', '+': what values are made of
  std::uint64_t points;      // '.'
  std::uint64_t signs;       // '-', '+'
  std::uint64_t others;      // neither of a value nor a blank (' ', '\t')
  std::uint64_t line_feeds;  // '\n'
};

// A vector constant of 32 bytes, loaded where it is used: a loop keeps
// fewer of them in registers than it would spill.
struct alignas(32) ByteVector {
  char bytes[32];
};
constexpr ByteVector splat(char c) {
  ByteVector v{};
  for (char& b : v.bytes) b = c;
  return v;
}

inline RecordMasks classify_plainly(const char* text) {
  RecordMasks m{0, 0, 0, 0, 0};
  for (int i = 0; i < kWindowBytes; ++i) {
    const char c = text[i];
    const std::uint64_t bit = std::uint64_t{1} << i;
    const bool sign = c == '-' || c == '+';
    const bool value = (c >= '0' && c <= '9') || c == '.' || sign;
    m.values |= value ? bit : 0;
    m.points |= c == '.' ? bit : 0;
    m.signs |= sign ? bit : 0;
    m.others |= !value && c != ' ' && c != '\t' ? bit : 0;
    m.line_feeds |= c == '\n' ? bit : 0;
  }
  return m;
}

inline std::uint64_t commas_plainly(const char* text) {
  std::uint64_t commas = 0;
  for (int i = 0; i < kWindowBytes; ++i) commas |= text[i] == ',' ? std::uint64_t{1} << i : 0;
  return commas;
}

#ifdef KW_SSE2
namespace sse2 {

// The classifiers' constants (in_memory, records/simd.h).
struct ClassConstants {
  ByteVector digit_base = splat(static_cast<char>('0' + 0x80));
  ByteVector digit_count = splat(static_cast<char>(-0x80 + 10));
  ByteVector points = splat('.');
  ByteVector minuses = splat('-');
  ByteVector pluses = splat('+');
  ByteVector spaces = splat(' ');
  ByteVector tabs = splat('\t');
  ByteVector line_feeds = splat('\n');
  ByteVector commas = splat(',');
};
inline constexpr ClassConstants kClassConstants{};

[[gnu::always_inline]] inline __m128i vector(const ByteVector& v) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(v.bytes));
}
[[gnu::always_inline]] inline __m128i is(__m128i v, const ByteVector& c) {
  return _mm_cmpeq_epi8(v, vector(c));
}

}  // namespace sse2

[[gnu::always_inline]] inline RecordMasks classify_sse2(const char* text) {
  using namespace sse2;
  const ClassConstants& k = in_memory(kClassConstants);
  RecordMasks m{0, 0, 0, 0, 0};
  for (int i = 0; i < kWindowBytes; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    const auto bits = [i](__m128i mask) {
      return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(mask))} << i;
    };
    // Digits: c - '0' below 10 as unsigned bytes, moved by 0x80 into a
    // signed compare.
    const __m128i digit =
        _mm_cmplt_epi8(_mm_sub_epi8(v, vector(k.digit_base)), vector(k.digit_count));
    const __m128i point = is(v, k.points);
    const __m128i sign = _mm_or_si128(is(v, k.minuses), is(v, k.pluses));
    const __m128i value = _mm_or_si128(digit, _mm_or_si128(point, sign));
    const __m128i blank = _mm_or_si128(is(v, k.spaces), is(v, k.tabs));
    m.values |= bits(value);
    m.points |= bits(point);
    m.signs |= bits(sign);
    m.others |= bits(_mm_or_si128(value, blank));  // inverted below
    m.line_feeds |= bits(is(v, k.line_feeds));
  }
  m.others = ~m.others;
  return m;
}

[[gnu::always_inline]] inline std::uint64_t commas_sse2(const char* text) {
  std::uint64_t commas = 0;
  for (int i = 0; i < kWindowBytes; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
    commas |= std::uint64_t{static_cast<unsigned>(
                  _mm_movemask_epi8(sse2::is(v, sse2::kClassConstants.commas)))}
              << i;
  }
  return commas;
}
#endif

#ifdef KW_AVX2
// Only where instruction_set() is avx2.
namespace avx2 {

KW_AVX2_TARGET [[gnu::always_inline]] inline __m256i vector(const ByteVector& v) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(v.bytes));
}
KW_AVX2_TARGET [[gnu::always_inline]] inline __m256i is(__m256i v, const ByteVector& c) {
  return _mm256_cmpeq_epi8(v, vector(c));
}

// The 64 bits of a mask's two halves.
KW_AVX2_TARGET [[gnu::always_inline]] inline std::uint64_t bits(__m256i low, __m256i high) {
  return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(low))} |
         std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(high))} << 32;
}

// The classes of 32 bytes, as bytes of all ones or zeros.
struct HalfClasses {
  __m256i value, point, sign, value_or_blank, line_feed;
};

KW_AVX2_TARGET [[gnu::always_inline]] inline HalfClasses half_classes(
    const char* from, const sse2::ClassConstants& k) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
  // Digits: c - '0' below 10 as unsigned bytes, moved by 0x80 into a
  // signed compare.
  const __m256i digit =
      _mm256_cmpgt_epi8(vector(k.digit_count), _mm256_sub_epi8(v, vector(k.digit_base)));
  HalfClasses h;
  h.point = is(v, k.points);
  h.sign = _mm256_or_si256(is(v, k.minuses), is(v, k.pluses));
  h.value = _mm256_or_si256(digit, _mm256_or_si256(h.point, h.sign));
  h.value_or_blank = _mm256_or_si256(h.value, _mm256_or_si256(is(v, k.spaces), is(v, k.tabs)));
  h.line_feed = is(v, k.line_feeds);
  return h;
}

}  // namespace avx2

KW_AVX2_TARGET [[gnu::always_inline]] inline RecordMasks classify_avx2(const char* text) {
  const sse2::ClassConstants& k = in_memory(sse2::kClassConstants);
  const avx2::HalfClasses low = avx2::half_classes(text, k);
  const avx2::HalfClasses high = avx2::half_classes(text + 32, k);
  return {avx2::bits(low.value, high.value), avx2::bits(low.point, high.point),
          avx2::bits(low.sign, high.sign), ~avx2::bits(low.value_or_blank, high.value_or_blank),
          avx2::bits(low.line_feed, high.line_feed)};
}

KW_AVX2_TARGET [[gnu::always_inline]] inline std::uint64_t commas_avx2(const char* text) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + 32));
  const ByteVector& commas = sse2::kClassConstants.commas;
  return avx2::bits(avx2::is(low, commas), avx2::is(high, commas));
}
#endif

}  // namespace kw

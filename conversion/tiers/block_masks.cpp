#include "conversion/tiers/block_masks.h"

namespace kw {
namespace {

// Stores the 32 bits of `mask` as those of one half (`half`, 0 or 1) of
// chunk `k` of an array.
[[gnu::always_inline]] inline void put_half(std::uint64_t* bits, std::size_t k, std::size_t half,
                                            std::uint32_t mask) {
  store_word(reinterpret_cast<char*>(bits + k) + 4 * half, mask);
}

#ifdef KW_AVX2
[[gnu::always_inline]] KW_AVX2_TARGET inline std::uint32_t bits(__m256i mask) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(mask));
}
#endif

}  // namespace

void classify_plainly(const char* text, std::size_t chunks, const BlockMasks& masks) {
  const BlockMasks to = masks;  // held here: a store through one may not change them
  for (std::size_t k = 0; k < chunks; ++k) {
    std::uint64_t values = 0;
    std::uint64_t points = 0;
    std::uint64_t signs = 0;
    std::uint64_t others = 0;
    std::uint64_t commas = 0;
    std::uint64_t line_feeds = 0;
    for (unsigned i = 0; i < kChunkBytes; ++i) {
      const char c = text[k * kChunkBytes + i];
      const std::uint64_t bit = std::uint64_t{1} << i;
      const bool sign = c == '-' || c == '+';
      const bool value = (c >= '0' && c <= '9') || c == '.' || sign;
      values |= value ? bit : 0;
      points |= c == '.' ? bit : 0;
      signs |= sign ? bit : 0;
      others |= !value && c != ' ' && c != '\t' ? bit : 0;
      commas |= c == ',' ? bit : 0;
      line_feeds |= c == '\n' ? bit : 0;
    }
    to.values[k] = values;
    to.points[k] = points;
    to.signs[k] = signs;
    to.others[k] = others;
    to.commas[k] = commas;
    to.line_feeds[k] = line_feeds;
  }
}

#ifdef KW_SSE2
void classify_sse2(const char* text, std::size_t chunks, const BlockMasks& masks) {
  const __m128i digit_base = _mm_set1_epi8(static_cast<char>('0' + 0x80));
  const __m128i digit_count = _mm_set1_epi8(static_cast<char>(-0x80 + 10));
  const auto is = [](__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
  const BlockMasks to = masks;  // held here: a store through one may not change them
  for (std::size_t k = 0; k < chunks; ++k) {
    std::uint64_t values = 0;
    std::uint64_t points = 0;
    std::uint64_t signs = 0;
    std::uint64_t others = 0;
    std::uint64_t commas = 0;
    std::uint64_t line_feeds = 0;
    for (unsigned i = 0; i < kChunkBytes; i += 16) {
      const __m128i v =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + k * kChunkBytes + i));
      const auto bits = [i](__m128i mask) {
        return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(mask))} << i;
      };
      // Digits: c - '0' below 10 as unsigned bytes, moved by 0x80 into a
      // signed compare.
      const __m128i digit = _mm_cmplt_epi8(_mm_sub_epi8(v, digit_base), digit_count);
      const __m128i point = is(v, '.');
      const __m128i sign = _mm_or_si128(is(v, '-'), is(v, '+'));
      const __m128i value = _mm_or_si128(digit, _mm_or_si128(point, sign));
      const __m128i blank = _mm_or_si128(is(v, ' '), is(v, '\t'));
      values |= bits(value);
      points |= bits(point);
      signs |= bits(sign);
      others |= bits(_mm_or_si128(value, blank));  // inverted below
      commas |= bits(is(v, ','));
      line_feeds |= bits(is(v, '\n'));
    }
    to.values[k] = values;
    to.points[k] = points;
    to.signs[k] = signs;
    to.others[k] = ~others;
    to.commas[k] = commas;
    to.line_feeds[k] = line_feeds;
  }
}
#endif

#ifdef KW_AVX2
KW_AVX2_TARGET void classify_avx2(const char* text, std::size_t chunks, const BlockMasks& masks) {
  const __m256i digit_base = _mm256_set1_epi8(static_cast<char>('0' + 0x80));
  const __m256i digit_count = _mm256_set1_epi8(static_cast<char>(-0x80 + 10));
  const __m256i points = _mm256_set1_epi8('.');
  const __m256i minuses = _mm256_set1_epi8('-');
  const __m256i pluses = _mm256_set1_epi8('+');
  const __m256i spaces = _mm256_set1_epi8(' ');
  const __m256i tabs = _mm256_set1_epi8('\t');
  const __m256i commas = _mm256_set1_epi8(',');
  const __m256i line_feeds = _mm256_set1_epi8('\n');
  // The arrays' places held here: a store through one may not change them.
  const BlockMasks to = masks;
  for (std::size_t k = 0; k < chunks; ++k) {
    for (std::size_t half = 0; half < 2; ++half) {
      const __m256i v =
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + k * kChunkBytes + 32 * half));
      const __m256i digit = _mm256_cmpgt_epi8(digit_count, _mm256_sub_epi8(v, digit_base));
      const __m256i point = _mm256_cmpeq_epi8(v, points);
      const __m256i sign =
          _mm256_or_si256(_mm256_cmpeq_epi8(v, minuses), _mm256_cmpeq_epi8(v, pluses));
      const __m256i value = _mm256_or_si256(digit, _mm256_or_si256(point, sign));
      const __m256i blank =
          _mm256_or_si256(_mm256_cmpeq_epi8(v, spaces), _mm256_cmpeq_epi8(v, tabs));
      put_half(to.values, k, half, bits(value));
      put_half(to.points, k, half, bits(point));
      put_half(to.signs, k, half, bits(sign));
      put_half(to.others, k, half, ~bits(_mm256_or_si256(value, blank)));
      put_half(to.commas, k, half, bits(_mm256_cmpeq_epi8(v, commas)));
      put_half(to.line_feeds, k, half, bits(_mm256_cmpeq_epi8(v, line_feeds)));
    }
  }
}
#endif

BlockClassifier block_classifier() {
  switch (instruction_set()) {
    case InstructionSet::avx2:
#ifdef KW_AVX2
      return &classify_avx2;
#endif
    case InstructionSet::sse2:
#ifdef KW_SSE2
      return &classify_sse2;
#endif
    case InstructionSet::plain:
      break;
  }
  return &classify_plainly;
}

}  // namespace kw

#include "conversion/tiers/block_masks.h"

#include "records/simd.h"

namespace kw {

void classify_plainly(const char* text, std::size_t chunks, ChunkMasks* masks) {
  for (std::size_t k = 0; k < chunks; ++k) {
    ChunkMasks m{};
    for (unsigned i = 0; i < kChunkBytes; ++i) {
      const auto c = static_cast<unsigned char>(text[k * kChunkBytes + i]);
      const std::uint64_t bit = std::uint64_t{1} << i;
      const bool value = (c >= '0' && c <= '9') || c == '.' || c == '-';
      m.bytes.values |= value ? bit : 0;
      m.bytes.points |= c == '.' ? bit : 0;
      m.bytes.minuses |= c == '-' ? bit : 0;
      m.bytes.commas |= c == ',' ? bit : 0;
      m.bytes.others |= !value && c != ' ' && c != '\t' ? bit : 0;
      m.line_feeds |= c == '\n' ? bit : 0;
    }
    masks[k] = m;
  }
}

#ifdef KW_SSE2
void classify_sse2(const char* text, std::size_t chunks, ChunkMasks* masks) {
  const __m128i digit_base = _mm_set1_epi8(static_cast<char>('0' + 0x80));
  const __m128i digit_count = _mm_set1_epi8(static_cast<char>(-0x80 + 10));
  const auto is = [](__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
  for (std::size_t k = 0; k < chunks; ++k) {
    ChunkMasks m{};
    for (unsigned i = 0; i < kChunkBytes; i += 16) {
      const __m128i v =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + k * kChunkBytes + i));
      const auto bits = [i](__m128i mask) {
        return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(mask))} << i;
      };
      // Digits: c - '0' below 10 as unsigned bytes, shifted by 0x80 into
      // a signed compare.
      const __m128i digit = _mm_cmplt_epi8(_mm_sub_epi8(v, digit_base), digit_count);
      const __m128i point = is(v, '.');
      const __m128i minus = is(v, '-');
      const __m128i value = _mm_or_si128(digit, _mm_or_si128(point, minus));
      const __m128i blank = _mm_or_si128(is(v, ' '), is(v, '\t'));
      m.bytes.values |= bits(value);
      m.bytes.points |= bits(point);
      m.bytes.minuses |= bits(minus);
      m.bytes.commas |= bits(is(v, ','));
      m.bytes.others |= bits(_mm_or_si128(value, blank));  // inverted below
      m.line_feeds |= bits(is(v, '\n'));
    }
    m.bytes.others = ~m.bytes.others;
    masks[k] = m;
  }
}
#endif

#ifdef KW_AVX2
KW_AVX2_TARGET void classify_avx2(const char* text, std::size_t chunks, ChunkMasks* masks) {
  const __m256i digit_base = _mm256_set1_epi8(static_cast<char>('0' + 0x80));
  const __m256i digit_count = _mm256_set1_epi8(static_cast<char>(-0x80 + 10));
  const __m256i points = _mm256_set1_epi8('.');
  const __m256i minuses = _mm256_set1_epi8('-');
  const __m256i commas = _mm256_set1_epi8(',');
  const __m256i spaces = _mm256_set1_epi8(' ');
  const __m256i tabs = _mm256_set1_epi8('\t');
  const __m256i line_feeds = _mm256_set1_epi8('\n');
  for (std::size_t k = 0; k < chunks; ++k) {
    ChunkMasks m{};
    for (unsigned i = 0; i < kChunkBytes; i += 32) {
      const __m256i v =
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + k * kChunkBytes + i));
      const __m256i digit = _mm256_cmpgt_epi8(digit_count, _mm256_sub_epi8(v, digit_base));
      const __m256i point = _mm256_cmpeq_epi8(v, points);
      const __m256i minus = _mm256_cmpeq_epi8(v, minuses);
      const __m256i value = _mm256_or_si256(digit, _mm256_or_si256(point, minus));
      const __m256i blank =
          _mm256_or_si256(_mm256_cmpeq_epi8(v, spaces), _mm256_cmpeq_epi8(v, tabs));
#define KW_BITS(mask) (std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(mask))} << i)
      m.bytes.values |= KW_BITS(value);
      m.bytes.points |= KW_BITS(point);
      m.bytes.minuses |= KW_BITS(minus);
      m.bytes.commas |= KW_BITS(_mm256_cmpeq_epi8(v, commas));
      m.bytes.others |= KW_BITS(_mm256_or_si256(value, blank));  // inverted below
      m.line_feeds |= KW_BITS(_mm256_cmpeq_epi8(v, line_feeds));
#undef KW_BITS
    }
    m.bytes.others = ~m.bytes.others;
    masks[k] = m;
  }
}

#endif

BlockClassifier block_classifier() {
  switch (instruction_set()) {
#ifdef KW_AVX2
    case InstructionSet::avx2:
      return &classify_avx2;
#endif
#ifdef KW_SSE2
    case InstructionSet::sse2:
      return &classify_sse2;
#endif
    default:
      return &classify_plainly;
  }
}

}  // namespace kw

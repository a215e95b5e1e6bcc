#include "conversion/tiers/block_masks.h"

namespace kw {

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
      // signed compare (the biased compare: SSE2 compares bytes only as
      // signed, and a bias of 0x80 turns the unsigned order into the
      // signed one).
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

BlockClassifier block_classifier() {
#ifdef KW_SSE2
  if (instruction_set() == InstructionSet::sse2) return &classify_sse2;
#endif
  return &classify_plainly;
}

}  // namespace kw

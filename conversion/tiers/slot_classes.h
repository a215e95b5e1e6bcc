// The characters of a record slot as bit masks, bit i for column i: the
// first stage of the scan tier. SSE2 classifies 16 columns at a time; a
// plain loop gives the same masks, elsewhere and as the test oracle.
#pragma once

#include <cstdint>

#include "records/data_record.h"

#include "records/simd.h"

namespace kw {

struct SlotClasses {
  std::uint64_t values = 0;  // the characters of values: digits, signs, points
  std::uint64_t points = 0;  // '.'
  std::uint64_t signs = 0;   // '-' and '+'
  std::uint64_t commas = 0;  // ','
  std::uint64_t others = 0;  // neither of a value nor a separator (blank, tab, comma)
};

static_assert(kSlotWidth == 48, "three 16-column loads");

// The masks of slot[0..kSlotWidth), one character at a time.
inline SlotClasses classify_columns(const char* slot) {
  SlotClasses classes;
  for (int i = 0; i < kSlotWidth; ++i) {
    const char c = slot[i];
    const std::uint64_t bit = std::uint64_t{1} << i;
    const bool digit = c >= '0' && c <= '9';
    const bool sign = c == '-' || c == '+';
    const bool mark = sign || c == '.';
    if (digit || mark) classes.values |= bit;
    if (c == '.') classes.points |= bit;
    if (sign) classes.signs |= bit;
    if (c == ',') classes.commas |= bit;
    if (!digit && !mark && c != ' ' && c != '\t' && c != ',') classes.others |= bit;
  }
  return classes;
}

// The masks of slot[0..kSlotWidth), as classify_columns gives them.
inline SlotClasses classify_slot(const char* slot) {
#ifdef KW_SSE2
  SlotClasses classes;
  const __m128i digit_base = _mm_set1_epi8(static_cast<char>('0' + 0x80));
  const __m128i digit_limit = _mm_set1_epi8(static_cast<char>(-0x80 + 10));
  // c - '0' below 10 as unsigned bytes: shifted by 0x80, a signed compare.
  const auto digits_of = [&](__m128i v) {
    return _mm_cmplt_epi8(_mm_sub_epi8(v, digit_base), digit_limit);
  };
  // Most records hold nothing but digits, blanks, points and minus signs:
  // their masks come from three compares a chunk.
  std::uint64_t values = 0;
  std::uint64_t points = 0;
  std::uint64_t minus = 0;
  std::uint64_t known = 0;
  for (int i = 0; i < kSlotWidth; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slot + i));
    const auto mask = [i](__m128i m) {
      return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m))) << i;
    };
    const __m128i point = _mm_cmpeq_epi8(v, _mm_set1_epi8('.'));
    const __m128i sign = _mm_cmpeq_epi8(v, _mm_set1_epi8('-'));
    const __m128i value = _mm_or_si128(digits_of(v), _mm_or_si128(point, sign));
    values |= mask(value);
    points |= mask(point);
    minus |= mask(sign);
    known |= mask(_mm_or_si128(value, _mm_cmpeq_epi8(v, _mm_set1_epi8(' '))));
  }
  if (known == (std::uint64_t{1} << kSlotWidth) - 1) {
    classes.values = values;
    classes.points = points;
    classes.signs = minus;
    return classes;
  }
  for (int i = 0; i < kSlotWidth; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(slot + i));
    const auto mask = [i](__m128i m) {
      return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(m))) << i;
    };
    const auto is = [&v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
    const __m128i digits = digits_of(v);
    const __m128i signs = _mm_or_si128(is('-'), is('+'));
    const __m128i point = is('.');
    const __m128i values = _mm_or_si128(digits, _mm_or_si128(signs, point));
    const __m128i commas = is(',');
    const __m128i separators = _mm_or_si128(_mm_or_si128(is(' '), is('\t')), commas);
    classes.values |= mask(values);
    classes.points |= mask(point);
    classes.signs |= mask(signs);
    classes.commas |= mask(commas);
    classes.others |= mask(_mm_or_si128(values, separators)) ^ mask(_mm_set1_epi8(-1));
  }
  return classes;
#else
  return classify_columns(slot);
#endif
}

}  // namespace kw

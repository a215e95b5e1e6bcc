#include "conversion/field_edit.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace kw {
namespace {

bool overflow(int width, char* field) {
  std::memset(field, '*', static_cast<std::size_t>(width));
  return false;
}

void right_justify(const char* text, int length, int width, char* field) {
  std::memset(field, ' ', static_cast<std::size_t>(width - length));
  std::memcpy(field + (width - length), text, static_cast<std::size_t>(length));
}

}  // namespace

bool edit_integer(std::int32_t value, int width, int min_digits, char* field) {
  if (value >= 0 && value < 100 && min_digits == 2 && width >= 2) {  // dates: the usual case
    for (int i = 0; i < width - 2; ++i) field[i] = ' ';
    field[width - 2] = static_cast<char>('0' + value / 10);
    field[width - 1] = static_cast<char>('0' + value % 10);
    return true;
  }
  char digits[16];
  int count = 0;
  std::uint32_t magnitude =
      value < 0 ? 0U - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (count < min_digits && count < 10) digits[count++] = '0';
  const int length = count + (value < 0 ? 1 : 0);
  if (length > width) return overflow(width, field);
  char text[16];
  int at = 0;
  if (value < 0) text[at++] = '-';
  while (count > 0) text[at++] = digits[--count];
  right_justify(text, length, width, field);
  return true;
}

namespace {

constexpr std::uint64_t kScales[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// |value| * 10^decimals rounded to the nearest integer, ties to even,
// from the exact product: for 0 < a < 10^9 and a scale of at most 10^6,
// p + e == a * scale exactly (the scale has at most 14 significant bits,
// so only `a` needs splitting), and p < 2^50 has a spacing of at most 1/8,
// which 0.5 is a multiple of.
template <int Decimals>
std::uint64_t scaled_nearest(double a) {
  constexpr auto scale = static_cast<double>(kScales[Decimals]);
  const double p = a * scale;
  const double c = 134217729.0 * a;  // 2^27 + 1: splits a into 26 + 27 bits
  const double high = c - (c - a);
  const double low = a - high;
  const double e = (high * scale - p) + low * scale;   // exact: a * scale - p
  auto n = static_cast<std::uint64_t>(p);              // p >= 0: truncation is the floor
  const double fraction = p - static_cast<double>(n);  // exact
  // |e| is below half the spacing of p, so it decides only an exact half.
  if (fraction > 0.5 || (fraction == 0.5 && (e > 0.0 || (e == 0.0 && (n & 1U) != 0)))) ++n;
  return n;
}

// "00" to "99".
constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes `count` digits of `value` backwards, ending just before `end`.
inline char* put_digits(std::uint32_t value, int count, char* end) {
  for (; count >= 2; count -= 2) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * (value % 100), 2);
    value /= 100;
  }
  if (count == 1) *--end = static_cast<char>('0' + value % 10);
  return end;
}

inline int digit_count(std::uint32_t value) {
  int count = 1;
  while (value >= 10) {
    value /= 10;
    ++count;
  }
  return count;
}

template <int Decimals>
bool edit_fixed_fast(double value, int width, char* field) {
  const double a = std::fabs(value);
  // Below 10^-30 the product is far below one half; it also keeps the
  // split clear of subnormal numbers.
  const std::uint64_t n = a < 1e-30 ? 0 : scaled_nearest<Decimals>(a);
  const auto whole = static_cast<std::uint32_t>(n / kScales[Decimals]);  // below 10^9 + 1
  const auto fraction = static_cast<std::uint32_t>(n % kScales[Decimals]);
  const bool minus = n != 0 && std::signbit(value);
  const int whole_digits = digit_count(whole);
  int length = (minus ? 1 : 0) + whole_digits + 1 + Decimals;
  // The zero before the point goes only when the field is otherwise too
  // narrow.
  const bool drop_zero = length > width && whole == 0;
  if (drop_zero) --length;
  if (length > width) return overflow(width, field);
  char* end = put_digits(fraction, Decimals, field + width);
  *--end = '.';
  if (!drop_zero) end = put_digits(whole, whole_digits, end);
  if (minus) *--end = '-';
  while (end != field) *--end = ' ';
  return true;
}

}  // namespace

bool edit_fixed_fast(double value, int width, int decimals, char* field, bool& fits) {
  if (!(std::fabs(value) < 1e9) || width > 40) return false;
  switch (decimals) {
    case 1:
      fits = edit_fixed_fast<1>(value, width, field);
      return true;
    case 2:
      fits = edit_fixed_fast<2>(value, width, field);
      return true;
    case 3:
      fits = edit_fixed_fast<3>(value, width, field);
      return true;
    case 4:
      fits = edit_fixed_fast<4>(value, width, field);
      return true;
    case 5:
      fits = edit_fixed_fast<5>(value, width, field);
      return true;
    case 6:
      fits = edit_fixed_fast<6>(value, width, field);
      return true;
    default:
      return false;
  }
}

bool edit_fixed(double value, int width, int decimals, char* field) {
  if (bool fits = false; edit_fixed_fast(value, width, decimals, field, fits)) return fits;
  // Anything of 10^40 or more has more integer digits than any field.
  if (!std::isfinite(value) || std::fabs(value) >= 1e40) return overflow(width, field);
  char text[128];
  const auto result =
      std::to_chars(text, text + sizeof text - 2, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc{}) return overflow(width, field);
  char* end = result.ptr;
  if (decimals == 0) *end++ = '.';  // the point is always written
  *end = '\0';
  char* begin = text;
  int length = static_cast<int>(end - text);
  if (*begin == '-' && std::strspn(begin + 1, "0.") == static_cast<std::size_t>(length - 1)) {
    ++begin;  // rounds to zero: no sign
    --length;
  }
  if (length > width) {
    // The zero before the point of a value below 1 goes only when the
    // field is otherwise too narrow.
    const bool negative = *begin == '-';
    char* zero = begin + (negative ? 1 : 0);
    if (zero[0] == '0' && zero[1] == '.') {
      std::memmove(zero, zero + 1, static_cast<std::size_t>(length - (zero - begin) - 1));
      --length;
    }
  }
  if (length > width) return overflow(width, field);
  right_justify(begin, length, width, field);
  return true;
}

}  // namespace kw

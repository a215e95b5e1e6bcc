#include "records/field_edit.h"

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

bool edit_fixed(double value, int width, int decimals, char* field) {
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

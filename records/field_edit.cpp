#include "records/field_edit.h"

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

}  // namespace kw

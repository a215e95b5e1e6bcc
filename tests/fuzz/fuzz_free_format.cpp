// Fuzz target: the free-format reader on one record.
//
// Properties: the reader splits the record into the same values as an
// independent reading of the rules; an integer it accepts equals what its
// digits say; a real it accepts has the bits strtod gives (correctly
// rounded); a number out of range is a conversion failure, a malformed one
// a syntax failure, and the end of the record is "missing".
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "records/free_format.h"
#include "support/bits.h"

namespace {

using kw::ReadStatus;

bool blank(char c) {
  return c == ' ' || c == '\t';
}
bool digit(char c) {
  return c >= '0' && c <= '9';
}

// The next value's text by the separator rules, or the status that ends
// the reading there.
struct Token {
  ReadStatus status = ReadStatus::ok;
  std::string text;
};

Token next_token(std::string_view record, std::size_t& at) {
  while (at < record.size() && blank(record[at])) ++at;
  if (at == record.size()) return {ReadStatus::missing, {}};
  if (record[at] == ',') return {ReadStatus::syntax, {}};
  Token token;
  while (at < record.size() && !blank(record[at]) && record[at] != ',') token.text += record[at++];
  while (at < record.size() && blank(record[at])) ++at;
  if (at < record.size() && record[at] == ',') ++at;
  return token;
}

// sign? digits? (. digits?)? ([eE] sign? digits)?, at least one mantissa digit.
bool real_shape(const std::string& t, bool& integer_shape) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < t.size() && digit(t[i])) ++i, ++digits;
  integer_shape = i == t.size() && digits > 0;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && digit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < t.size() && digit(t[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  return i == t.size();
}

// The integer of an integer-shaped token, if it fits 32 bits.
bool integer_value(const std::string& t, std::int32_t& value) {
  const bool negative = t[0] == '-';
  std::size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  while (i + 1 < t.size() && t[i] == '0') ++i;
  if (t.size() - i > 10) return false;
  const long long magnitude = std::stoll(t.substr(i));
  const long long signed_value = negative ? -magnitude : magnitude;
  if (signed_value < INT32_MIN || signed_value > INT32_MAX) return false;
  value = static_cast<std::int32_t>(signed_value);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses, bit by bit, integer or real for each value.
  const unsigned kinds = data[0];
  const std::string_view record(reinterpret_cast<const char*>(data) + 1, size - 1);
  kw::ListReader reader(record);
  std::size_t at = 0;
  for (int item = 0; item < 8; ++item) {
    const bool want_integer = ((kinds >> item) & 1U) != 0;
    const Token token = next_token(record, at);
    std::int32_t integer = 0;
    double real = 0.0;
    const ReadStatus status = want_integer ? reader.next_integer(integer) : reader.next_real(real);
    if (token.status != ReadStatus::ok) {
      FUZZ_CHECK(status == token.status);
      return 0;
    }
    bool integer_shape = false;
    const bool well_formed = real_shape(token.text, integer_shape);
    if (!well_formed) {
      FUZZ_CHECK(status == ReadStatus::syntax);
      return 0;
    }
    if (want_integer) {
      std::int32_t expected = 0;
      if (!integer_shape || !integer_value(token.text, expected)) {
        FUZZ_CHECK(status == ReadStatus::conversion);
        return 0;
      }
      FUZZ_CHECK(status == ReadStatus::ok);
      FUZZ_CHECK(integer == expected);
    } else {
      errno = 0;
      const double expected = std::strtod(token.text.c_str(), nullptr);
      if (std::isinf(expected)) {
        FUZZ_CHECK(status == ReadStatus::conversion);
        return 0;
      }
      FUZZ_CHECK(status == ReadStatus::ok);
      FUZZ_CHECK(kw::test::same_bits(real, expected));
    }
  }
  return 0;
}

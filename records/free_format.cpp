#include "records/free_format.h"

#include <charconv>
#include <system_error>

#include "records/separators.h"

namespace kw {
namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// std::from_chars takes a minus sign but not a plus sign.
std::string_view without_plus(std::string_view token) {
  if (!token.empty() && token.front() == '+') token.remove_prefix(1);
  return token;
}

// The exponent after an E of a well-formed number, saturated far beyond
// the double range.
long long exponent_of(std::string_view exponent) {
  bool negative = false;
  if (!exponent.empty() && (exponent[0] == '+' || exponent[0] == '-')) {
    negative = exponent[0] == '-';
    exponent.remove_prefix(1);
  }
  long long value = 0;
  for (const char c : exponent) {
    if (value < 1'000'000'000) value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

// Decimal order of magnitude of a well-formed nonzero number (10^(e-1) <=
// |x| < 10^e), with the exponent saturated far beyond the double range.
// Used only to tell an overflow from an underflow.
long long decimal_order(std::string_view token) {
  std::size_t i = 0;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
  long long order = 0;
  bool seen_nonzero = false;
  bool after_point = false;
  for (; i < token.size() && (is_digit(token[i]) || token[i] == '.'); ++i) {
    if (token[i] == '.') {
      after_point = true;
    } else if (!seen_nonzero && token[i] == '0') {
      order -= static_cast<long long>(after_point);  // a leading zero after the point
    } else {
      seen_nonzero = true;
      order += static_cast<long long>(!after_point);
    }
  }
  if (i < token.size()) order += exponent_of(token.substr(i + 1));  // past the E
  return order;
}

// The shape of one value's text.
enum class NumberForm { malformed, integer, real };

NumberForm classify_number(std::string_view token) {
  std::size_t i = 0;
  const std::size_t n = token.size();
  if (i < n && (token[i] == '+' || token[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < n && is_digit(token[i])) ++i, ++digits;
  bool real = false;
  if (i < n && token[i] == '.') {
    real = true;
    ++i;
    while (i < n && is_digit(token[i])) ++i, ++digits;
  }
  if (digits == 0) return NumberForm::malformed;
  if (i < n && (token[i] == 'e' || token[i] == 'E')) {
    real = true;
    ++i;
    if (i < n && (token[i] == '+' || token[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < n && is_digit(token[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return NumberForm::malformed;
  }
  if (i != n) return NumberForm::malformed;
  return real ? NumberForm::real : NumberForm::integer;
}

// Converts a token of integer form; false when it does not fit 32 bits.
bool convert_integer(std::string_view token, std::int32_t& value) {
  const std::string_view text = without_plus(token);
  std::int32_t result = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), result);
  if (ec != std::errc{} || end != text.data() + text.size()) return false;
  value = result;
  return true;
}

// Converts a token of integer or real form; false beyond the double range.
bool convert_real(std::string_view token, double& value) {
  const std::string_view text = without_plus(token);
  double result = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), result);
  if (ec == std::errc::result_out_of_range) {
    if (decimal_order(token) > 0) return false;
    value = text.front() == '-' ? -0.0 : 0.0;  // too small: rounds to zero
    return true;
  }
  if (ec != std::errc{} || end != text.data() + text.size()) return false;
  value = result;
  return true;
}

}  // namespace

ReadStatus ListReader::next_token(std::string_view& token) {
  const std::size_t n = record_.size();
  while (position_ < n && is_blank(record_[position_])) ++position_;
  if (position_ == n) return ReadStatus::missing;
  if (record_[position_] == ',') return ReadStatus::syntax;  // a null value
  const std::size_t start = position_;
  while (position_ < n && !ends_value(record_[position_])) ++position_;
  token = record_.substr(start, position_ - start);
  // The separator after the value: blanks, and at most one comma.
  while (position_ < n && is_blank(record_[position_])) ++position_;
  if (position_ < n && record_[position_] == ',') ++position_;
  return ReadStatus::ok;
}

ReadStatus ListReader::next_integer(std::int32_t& value) {
  std::string_view token;
  if (const ReadStatus status = next_token(token); status != ReadStatus::ok) return status;
  switch (classify_number(token)) {
    case NumberForm::malformed:
      return ReadStatus::syntax;
    case NumberForm::real:
      return ReadStatus::conversion;
    case NumberForm::integer:
      break;
  }
  return convert_integer(token, value) ? ReadStatus::ok : ReadStatus::conversion;
}

ReadStatus ListReader::next_real(double& value) {
  std::string_view token;
  if (const ReadStatus status = next_token(token); status != ReadStatus::ok) return status;
  if (classify_number(token) == NumberForm::malformed) return ReadStatus::syntax;
  return convert_real(token, value) ? ReadStatus::ok : ReadStatus::conversion;
}

}  // namespace kw

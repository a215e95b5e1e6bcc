// Free-format (list-directed) reading of values from one record.
//
// Values are separated by one or more blanks (space or tab) or by a comma
// with or without blanks around it. An integer is an optional sign and
// decimal digits; a real is an optional sign, digits with an optional
// decimal point, and an optional exponent (E or e, an optional sign, digits).
// Values are taken one at a time, left to right, and the first bad value
// decides the outcome.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kw {

enum class ReadStatus {
  ok,
  missing,     // the record ended before this value
  syntax,      // not a number at all, or a null value (a comma where a value starts)
  conversion,  // a well-formed number that does not fit the item
};

class ListReader {
 public:
  explicit ListReader(std::string_view record) : record_(record) {}

  // The next value as a 32-bit integer: a decimal point or an exponent, or
  // a value beyond 32 bits, is a conversion failure.
  ReadStatus next_integer(std::int32_t& value);

  // The next value as a double, correctly rounded at any number of digits;
  // beyond the double range is a conversion failure, below it gives zero
  // or a subnormal.
  ReadStatus next_real(double& value);

  // What is left of the record after the values read and their separator.
  std::string_view rest() const { return record_.substr(position_); }

 private:
  ReadStatus next_token(std::string_view& token);

  std::string_view record_;
  std::size_t position_ = 0;
};

}  // namespace kw

#include "conversion/fast_record.h"

#include <cstdint>

namespace kw {
namespace {

// 10^0 .. 10^19, each exact in a double.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                   1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};

constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;

inline unsigned digit_of(char c) {
  return static_cast<unsigned>(static_cast<unsigned char>(c)) - '0';
}

// Moves p past spaces; false when the columns end first.
inline bool skip_spaces(const char*& p, const char* end) {
  while (p != end && *p == ' ') ++p;
  return p != end;
}

// A value must be followed by a space or the end of the columns.
inline bool ends_value(const char* p, const char* end) {
  return p == end || *p == ' ';
}

inline bool read_integer(const char*& p, const char* end, std::int32_t& value) {
  if (!skip_spaces(p, end)) return false;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  std::uint32_t magnitude = 0;
  int digits = 0;
  for (; p != end && digit_of(*p) < 10; ++p, ++digits) magnitude = magnitude * 10 + digit_of(*p);
  if (digits == 0 || digits > 9 || !ends_value(p, end)) return false;
  const auto signed_magnitude = static_cast<std::int32_t>(magnitude);  // below 10^9
  value = negative ? -signed_magnitude : signed_magnitude;
  return true;
}

inline bool read_real(const char*& p, const char* end, double& value) {
  if (!skip_spaces(p, end)) return false;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  std::uint64_t digits_value = 0;  // wraps harmlessly past 19 digits, which are refused
  int digits = 0;
  for (; p != end && digit_of(*p) < 10; ++p, ++digits) {
    digits_value = digits_value * 10 + digit_of(*p);
  }
  int decimals = 0;
  if (p != end && *p == '.') {
    for (++p; p != end && digit_of(*p) < 10; ++p, ++digits, ++decimals) {
      digits_value = digits_value * 10 + digit_of(*p);
    }
  }
  if (digits == 0 || digits > 19 || !ends_value(p, end) || digits_value > kExactLimit) {
    return false;
  }
  auto magnitude = static_cast<double>(digits_value);
  if (decimals != 0) magnitude /= kPowersOfTen[decimals];
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

bool parse_data_record_fast(const char* columns, DataRecord& record) {
  const char* p = columns;
  const char* const end = columns + kParsedColumns;
  return read_integer(p, end, record.idate[0]) && read_integer(p, end, record.idate[1]) &&
         read_integer(p, end, record.idate[2]) && read_real(p, end, record.xval[0]) &&
         read_real(p, end, record.xval[1]) && read_real(p, end, record.xval[2]);
}

}  // namespace kw

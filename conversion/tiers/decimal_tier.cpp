#include "conversion/tiers/decimal_tier.h"

#include <cmath>
#include <cstring>

#include "records/digits.h"
#include "records/field_edit.h"

namespace kw {
namespace {

constexpr std::uint64_t kExactLimit = std::uint64_t{1} << 53;

inline unsigned digit_of(char c) {
  return static_cast<unsigned>(static_cast<unsigned char>(c)) - '0';
}

// The digits at p, up to 8 of them: their count and their value. A ninth
// digit is not looked at (callers refuse a count of 8).
inline int leading_digits(const char* p, std::uint32_t& value) {
  std::uint32_t result = 0;
  int count = 0;
  for (; count < 8 && digit_of(p[count]) < 10; ++count) result = result * 10 + digit_of(p[count]);
  value = result;
  return count;
}

inline bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

// Moves p over the separator before a value: blanks, or one comma with
// blanks around it (a comma only after the first value). Null when no
// value starts within the parsed columns, or a second comma follows.
inline const char* skip_separator(const char* p, const char* slot) {
  const char* const end = slot + kParsedColumns;
  const bool after_value = p != slot;
  while (p != end && is_blank(*p)) ++p;
  if (p != end && *p == ',' && after_value) {
    for (++p; p != end && is_blank(*p);) ++p;
  }
  return p != end && *p != ',' ? p : nullptr;
}

// Each value must end at a blank or a comma, and within the parsed
// columns (the slot holds blanks after them).
inline bool ends_value(const char* p, const char* slot) {
  return (is_blank(*p) || *p == ',') && p - slot <= kParsedColumns;
}

inline const char* read_integer(const char* p, const char* slot, std::int32_t& value) {
  p = skip_separator(p, slot);
  if (p == nullptr) return nullptr;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  std::uint32_t magnitude = 0;
  const int digits = leading_digits(p, magnitude);
  p += digits;
  if (digits == 0 || !ends_value(p, slot)) return nullptr;             // 9 digits or more: refused
  const auto signed_magnitude = static_cast<std::int32_t>(magnitude);  // below 10^8
  value = negative ? -signed_magnitude : signed_magnitude;
  return p;
}

inline const char* read_real(const char* p, const char* slot, DecimalValue& value) {
  p = skip_separator(p, slot);
  if (p == nullptr) return nullptr;
  value.negative = false;
  if (*p == '-' || *p == '+') value.negative = *p++ == '-';
  std::uint32_t whole = 0;
  const int whole_digits = leading_digits(p, whole);
  p += whole_digits;
  std::uint32_t fraction = 0;
  int decimals = 0;
  if (*p == '.') {
    decimals = leading_digits(++p, fraction);
    p += decimals;
  }
  // Longer runs of digits (8 before or after the point and more) are left
  // to the general reader, as are values without a digit.
  if (whole_digits + decimals == 0 || whole_digits == 8 || decimals == 8 || !ends_value(p, slot)) {
    return nullptr;
  }
  value.digits = whole * kPowersOfTen[decimals] + fraction;
  value.decimals = decimals;
  return p;
}

// |value| * 10^Decimals of a decimal of at most 9 decimals, rounded to an
// integer: false when that needs the binary value (an exact decimal tie,
// or too many decimals).
// digits / 10^Cut rounded to nearest; false at an exact half.
template <int Cut>
bool drop_digits(std::uint64_t digits, std::uint64_t& n) {
  constexpr std::uint64_t unit = kPowersOfTen[Cut];
  const std::uint64_t rest = digits % unit;  // constant divisors: no division
  if (rest == unit / 2) return false;
  n = digits / unit + static_cast<std::uint64_t>(rest > unit / 2);
  return true;
}

// |value| * 10^Decimals of a decimal of at most 9 decimals, rounded to an
// integer: false when that needs the binary value (an exact decimal tie,
// or too many decimals).
template <int Decimals>
bool scaled_decimal(std::uint64_t digits, int decimals, std::uint64_t& n) {
  if (decimals <= Decimals) {
    n = digits * kPowersOfTen[Decimals - decimals];
    return true;
  }
  switch (decimals - Decimals) {
    case 1:
      return drop_digits<1>(digits, n);
    case 2:
      return drop_digits<2>(digits, n);
    case 3:
      return drop_digits<3>(digits, n);
    case 4:
      return drop_digits<4>(digits, n);
    default:
      return false;
  }
}

// Values below 10^4: the doubles stay so close to the decimals that only
// an exact decimal tie could round differently.
bool small_enough(const DecimalValue& value) {
  constexpr int kWholeDigits = 4;
  const auto decimals = static_cast<std::size_t>(value.decimals);
  return decimals <= 9 && value.digits < kPowersOfTen[kWholeDigits + decimals];
}

// F<Width>.<Decimals> of a value below 10^4 from its decimals; at an exact
// decimal tie its double decides.
template <int Width, int Decimals>
bool edit_small_field(const DecimalValue& value, char* field) {
  std::uint64_t n = 0;
  if (scaled_decimal<Decimals>(value.digits, value.decimals, n)) {
    return fixed_fast::put_scaled<Width, Decimals>(n, value.negative, field);
  }
  return edit_field<Width, Decimals>(value.to_double(), field);
}

}  // namespace

double DecimalValue::to_double() const {
  auto magnitude = static_cast<double>(digits);
  // 10^k is an exact double up to 10^22.
  if (decimals != 0)
    magnitude /= static_cast<double>(kPowersOfTen[static_cast<std::size_t>(decimals)]);
  return negative ? -magnitude : magnitude;
}

bool read_decimal_record(const char* slot, DecimalRecord& record) {
  const char* p = slot;
  for (std::int32_t& item : record.idate) {
    p = read_integer(p, slot, item);
    if (p == nullptr) return false;
  }
  for (DecimalValue& item : record.xval) {
    p = read_real(p, slot, item);
    if (p == nullptr || item.digits > kExactLimit) return false;
  }
  return true;
}

bool edit_decimal_record(const DecimalRecord& record, double offset, char* out, bool& fits) {
  const DecimalValue& x = record.xval[0];
  const DecimalValue& y = record.xval[1];
  const DecimalValue& z = record.xval[2];
  if (!(small_enough(x) && small_enough(y) && small_enough(z) && std::fabs(offset) < 1e4)) {
    return false;
  }
  const auto whole_offset = static_cast<std::int64_t>(offset);
  if (static_cast<double>(whole_offset) != offset) return false;

  bool all_fit = true;
  const auto yy = static_cast<std::uint32_t>(record.idate[0]);
  const auto mm = static_cast<std::uint32_t>(record.idate[1]);
  const auto dd = static_cast<std::uint32_t>(record.idate[2]);
  if (yy < 100 && mm < 100 && dd < 100) {  // (I2.2, 2I3.2) of two-digit dates
    put_pair(yy, out);
    out[2] = ' ';
    put_pair(mm, out + 3);
    out[5] = ' ';
    put_pair(dd, out + 6);
  } else {
    all_fit = edit_integer(record.idate[0], 2, 2, out);
    all_fit = edit_integer(record.idate[1], 3, 2, out + 2) && all_fit;
    all_fit = edit_integer(record.idate[2], 3, 2, out + 5) && all_fit;
  }
  all_fit = edit_small_field<9, 5>(x, out + 8) && all_fit;
  all_fit = edit_small_field<9, 5>(y, out + 17) && all_fit;

  // The third value plus the offset, exact at z's decimals (or at 6).
  const int scale = z.decimals < 6 ? 6 : z.decimals;
  const auto z_digits = static_cast<std::int64_t>(z.digits * kPowersOfTen[scale - z.decimals]);
  const std::int64_t sum = (z.negative ? -z_digits : z_digits) +
                           whole_offset * static_cast<std::int64_t>(kPowersOfTen[scale]);
  const std::uint64_t magnitude =
      sum < 0 ? 0 - static_cast<std::uint64_t>(sum) : static_cast<std::uint64_t>(sum);
  std::uint64_t nz = 0;
  if (scaled_decimal<6>(magnitude, scale, nz)) {
    all_fit = fixed_fast::put_scaled<10, 6>(nz, sum < 0, out + 26) && all_fit;
  } else {
    // A decimal tie: the double sum decides.
    all_fit = edit_field<10, 6>(z.to_double() + offset, out + 26) && all_fit;
  }
  fits = all_fit;
  return true;
}

}  // namespace kw

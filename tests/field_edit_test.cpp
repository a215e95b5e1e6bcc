// Output fields: worked values, rounding of exact ties, overflow after
// rounding, signs of zero, and agreement with an independent exact
// formatter on many values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "records/data_record.h"
#include "records/field_edit.h"
#include "support/oracles.h"

namespace kw {
namespace {

using test::reference_fixed;

// The program's fields as edit_field makes them: the fast path where it
// decides, asterisks otherwise.
template <int Width, int Decimals>
std::string field(double value, bool* fits = nullptr) {
  std::string text(Width, '?');
  const bool ok = edit_field<Width, Decimals>(value, text.data());
  if (fits != nullptr) *fits = ok;
  return text;
}

std::string integer(std::int32_t value, int width) {
  std::string field(static_cast<std::size_t>(width), '?');
  edit_integer(value, width, 2, field.data());
  return field;
}

struct FixedCase {
  double value;
  int width, decimals;
  const char* expected;
};

// A worked value in one of the program's fields: its text, and whether
// edit_field says it fits.
template <int Width, int Decimals>
void expect_program_field(const FixedCase& c) {
  bool fits = false;
  EXPECT_EQ((field<Width, Decimals>(c.value, &fits)), c.expected) << c.value;
  EXPECT_EQ(fits, c.expected[0] != '*') << c.value;
}

// Worked values of Fw.d: the oracle's for every width and decimal count,
// and the program's own for its fields, F9.5 and F10.6.
TEST(EditFixed, WorkedValuesTiesAndOverflow) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  const FixedCase cases[] = {
      {0.123456, 9, 5, "  0.12346"},
      {-0.0123456, 9, 5, " -0.01235"},
      {-0.3456789, 10, 6, " -0.345679"},
      {0.015625, 9, 5, "  0.01562"},  // exact binary tie: to the even digit
      {0.046875, 9, 5, "  0.04688"},
      {2.5, 4, 0, "  2."},
      {0.1, 9, 5, "  0.10000"},
      {999.999994, 9, 5, "999.99999"},
      {999.999996, 9, 5, "*********"},  // overflow is judged after rounding
      {-99.999994, 9, 5, "-99.99999"},
      {-99.999996, 9, 5, "*********"},
      {1000.0, 9, 5, "*********"},
      {999.9999994, 10, 6, "999.999999"},
      {-999.9999994, 10, 6, "**********"},
      {-0.000004, 9, 5, "  0.00000"},  // rounds to zero: no sign
      {-0.0, 10, 6, "  0.000000"},
      {-0.0000005, 10, 6, "  0.000000"},  // below the tie (0.5e-6 is not exact)
      {inf, 10, 6, "**********"},
      {std::numeric_limits<double>::quiet_NaN(), 9, 5, "*********"},
      {1e300, 9, 5, "*********"},
      {std::numeric_limits<double>::denorm_min(), 9, 5, "  0.00000"},
      // The zero before the point goes only when nothing else fits.
      {0.5, 5, 4, ".5000"},
      {-0.5, 6, 4, "-.5000"},
      {-0.5, 7, 4, "-0.5000"},
      {0.99996, 5, 4, "*****"},  // rounds to 1.0000: no zero to drop
      // From 10^9 on, and NaN, the program's fields without the fast path.
      {999'999'999.9, 9, 5, "*********"},
      {1e9, 9, 5, "*********"},
      {-1e9, 10, 6, "**********"},
      {-inf, 9, 5, "*********"},
      {std::numeric_limits<double>::quiet_NaN(), 10, 6, "**********"},
      {-1e300, 10, 6, "**********"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(reference_fixed(c.value, c.width, c.decimals), c.expected) << c.value;
    if (c.width == 9 && c.decimals == 5) expect_program_field<9, 5>(c);
    if (c.width == 10 && c.decimals == 6) expect_program_field<10, 6>(c);
  }
}

TEST(EditField, AgreesWithTheExactExpansion) {
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> uniform(-1100.0, 1100.0);
  std::uniform_int_distribution<std::int64_t> sixths(-999'999'999, 999'999'999);
  for (int i = 0; i < 200'000; ++i) {
    double values[4];
    values[0] = uniform(rng);
    // Six-decimal data: many are exact binary ties at five decimals.
    values[1] = static_cast<double>(sixths(rng)) / 1e6;
    // One unit in the last place either side of a decimal tie.
    const std::int64_t whole = sixths(rng) / 10;
    const double tie = (static_cast<double>(whole) + 0.5) / 1e5;
    values[2] = std::nextafter(tie, 0.0);
    values[3] = std::nextafter(tie, 1e9);
    for (const double v : values) {
      ASSERT_EQ((field<9, 5>(v)), reference_fixed(v, 9, 5)) << v;
      ASSERT_EQ((field<10, 6>(v)), reference_fixed(v, 10, 6)) << v;
    }
  }
  for (int k = -64'000; k <= 64'000; ++k) {  // every multiple of 1/64 up to the field edges
    const double v = k / 64.0;
    ASSERT_EQ((field<9, 5>(v)), reference_fixed(v, 9, 5)) << v;
    ASSERT_EQ((field<10, 6>(v)), reference_fixed(v, 10, 6)) << v;
  }
}

TEST(EditInteger, ZeroFilledRightJustifiedOrAsterisks) {
  const struct {
    std::int32_t value;
    int width;
    const char* expected;
  } cases[] = {
      {5, 2, "05"},
      {0, 2, "00"},
      {99, 2, "99"},
      {100, 2, "**"},
      {-5, 2, "**"},
      {1, 3, " 01"},
      {12, 3, " 12"},
      {999, 3, "999"},
      {1000, 3, "***"},
      {-5, 3, "-05"},
      {-99, 3, "-99"},
      {-100, 3, "***"},
      {INT32_MIN, 3, "***"},
      {INT32_MIN, 11, "-2147483648"},
      {INT32_MAX, 12, "  2147483647"},
  };
  for (const auto& c : cases) EXPECT_EQ(integer(c.value, c.width), c.expected) << c.value;
}

TEST(OutputRecord, WorkedRecordAndOverflowFlag) {
  char out[kOutputWidth];
  const DataRecord worked{{96, 1, 5}, {0.123456, -0.0123456, -0.3456789}};
  EXPECT_TRUE(edit_output_record(worked, out));
  EXPECT_EQ(std::string(out, kOutputWidth), "96 01 05  0.12346 -0.01235 -0.345679");

  const DataRecord wide_year{{100, 1, 5}, {0, 0, 0}};
  EXPECT_FALSE(edit_output_record(wide_year, out));
  EXPECT_EQ(std::string(out, kOutputWidth), "** 01 05  0.00000  0.00000  0.000000");

  const DataRecord wide_values{{99, 12, 31}, {1000.0, 0, std::numeric_limits<double>::infinity()}};
  EXPECT_FALSE(edit_output_record(wide_values, out));
  EXPECT_EQ(std::string(out, kOutputWidth), "99 12 31*********  0.00000**********");
}

}  // namespace
}  // namespace kw

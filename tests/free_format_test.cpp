// The free-format reader on the data record's six items: which value
// decides an error, and what each well-formed value converts to.
#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <limits>
#include <string>

#include "records/data_record.h"
#include "records/free_format.h"

namespace kw {
namespace {

struct ParseCase {
  const char* name;  // the case's name in the test list
  std::string columns;
  ReadStatus status;
  DataRecord expected{};  // checked when status is ok
};

// A failing case is named by its name, not by its bytes.
void PrintTo(const ParseCase& c, std::ostream* os) {
  *os << c.name;
}

DataRecord rec(std::int32_t y, std::int32_t m, std::int32_t d, double a, double b, double c) {
  return DataRecord{{y, m, d}, {a, b, c}};
}

class DataRecordParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(DataRecordParse, Reads) {
  const ParseCase& c = GetParam();
  DataRecord record;
  ASSERT_EQ(parse_data_record(c.columns, record), c.status) << '"' << c.columns << '"';
  if (c.status != ReadStatus::ok) return;
  EXPECT_EQ(record.idate, c.expected.idate);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(record.xval[i], c.expected.xval[i]) << i;
    EXPECT_EQ(std::signbit(record.xval[i]), std::signbit(c.expected.xval[i])) << i;
  }
}

std::string case_name(const ::testing::TestParamInfo<ParseCase>& info) {
  return info.param.name;
}

constexpr ReadStatus ok = ReadStatus::ok;
constexpr ReadStatus missing = ReadStatus::missing;
constexpr ReadStatus bad = ReadStatus::syntax;
constexpr ReadStatus wide = ReadStatus::conversion;

INSTANTIATE_TEST_SUITE_P(
    Separators, DataRecordParse,
    ::testing::Values(ParseCase{"single_blanks", "96 01 05 0.123456 -0.0123456 -0.3456789", ok,
                                rec(96, 1, 5, 0.123456, -0.0123456, -0.3456789)},
                      ParseCase{"commas", "96,1,5,1,2,3", ok, rec(96, 1, 5, 1, 2, 3)},
                      ParseCase{"blanks_around_commas", " 96 , 1 ,5, 1 ,  2 ,3   ", ok,
                                rec(96, 1, 5, 1, 2, 3)},
                      ParseCase{"tabs", "96\t1\t5\t1\t2\t3", ok, rec(96, 1, 5, 1, 2, 3)},
                      ParseCase{"trailing_comma", "96 1 5 1 2 3,", ok,
                                rec(96, 1, 5, 1, 2, 3)},  // a trailing comma is no value
                      ParseCase{"after_sixth_ignored", "96 1 5 1 2 3 ,, x", ok,
                                rec(96, 1, 5, 1, 2, 3)},                 // after the sixth: ignored
                      ParseCase{"leading_comma", ",96 1 5 1 2 3", bad},  // leading null value
                      ParseCase{"two_commas", "96,,1 5 1 2 3", bad},     // null value
                      ParseCase{"two_commas_with_blank", "96, ,1 5 1 2 3", bad},
                      ParseCase{"five_values", "96 1 5 1 2", missing},
                      ParseCase{"five_values_and_comma", "96 1 5 1 2,", missing},
                      ParseCase{"empty_record", "", missing},
                      ParseCase{"real_as_second_integer", "17 1.5 3",
                                wide},  // the second item decides, not the count
                      ParseCase{"letter_as_second_item", "17 x", bad}),
    case_name);

INSTANTIATE_TEST_SUITE_P(
    Integers, DataRecordParse,
    ::testing::Values(
        ParseCase{"signs_and_leading_zeros", "+96 -01 007 0 0 0", ok, rec(96, -1, 7, 0, 0, 0)},
        ParseCase{"int32_limits", "2147483647 -2147483648 0 0 0 0", ok,
                  rec(INT32_MAX, INT32_MIN, 0, 0, 0, 0)},
        ParseCase{"many_leading_zeros", "00000000000000000000012 1 1 0 0 0", ok,
                  rec(12, 1, 1, 0, 0, 0)},
        ParseCase{"beyond_int32_max", "2147483648 1 1 0 0 0", wide},
        ParseCase{"below_int32_min", "1 -2147483649 1 0 0 0", wide},
        ParseCase{"twenty_digits", "99999999999999999999 1 1 0 0 0", wide},
        ParseCase{"integer_with_point", "96. 1 1 0 0 0", wide},
        ParseCase{"integer_starting_with_point", "96 .1 1 0 0 0", wide},
        ParseCase{"integer_with_exponent", "96 1 1e1 0 0 0", wide},
        ParseCase{"letter_as_day", "96 1 x 0 0 0", bad},
        ParseCase{"sign_alone", "+ 1 1 0 0 0", bad}, ParseCase{"two_signs", "+-1 1 1 0 0 0", bad},
        ParseCase{"sign_after_digits", "1+ 1 1 0 0 0", bad},
        ParseCase{"repeat_count", "2*1 1 1 0 0 0", bad},  // repeat counts are not read
        ParseCase{"slash", "96/ 1 1 0 0 0", bad},         // nor the slash
        ParseCase{"quotes", "'96' 1 1 0 0 0", bad}));     // nor quotes

INSTANTIATE_TEST_SUITE_P(
    Reals, DataRecordParse,
    ::testing::Values(
        ParseCase{"signs_and_exponents", "1 1 1 +1.5 -2.5E3 3e-2", ok,
                  rec(1, 1, 1, 1.5, -2500, 0.03)},
        ParseCase{"points_at_either_end", "1 1 1 1. .5 -.5", ok, rec(1, 1, 1, 1, 0.5, -0.5)},
        ParseCase{"exponent_forms", "1 1 1 1.e2 1E+2 1e002", ok, rec(1, 1, 1, 100, 100, 100)},
        ParseCase{"negative_zeros", "1 1 1 -0 -0.0 0e99999999999", ok, rec(1, 1, 1, -0.0, -0.0, 0)},
        ParseCase{"underflow_to_zero", "1 1 1 1e-400 -1e-400 4.9e-324", ok,
                  rec(1, 1, 1, 0, -0.0, std::numeric_limits<double>::denorm_min())},
        ParseCase{"huge_negative_exponent", "1 1 1 0 0 1e-99999999999999999999", ok,
                  rec(1, 1, 1, 0, 0, 0)},
        // Ties between doubles are broken by the digits far to the right.
        ParseCase{"tie_broken_far_right", "1 1 1 9007199254740993 0 0", ok,
                  rec(1, 1, 1, 9007199254740992.0, 0, 0)},
        ParseCase{"tie_broken_by_decimals", "1 1 1 9007199254740993.000001 0 0", ok,
                  rec(1, 1, 1, 9007199254740994.0, 0, 0)},
        ParseCase{"largest_double", "1 1 1 1.7976931348623157e308 0 0", ok,
                  rec(1, 1, 1, std::numeric_limits<double>::max(), 0, 0)},
        ParseCase{"beyond_largest_double", "1 1 1 1.8e308 0 0", wide},
        ParseCase{"beyond_smallest_double", "1 1 1 0 -1e309 0", wide},
        ParseCase{"huge_exponent", "1 1 1 0 0 1e99999999999999999999", wide},
        ParseCase{"d_exponent", "1 1 1 1d0 0 0", bad},  // D exponents are not read
        ParseCase{"point_alone", "1 1 1 . 0 0", bad},
        ParseCase{"exponent_alone", "1 1 1 e5 0 0", bad},
        ParseCase{"exponent_without_digits", "1 1 1 1e 0 0", bad},
        ParseCase{"exponent_sign_without_digits", "1 1 1 1e+ 0 0", bad},
        ParseCase{"fractional_exponent", "1 1 1 1e5.0 0 0", bad},
        ParseCase{"two_points", "1 1 1 1.2.3 0 0", bad}, ParseCase{"nan", "1 1 1 nan 0 0", bad},
        ParseCase{"inf", "1 1 1 inf 0 0", bad}, ParseCase{"infinity", "1 1 1 -infinity 0 0", bad},
        ParseCase{"hexadecimal", "1 1 1 0x10 0 0", bad},
        ParseCase{"carriage_return", "1 1 1 0 0 3\r", bad},  // a CR that is not before an LF
        ParseCase{"nul_character", std::string("1 1 1 0 0 3\0", 12), bad}),
    case_name);

TEST(ListReader, ManyDigitsAndLongExponentsAreExact) {
  // 0.(350 zeros)1 times 10^360 is 1e9.
  const std::string tiny_times_huge = "0." + std::string(350, '0') + "1e360";
  double value = 0.0;
  ListReader reader(tiny_times_huge);
  ASSERT_EQ(reader.next_real(value), ReadStatus::ok);
  EXPECT_EQ(value, 1e9);

  // The exact binary value of 0.1, alone and with a tiny excess far to the
  // right: both are nearest to 0.1.
  const std::string exact = "0.1000000000000000055511151231257827021181583404541015625";
  const std::string both = exact + " " + exact + "000000000000000000001";
  ListReader exact_reader(both);
  double a = 0.0;
  double b = 0.0;
  ASSERT_EQ(exact_reader.next_real(a), ReadStatus::ok);
  ASSERT_EQ(exact_reader.next_real(b), ReadStatus::ok);
  EXPECT_EQ(a, 0.1);
  EXPECT_EQ(b, 0.1);
}

}  // namespace
}  // namespace kw

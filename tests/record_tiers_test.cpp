// The record conversion's tiers against the general tier, in the layouts of
// real data files: whichever tier converts a record, the bytes are those of
// the general reader and editor; and the layout tier does take the records
// of every layout it is meant to learn.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "conversion/tiers/layout_tier.h"
#include "conversion/tiers/record_tiers.h"
#include "records/data_record.h"
#include "support/leap_tables.h"
#include "timescale/date_offsets.h"

namespace kw {
namespace {

// A record as the run hands it to the tiers: its parsed columns, then
// blanks.
std::string slot_of(const std::string& line) {
  std::string slot = line.substr(0, kParsedColumns);
  slot.resize(kSlotWidth, ' ');
  return slot;
}

// The general tier alone: what every tier must give.
Converted general(const LeapTable& table, const std::string& slot, char* out) {
  DataRecord record;
  const std::string_view columns(slot.data(), kParsedColumns);
  if (is_blank_record(columns)) return Converted::blank;
  if (parse_data_record(columns, record) != ReadStatus::ok) return Converted::failed;
  record.xval[2] = record.xval[2] + offset_on(table, record.idate);
  return edit_output_record(record, out) ? Converted::fits : Converted::overflow;
}

struct LayoutCase {
  const char* name;
  std::vector<std::string> records;  // consecutive records of one file
  bool learnt;                       // the layout tier takes every record that fits
};

class RecordTiers : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(RecordTiers, GiveTheGeneralTiersBytes) {
  const LeapTable table = test::real_leap_table();
  const DateOffsets dates(table);
  RecordConverter converter(table, dates);
  LayoutTier layout;
  for (const std::string& line : GetParam().records) {
    const std::string slot = slot_of(line);
    char want[kOutputWidth] = {};
    char got[kOutputWidth + 2] = {};
    ReadStatus status = ReadStatus::ok;
    const Converted expected = general(table, slot, want);
    ASSERT_EQ(converter.convert(slot.data(), got, status), expected) << line;
    if (expected == Converted::fits || expected == Converted::overflow) {
      EXPECT_EQ(std::string(got, kOutputWidth), std::string(want, kOutputWidth)) << line;
    }
    char by_layout[kOutputWidth + 2] = {};
    const bool taken = layout.convert(slot.data(), dates, by_layout);
    if (taken) {
      EXPECT_EQ(std::string(by_layout, kOutputWidth), std::string(want, kOutputWidth)) << line;
    }
    if (GetParam().learnt && expected == Converted::fits) {
      EXPECT_TRUE(taken) << line;
    }
  }
}

std::string case_name(const ::testing::TestParamInfo<LayoutCase>& info) {
  return info.param.name;
}

// Each layout with the values the editing finds hardest: a tie at the fifth
// decimal (decided by the double), nines that carry through the point, a
// negative value that rounds to zero, fewer decimals, a third value whose
// sum changes sign, and a field too wide (asterisks, left to the general
// tier).
INSTANTIATE_TEST_SUITE_P(
    Layouts, RecordTiers,
    ::testing::Values(
        LayoutCase{
            "single_blanks",
            {"96 01 05 0.123456 -0.012345 -29.451350", "96 01 06 0.000005 0.999995 -0.000001",
             "96 01 07 -0.000004 9.999996 -31.5", "96 01 08 0.100005 -99.999995 -30.999999",
             "96 01 10 0.3 0.25 -30.000000", "96 01 09 1000.000000 0.5 0.25"},
            true},
        LayoutCase{
            "padded_columns",
            {"62 01 01  0.242729 -0.134815  0.447919", "62 01 02  0.242735 -0.134805  0.447105",
             "62 01 03 -0.000005  0.000015 -9.999999"},
            true},
        LayoutCase{
            "blank_padded_dates",
            {"62  1  1  0.242729 -0.134815  0.447919", "62  1 10  0.242735 -0.134805  0.447105",
             "62 12 31  0.242735 -0.134805 -3.100000", " 5  2  9 0.1 0.2 0.3"},
            true},
        LayoutCase{
            "one_digit_dates", {"5 1 9 0.123456 0.654321 -29.999999", "5 1 10 0.1 0.2 0.3"}, true},
        LayoutCase{"commas",
                   {"96,01,05,0.123456,-0.012345,-29.451350",
                    "96, 1, 6, 0.000005, 0.999995, -0.000001", "96 , 1 , 7 , -0.3 , 0.5 , 0.25"},
                   true},
        LayoutCase{"tabs",
                   {"96\t01\t05\t0.123456\t-0.012345\t-29.451350",
                    "96\t01\t06\t0.000005\t0.999995\t-0.0001", " \t96 \t1\t7\t0.3\t0.5\t0.25"},
                   true},
        LayoutCase{"output_read_back",
                   {"96 01 05  0.12346 -0.01235 -0.345679", "96 01 06  0.00000  1.00000  2.000000"},
                   true},
        LayoutCase{"cut_at_column_38",
                   {"96 01 05 111.123456 -22.12345 33.12345678",
                    "96 01 05 -123.123456 -123.123456 -123.123456"},
                   true},
        // Records the layout tier leaves to the others: signs and exponents,
        // more digits, dates out of the table, a fraction of a day, bad
        // records and blank ones.
        LayoutCase{
            "other_shapes",
            {"96 01 05 +0.123456 1e-3 2.5E1", "96 01 05 1234.5 0.1234567 12",
             "96 13 05 0.1 0.2 0.3", "1996 1 5 0.1 0.2 0.3", "96 1 5 .5 5. -.5", "96 01 05 0.1 0.2",
             "96 01 05 0.1 x 0.3", "96,,01 05 0.1 0.2 0.3", ",96 01 05 0.1 0.2 0.3",
             " , 96 1 5 1 2 3", "                 ", "96 1 5 1e400 0 0"},
            false}),
    case_name);

}  // namespace
}  // namespace kw

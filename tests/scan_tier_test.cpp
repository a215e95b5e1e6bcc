// The record conversion against the general tier, in the layouts of real
// data files: whichever tier converts a record, the bytes are those of the
// general reader and editor, and the scan tier does take the records of
// every layout it is meant to.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "conversion/convert_records.h"
#include "conversion/record_batch.h"
#include "conversion/tiers/general_tier.h"
#include "conversion/tiers/record_tiers.h"
#include "conversion/tiers/scan_alone.h"
#include "conversion/tiers/scan_tier.h"
#include "records/data_record.h"
#include "support/files.h"
#include "support/held_record.h"
#include "support/leap_tables.h"
#include "timescale/date_offsets.h"

namespace kw {
namespace {

struct LayoutCase {
  const char* name;
  std::vector<std::string> records;  // consecutive records of one file
  bool scanned;                      // the scan tier takes every record that fits
};

// A failing case is named by its name, not by its bytes.
void PrintTo(const LayoutCase& c, std::ostream* os) {
  *os << c.name;
}

// One record converted as the batches convert theirs: a block of it alone,
// through the tiers' entry. Its answer, output field and zone as the
// general tier gives them.
Converted convert_in_block(const std::string& line, const DateOffsets& offsets, char* out,
                           ReadStatus& status, DateZone& zone) {
  static BlockTiers tiers;
  std::vector<char> store(BlockTiers::kBefore + line.size() + 1 + BlockTiers::kAfter, '7');
  char* records = store.data() + BlockTiers::kBefore;
  line.copy(records, line.size());
  records[line.size()] = '\n';
  char output[kReverseRecord] = {};
  std::uint32_t zoned[1] = {};
  std::vector<std::uint32_t> overflowed;
  std::uint64_t stopped_at = 0;
  status = ReadStatus::ok;
  const BlockConverted converted = tiers.convert(records, line.size() + 1, offsets,
                                                 {output, zoned, overflowed, status, stopped_at});
  EXPECT_EQ(converted.lines, 1U) << line;
  std::memcpy(out, output, kOutputRoom);
  zone = converted.zoned_end != zoned ? static_cast<DateZone>(zoned[0] % 4) : DateZone::known;
  if (status != ReadStatus::ok) return Converted::failed;
  if (converted.out_end == output) return Converted::blank;
  EXPECT_EQ(converted.out_end, output + output_record_bytes(offsets.direction())) << line;
  return overflowed.empty() ? Converted::fits : Converted::overflow;
}

class RecordTiers : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(RecordTiers, MatchTheGeneralTier) {
  const LeapTable tables[] = {test::shipped_leap_table(), test::odd_leap_table()};
  for (const LeapTable& table : tables) {
    const bool shipped = &table == &tables[0];
    const DateOffsets offsets(table);
    for (const std::string& line : GetParam().records) {
      test::HeldRecord held(line);
      char want[kOutputRoom] = {};
      ReadStatus want_status = ReadStatus::ok;
      DateZone want_zone{};
      const Converted expected =
          convert_generally(held.slot(), offsets, want, want_status, want_zone);
      // The entry, through all its tiers.
      char got[kOutputRoom] = {};
      ReadStatus status = ReadStatus::ok;
      DateZone got_zone{};
      EXPECT_EQ(convert_in_block(line, offsets, got, status, got_zone), expected) << line;
      if (expected == Converted::fits || expected == Converted::overflow) {
        EXPECT_EQ(got_zone, want_zone) << line;
        EXPECT_EQ(std::string(got, kOutputWidth), std::string(want, kOutputWidth)) << line;
      }
      if (expected == Converted::failed) {
        EXPECT_EQ(status, want_status) << line;
      }
      // The scan tier alone.
      char scanned[kOutputRoom] = {};
      DateZone zone{};
      const Converted by_scan = scan_alone(held.text(), offsets, scanned, zone);
      if (by_scan != Converted::undecided) {
        EXPECT_EQ(by_scan, expected) << line;
        EXPECT_EQ(zone, want_zone) << line;
        EXPECT_EQ(std::string(scanned, kOutputWidth), std::string(want, kOutputWidth)) << line;
      } else {
        // With the shipped table's whole offsets, every record of a
        // layout it is meant for that fits is the scan tier's.
        EXPECT_FALSE(GetParam().scanned && shipped && expected == Converted::fits) << line;
      }
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
                    "96, 1, 6, 0.000005, 0.999995, -0.000001", "96 , 1 , 7 , -0.3 , 0.5 , 0.25",
                    // Commas right after values and after blanks, one after
                    // the sixth value.
                    "96,1 ,8, 0.1 ,0.2,0.3,"},
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
        // As a script printing floats writes them: widths that change from
        // record to record, up to the seventeen digits of a double.
        LayoutCase{"shortest_floats",
                   {"62 1 1 0.17 0.48 -29.45", "62 1 2 0.169888 0.478866 -29.448857",
                    "62 1 3 0.1 -0.000001 -0.0", "62 1 4 0.12345678901234568 5.0 0.3333333333",
                    "62 1 5 0.1000050000000 0.999995 -37.0000005", "7 12 31 .5 5. -.5",
                    "7 2 1 0.999999999999 -0.000005 -0.0000005"},
                   true},
        // A third value of seven to fourteen decimals: rounded at the sixth
        // before the offset is added, a tie (the sum's sign flipped or not,
        // an exact binary one) decided by the double sum, nines carried
        // into the whole seconds.
        LayoutCase{"seventh_decimals",
                   {"96 01 05 0.1 0.2 -29.4493035", "96 01 05 0.1 0.2 29.4493035",
                    "96 01 05 0.1 0.2 -0.0078125", "96 01 05 0.1 0.2 0.0078125",
                    "96 01 05 0.1 0.2 -31.0000005", "96 01 05 0.1 0.2 -9.99999951",
                    "96 01 05 0.1 0.2 -1.12345678901234", "96 01 05 0.1 0.2 999.9999996"},
                   true},
        // Integers among the reals: read as with a point after them.
        LayoutCase{"integers",
                   {"62 1 1 0 0 -29", "62 1 2 -1 12 30", "96 01 05 +5 7 0.5", "96,1,5,1,2,3",
                    "96 1 5 0.5 1 -29.5", "96 1 5 999 -99 -999", "96 1 5 -0 0.000004 0"},
                   true},
        // Records the scan tier leaves to the general one: signs and exponents,
        // more digits, dates out of the table, a fraction of a day, bad
        // records and blank ones.
        LayoutCase{
            "other_shapes",
            {"96 01 05 +0.123456 1e-3 2.5E1", "96 01 05 1234.5 0.1234567 12",
             "96 13 05 0.1 0.2 0.3", "1996 1 5 0.1 0.2 0.3", "96 01 05 0.1 0.2",
             "96 01 05 0.1 x 0.3", "96,,01 05 0.1 0.2 0.3", ",96 01 05 0.1 0.2 0.3",
             "96 01 05 . 0.2 0.3", "96 01 05 0.1 -. 0.3", "96 01 05 0.1 +.5 -.", " , 96 1 5 1 2 3",
             "                 ", "96 1 5 1e400 0 0", "7 2 1 0.1 0.2 0.0000005000000000001",
             // A third value of more than twelve decimals whose sum with the
             // offset lies within 10^-19 of a tie, on either side.
             "07 02 01 0.1 0.2 -0.0000004999999999999", "07 02 01 0.1 0.2 -0.0000005000000000001",
             "96 02 01 0.1 0.2 -0.0000004999999999999", "96 02 01 0.1 0.2 -0.0000015000000000001",
             "80 02 01 0.1 0.2 -0.0000024999999999999", "62 02 01 0.1 0.2 -0.0000034999999999999",
             // A second value a unit of the twelfth decimal from a tie at
             // the fifth, beyond the twelfth: only the double decides.
             "7 11 12 9.6 83.000004999999998 299.8",
             // Sums that round to zero, and one within 10^-12 of a tie.
             "96 01 05 0.1 0.2 -30.0000005", "62 01 05 0.1 0.2 -9.0000004",
             "96 01 05 0.1 0.2 -29.99999949999999"},
            false}),
    case_name);

// What a run writes of the file `data` through the batches, two workers.
std::string converted_file(const std::string& data, const DateOffsets& offsets) {
  test::TempDir dir;
  test::write_file(dir.path() / "data", data);
  {
    InputUnit input(1, (dir.path() / "data").string());
    OutputUnit output(2, (dir.path() / "out").string());
    ZoneCounts counts;
    convert_records(input, output, offsets, 2, counts);
    output.close();
  }
  return test::read_file(dir.path() / "out");
}

// Files whose records the batches must find one by one, over several
// batches and both workers: blank lines and lone carriage returns, records
// longer than a mask window (56 bytes) or two, values of any shape in the
// parsed columns and anything after them. Each record comes out as the
// general tier converts it alone.
TEST(Batches, ConvertEachRecordAsTheGeneralTierAlone) {
  std::mt19937 random(20261213);
  const auto pick = [&random](unsigned n) { return static_cast<unsigned>(random()) % n; };
  const DateOffsets offsets(test::shipped_leap_table());
  std::string data;
  std::string want;
  for (int k = 0; k < 20000; ++k) {
    std::string line;
    if (pick(10) != 0) {
      const char* separator = pick(6) == 0 ? ", " : pick(6) == 0 ? "\t" : " ";
      line = std::string(pick(3), ' ') + std::to_string(pick(100)) + separator +
             std::to_string(1 + pick(12)) + separator + std::to_string(1 + pick(28));
      for (int v = 0; v < 3; ++v) {
        line.append(separator).append(pick(2) == 0 ? "-" : "");
        line.append(std::to_string(pick(40)));
        if (pick(8) != 0) line.append(".").append(std::to_string(pick(10000000)));
      }
      line.resize(std::min<std::size_t>(line.size(), kParsedColumns));
      line.append(pick(3) == 0 ? pick(130) : 0, "x9 ."[pick(4)]);
    }
    test::HeldRecord held(line);
    char record[kOutputRoom] = {};
    ReadStatus status = ReadStatus::ok;
    DateZone zone{};
    const Converted expected = convert_generally(held.slot(), offsets, record, status, zone);
    if (expected == Converted::failed) continue;  // the run would stop there
    if (expected != Converted::blank) want += std::string(record, kOutputWidth) + "\r\n";
    data += line + (pick(4) == 0 ? "\n" : "\r\n");
  }
  EXPECT_GT(data.size(), 4 * RecordBatch::kStoreBytes);  // several batches
  EXPECT_TRUE(converted_file(data, offsets) == want);
}

// In reverse the third field stands a column right of its place, a blank
// before it, whichever tier writes the record: the scan tier (a plain
// record), the scan tier from the digits (integers), the general tier (an
// exponent, a comma, a field too wide). Each record is the general tier's,
// in place, with the field moved.
TEST(ScanTier, ReverseLayoutMovesTheThirdField) {
  const DateOffsets offsets(test::shipped_leap_table(), Direction::subtract);
  const char* const kLines[] = {"72 01 01 0.030400 0.018700 -10.045486",
                                "99 12 31 12 -3 7",
                                "72 1 1 1e2 1.5E-3 -0.5e1",
                                "05,06,30,0.25,-0.125,33.5",
                                "72 01 01 0.03 0.01 123456789.0",
                                "17 01 01 99999.999999 -99999.99999 1",
                                "",
                                "30 01 01 .5 -.5 +1.25"};
  std::string data;
  std::string want;
  for (int round = 0; round < 300; ++round) {
    for (const char* line : kLines) {
      test::HeldRecord held(line);
      char record[kOutputRoom] = {};
      ReadStatus status = ReadStatus::ok;
      DateZone zone{};
      const Converted in_place = convert_generally(held.slot(), offsets, record, status, zone);
      ASSERT_NE(in_place, Converted::failed) << line;
      data += std::string(line) + "\r\n";
      if (in_place == Converted::blank) continue;
      const std::string fields(record, kOutputWidth);
      want += fields.substr(0, static_cast<std::size_t>(kZField.at)) + ' ' +
              fields.substr(static_cast<std::size_t>(kZField.at)) + "\r\n";
    }
  }
  EXPECT_TRUE(converted_file(data, offsets) == want);
}

}  // namespace
}  // namespace kw

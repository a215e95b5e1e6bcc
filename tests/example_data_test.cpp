// The shipped example against the data it comes from: examples/KW_PVZ.DAT
// is the program's own --reverse of the published C04 series from 1972,
// byte for byte; the program run on it gives back the series (x and y to
// the fifth decimal, UT1-UTC to the sixth, a tie of the seventh either
// way), and the shipped ls.ini is the IERS table of TAI-UTC. They need the
// published files (Debian's python3-astropy); without them the tests are
// reported as skipped.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/leap_tables.h"
#include "support/oracles.h"
#include "support/program_tree.h"
#include "support/run_program.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

const fs::path kPublished = KW_IERS_DATA_DIR;

std::vector<std::vector<std::string>> data_lines(const fs::path& file) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream text(test::read_file(file));
  for (std::string line; std::getline(text, line);) {
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    if (!fields.empty() && fields[0][0] != '#') lines.push_back(fields);
  }
  return lines;
}

// A published value of 7 decimals rounded to 6, as F10.6: the nearest
// value, or at a tie of the seventh decimal either neighbour (the program
// rounds the exact binary value of UT1-UTC - TAI-UTC, a hair off the tie).
std::vector<std::string> six_decimals(const std::string& text) {
  const bool negative = text[0] == '-';
  const std::size_t point = text.find('.');
  const std::string digits = text.substr(negative ? 1 : 0, point - (negative ? 1 : 0)) +
                             (text.substr(point + 1) + "0000000").substr(0, 7);
  const long long units = std::stoll(digits);
  std::vector<long long> micros = {units / 10};
  const long long rest = units % 10;
  if (rest > 5) micros[0] += 1;
  if (rest == 5) micros.push_back(units / 10 + 1);
  std::vector<std::string> fields;
  for (const long long micro : micros) {
    char field[48];
    std::snprintf(field, sizeof field, "%s%lld.%06lld", negative && micro != 0 ? "-" : "",
                  micro / 1000000, micro % 1000000);
    const std::string value = field;
    fields.push_back(std::string(10 - value.size(), ' ') + value);
  }
  return fields;
}

TEST(ExampleData, TheConversionGivesBackThePublishedSeries) {
  const fs::path c04 = kPublished / "eopc04_IAU2000.62-now";
  if (!fs::exists(c04))
    GTEST_SKIP() << "needs astropy's published series " << c04 << " (install python3-astropy)";
  test::Tree tree;
  test::write_file(tree.data(), test::read_file(fs::path(KW_EXAMPLES_DIR) / "KW_PVZ.DAT"));
  const test::RunResult run = tree.run();
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  const std::string output = tree.output();
  int days = 0;
  std::size_t at = 0;
  for (const auto& f : data_lines(c04)) {
    if (f.size() < 7 || std::atoi(f[0].c_str()) < 1972) continue;
    char date[16];
    std::snprintf(date, sizeof date, "%02d%3.2d%3.2d", std::atoi(f[0].c_str()) % 100,
                  std::atoi(f[1].c_str()), std::atoi(f[2].c_str()));
    const std::string fields = date +
                               test::reference_fixed(std::strtod(f[4].c_str(), nullptr), 9, 5) +
                               test::reference_fixed(std::strtod(f[5].c_str(), nullptr), 9, 5);
    ASSERT_LE(at + 38, output.size()) << "record " << days + 1;
    const std::string record = output.substr(at, 38);
    ASSERT_EQ(record.substr(0, 26), fields) << "record " << days + 1;
    const std::vector<std::string> ut1_utc = six_decimals(f[6]);
    EXPECT_TRUE(record.substr(26) == ut1_utc[0] + "\r\n" ||
                (ut1_utc.size() > 1 && record.substr(26) == ut1_utc[1] + "\r\n"))
        << "record " << days + 1 << ": " << record << " for UT1-UTC " << f[6];
    at += 38;
    ++days;
  }
  EXPECT_GT(days, 18000);
  EXPECT_EQ(output.size(), at);
}

// The example is what the program itself makes of the published series:
// its --reverse with the example's table, from 1 January 1972, where the
// table begins (examples/make_example_data.py).
TEST(ExampleData, IsTheProgramsOwnReverseOfThePublishedSeries) {
  const fs::path c04 = kPublished / "eopc04_IAU2000.62-now";
  if (!fs::exists(c04))
    GTEST_SKIP() << "needs astropy's published series " << c04 << " (install python3-astropy)";
  const test::TempDir dir;
  const fs::path examples = KW_EXAMPLES_DIR;
  const test::RunResult run = test::run_program(
      KW_TAI2UTC_PATH, dir.path(),
      {.arguments = {"--table", (examples / "station" / "run" / "ls.ini").string(), "--reverse",
                     c04.string()}});
  ASSERT_EQ(run.exit_status, 0) << run.standard_error;
  const std::size_t first = run.standard_output.find("\r\n72 01 01 ");
  ASSERT_NE(first, std::string::npos);
  EXPECT_TRUE(run.standard_output.substr(first + 2) == test::read_file(examples / "KW_PVZ.DAT"))
      << "examples/make_example_data.py makes the example again";
}

TEST(ExampleData, TheShippedTableIsTheIersTable) {
  const fs::path iers = kPublished / "Leap_Second.dat";
  if (!fs::exists(iers)) GTEST_SKIP() << "needs astropy's " << iers << " (install python3-astropy)";
  std::string expected;
  for (const auto& f : data_lines(iers)) {
    char line[32];
    std::snprintf(line, sizeof line, "%4d%3d%3d%6.1f\r\n", std::atoi(f[3].c_str()),
                  std::atoi(f[2].c_str()), std::atoi(f[1].c_str()), std::atof(f[4].c_str()));
    expected += line;
  }
  EXPECT_EQ(test::shipped_table_text(), expected);
}

// The example's table is the one the tests know: a run of kw_lsini in the
// example's folder rewrites it, and the README's example run then gives
// other lines.
TEST(ExampleData, TheExampleTableIsAsShipped) {
  const fs::path example = fs::path(KW_EXAMPLES_DIR) / "station" / "run" / "ls.ini";
  EXPECT_TRUE(test::read_file(example) == test::shipped_table_text())
      << example.string()
      << " has changed since it was shipped (kw_lsini run in its folder rewrites it); "
         "git checkout examples/station/run/ls.ini gives it back";
}

}  // namespace
}  // namespace kw

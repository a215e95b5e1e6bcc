// The named form, kw_tai2utc [--table FILE] [--reverse] INPUT [OUTPUT],
// against the fixed run: a file converted file to file, from standard
// input to standard output, and by the fixed run gives the same bytes and
// status, and standard error that differs only in the file names; a named
// output is replaced only by a run that ends normally; no run log, new.txt
// or temporary file appears; --reverse undoes the conversion.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/leap_tables.h"
#include "support/messages.h"
#include "support/program_tree.h"
#include "support/run_program.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kw {
namespace {

namespace fs = std::filesystem;

// Every occurrence of `from` in `text` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

struct DataCase {
  const char* name;
  std::string data;
  const char* bad_line = nullptr;  // the line of the record that stops the run, if one does
};

// A failing case is named by its name, not by its bytes.
void PrintTo(const DataCase& c, std::ostream* os) {
  *os << c.name;
}

// `text` without the lines that say which dates the table does not know:
// a named OUTPUT that is left as it was has no records to say them of.
std::string without_table_lines(const std::string& text) {
  std::string kept;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find('\n', at) + 1;
    const std::string line = text.substr(at, end - at);
    if (line.find(" records dated ") == std::string::npos) kept += line;
    at = end;
  }
  return kept;
}

// The start of the line both forms write after the failure line, when a
// record stops the run.
std::string line_of_the_record(const DataCase& c, const std::string& file) {
  return c.bad_line == nullptr
             ? ""
             : "KW_TAI2UTC: line " + std::string(c.bad_line) + " of \"" + file + "\"";
}

class NamedForm : public ::testing::TestWithParam<DataCase> {};

TEST_P(NamedForm, ConvertsAsTheFixedRun) {
  const test::Tree fixed;
  test::write_file(fixed.data(), GetParam().data);
  const test::RunResult by_fixed = fixed.run();
  const std::string fixed_output = fs::exists(fixed.work() / "new.txt") ? fixed.output() : "";
  const std::string data_name = "..\\..\\KW_PVZ.DAT";
  if (GetParam().bad_line != nullptr) {
    EXPECT_NE(by_fixed.standard_error.find("\n" + line_of_the_record(GetParam(), data_name)),
              std::string::npos)
        << by_fixed.standard_error;
  }

  const test::TempDir dir;
  test::write_file(dir.path() / "ls.ini", test::read_file(fixed.work() / "ls.ini"));
  test::write_file(dir.path() / "in.dat", GetParam().data);
  test::write_file(dir.path() / "out.txt", "old contents\r\n");
  const std::set<std::string> before = test::names_in(dir.path());

  // File to file.
  const test::RunResult named =
      test::run_program(KW_TAI2UTC_PATH, dir.path(), {.arguments = {"in.dat", "out.txt"}});
  EXPECT_EQ(named.exit_status, by_fixed.exit_status);
  std::string expected_error = replaced(replaced(by_fixed.standard_error, data_name, "in.dat"),
                                        "file new.txt", "file out.txt");
  if (by_fixed.exit_status != 0) {
    expected_error =
        without_table_lines(expected_error) + "KW_TAI2UTC: \"out.txt\" is left as it was\n";
    EXPECT_EQ(test::read_file(dir.path() / "out.txt"), "old contents\r\n");
  } else {
    EXPECT_EQ(test::read_file(dir.path() / "out.txt"), fixed_output);
  }
  EXPECT_EQ(named.standard_error, expected_error);
  EXPECT_EQ(named.standard_output, "");

  // Standard input to standard output: written as converted, failure or not.
  const test::RunResult piped = test::run_program(
      KW_TAI2UTC_PATH, dir.path(),
      {.arguments = {"--table", "ls.ini", "-"}, .standard_input = dir.path() / "in.dat"});
  EXPECT_EQ(piped.exit_status, by_fixed.exit_status);
  EXPECT_EQ(piped.standard_output, fixed_output);
  EXPECT_EQ(piped.standard_error,
            replaced(replaced(by_fixed.standard_error, data_name, "-"), "file new.txt", "file -"));
  EXPECT_EQ(test::names_in(dir.path()), before);  // no log, new.txt or temporary file
}

std::string repeated(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

// More than a batch of records, so that the workers take part.
const std::string kMany =
    repeated("96 01 05 0.123456 -0.012345 -29.451350\n62  1  1 0.5 1 2\n", 6000);

INSTANTIATE_TEST_SUITE_P(
    Files, NamedForm,
    ::testing::Values(
        DataCase{"many_records", kMany},
        DataCase{"layouts_and_overflows",
                 "96,1,5,0.1,-0.2,-29.5\r\n96\t01\t06\t1000 0 0\r\n 7 2 1 .5 5. -.5\r\n"},
        DataCase{"bad_record_after_many", kMany + "96 01 05 0.1 x 0.3\n" + kMany, "12,001"},
        DataCase{"missing_value", "96 01 05 0.1 0.2\n", "1"},
        DataCase{"value_too_large", "96 01 05 1e400 0 0\n", "1"}, DataCase{"empty", ""}),
    [](const ::testing::TestParamInfo<DataCase>& info) { return std::string(info.param.name); });

// Records in the output layout, with values that stay readable both ways:
// --reverse then the default direction gives back their bytes.
TEST(NamedForm, ReverseThenForwardGivesBackTheRecords) {
  const test::TempDir dir;
  // Offsets of either sign, whole and not.
  test::write_file(dir.path() / "table", "1960 1 1 1.0\n1990 1 1 5.5\n2020 1 1 -3.0\n");
  std::mt19937 random(20261209);
  std::string records;
  for (int i = 0; i < 3000; ++i) {
    char line[64];
    const auto pick = [&random](int n) { return static_cast<int>(random() % n); };
    // Readable records of the output layout; reversed, third values run
    // below -10 s, where the field, but for its blank before, would run
    // into the second.
    std::snprintf(line, sizeof line, "%02d%3.2d%3.2d%9.5f%9.5f%10.6f\r\n", pick(100), 1 + pick(12),
                  1 + pick(28), (pick(1999999) - 999999) / 1e5, (pick(1999999) - 999999) / 1e5,
                  (pick(100000000) - 9999999) / 1e6);
    records += line;
  }
  test::write_file(dir.path() / "in.txt", records);
  const auto run = [&dir](std::vector<std::string> arguments) {
    return test::run_program(KW_TAI2UTC_PATH, dir.path(), {.arguments = std::move(arguments)});
  };
  ASSERT_EQ(run({"--table", "table", "--reverse", "in.txt", "back.txt"}).exit_status, 0);
  ASSERT_EQ(run({"--table=table", "back.txt", "again.txt"}).exit_status, 0);
  EXPECT_EQ(test::read_file(dir.path() / "again.txt"), records);
  EXPECT_NE(test::read_file(dir.path() / "back.txt"), records);
}

// A published table as --table is the table kw_lsini writes from it: the
// same records as the fixed run with the shipped table (the example's
// dates, 1972-2022, lie within every source and before their expiries).
TEST(NamedForm, TakesThePublishedTablesThemselves) {
  const test::Tree fixed;
  const fs::path example = fs::path(KW_EXAMPLES_DIR) / "KW_PVZ.DAT";
  test::write_file(fixed.data(), test::read_file(example));
  ASSERT_EQ(fixed.run().exit_status, 0);
  for (const fs::path& source :
       {fs::path(KW_LEAP_LIST),
        fs::path(KW_HOST_ROOT
                 "/usr/lib/python3/dist-packages/astropy/utils/iers/data/Leap_Second.dat"),
        fs::path(KW_TEST_DATA_DIR) / "tai-utc.dat"}) {
    if (!fs::exists(source)) continue;  // the IERS's is optional
    SCOPED_TRACE(source.string());
    const test::TempDir dir;
    const test::RunResult named =
        test::run_program(KW_TAI2UTC_PATH, dir.path(),
                          {.arguments = {"--table", source.string(), example.string(), "out.txt"}});
    EXPECT_EQ(named.exit_status, 0) << named.standard_error;
    EXPECT_EQ(named.standard_error, "");
    EXPECT_TRUE(test::read_file(dir.path() / "out.txt") == fixed.output());
  }
}

// --reverse, then the default direction, gives back the example's
// converted records to the byte: the third value, UT1-TAI below -10 s,
// has its blank before it.
TEST(NamedForm, ReverseThenForwardGivesBackTheExample) {
  const test::TempDir dir;
  test::write_file(dir.path() / "ls.ini", test::shipped_table_text());
  const std::string table = "ls.ini";
  const auto run = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--table", table});
    return test::run_program(KW_TAI2UTC_PATH, dir.path(), {.arguments = arguments}).exit_status;
  };
  ASSERT_EQ(run({(fs::path(KW_EXAMPLES_DIR) / "KW_PVZ.DAT").string(), "utc.txt"}), 0);
  ASSERT_EQ(run({"--reverse", "utc.txt", "tai.txt"}), 0);
  ASSERT_EQ(run({"tai.txt", "again.txt"}), 0);
  EXPECT_TRUE(test::read_file(dir.path() / "again.txt") == test::read_file(dir.path() / "utc.txt"));
  EXPECT_EQ(test::read_file(dir.path() / "tai.txt").substr(0, 39),
            "72 01 01  0.03040  0.01870 -10.045486\r\n");
}

TEST(NamedForm, RefusesWrongArgumentsAndTouchesNoFile) {
  const std::vector<std::vector<std::string>> wrong = {
      {"--bogus", "in"}, {"--table"}, {"--reverse"}, {"a", "b", "c"}, {"-x"}, {"--table", "t"}};
  for (const auto& arguments : wrong) {
    const test::TempDir dir;
    const test::RunResult result =
        test::run_program(KW_TAI2UTC_PATH, dir.path(), {.arguments = arguments});
    EXPECT_EQ(result.exit_status, 2) << arguments[0];
    EXPECT_TRUE(fs::is_empty(dir.path())) << arguments[0];
  }
  // A missing input or table: nothing made, the output as it was.
  const test::TempDir dir;
  test::write_file(dir.path() / "out.txt", "old");
  const test::RunResult missing =
      test::run_program(KW_TAI2UTC_PATH, dir.path(), {.arguments = {"--table", "none", "in"}});
  EXPECT_EQ(missing.standard_error, "KW_TAI2UTC: \"none\" is missing; no record converted" +
                                        std::string(test::kWriteOrNameTable) + "\n");
  test::write_file(dir.path() / "ls.ini", "1972 1 1 10.0\n");
  const test::RunResult no_input =
      test::run_program(KW_TAI2UTC_PATH, dir.path(), {.arguments = {"in", "out.txt"}});
  EXPECT_NE(no_input.exit_status, 0);
  EXPECT_EQ(no_input.standard_error,
            "forrtl: severe (602): file not found\nKW_TAI2UTC: \"in\": no such file\n"
            "KW_TAI2UTC: \"out.txt\" is left as it was\n");
  EXPECT_EQ(test::names_in(dir.path()), (std::set<std::string>{"ls.ini", "out.txt"}));
  EXPECT_EQ(test::read_file(dir.path() / "out.txt"), "old");
}

// The exit status that reports run-time error `number`.
int status_of(int number) {
#ifdef _WIN32
  return number;
#else
  return number & 0xFF;
#endif
}

struct Refusal {
  const char* what;
  std::string output;         // OUTPUT as named
  std::string shown;          // as the program's lines show it
  int status;                 // the exit status
  std::string first;          // the failure line
  std::string detail_prefix;  // the start of the line after it, with the reason
  bool existed;               // whether OUTPUT was there before
  int max_open_files = 0;
};

// Every refused OUTPUT: its failure line, then its reason naming it (its
// control characters escaped), then whether it is as it was or was not
// written; nothing is left in the folder.
TEST(NamedForm, RefusedOutputsSayWhyAndStayAsTheyWere) {
  const std::string access = "forrtl: severe (600): access not allowed";
  const std::vector<Refusal> refusals = {
      {"a missing folder", "no/out.txt", "no/out.txt", status_of(602),
       "forrtl: severe (602): file not found", "KW_TAI2UTC: \"no/out.txt\": ", false},
      {"a folder", "folder", "folder", status_of(600), access,
       "KW_TAI2UTC: \"folder\": a directory, not a file", true},
      {"an empty name", "", "", status_of(43),
       "forrtl: severe (43): file name specification error, unit 2, file ",
       "KW_TAI2UTC: \"\": an empty name", false},
#ifndef _WIN32  // (Windows names hold no control characters, FIFOs or devices)
      {"a control character", "bad\x1b[31m/out", "bad\\x1b[31m/out", status_of(602),
       "forrtl: severe (602): file not found", "KW_TAI2UTC: \"bad\\x1b[31m/out\": ", false},
      {"a FIFO", "fifo", "fifo", status_of(600), access, "KW_TAI2UTC: \"fifo\": not a regular file",
       true},
      {"a device", "/dev/null", "/dev/null", status_of(600), access,
       "KW_TAI2UTC: \"/dev/null\": not a regular file", true},
      {"no descriptor left", "out.txt", "out.txt", status_of(603),
       "forrtl: severe (603): too many open files", "KW_TAI2UTC: \"out.txt\": ", false, 4},
#endif
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.what);
    const test::TempDir dir;
    test::write_file(dir.path() / "ls.ini", "1972 1 1 10.0\n");
    test::write_file(dir.path() / "in.dat", "96 01 05 0 0 0\n");
    fs::create_directory(dir.path() / "folder");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir.path() / "fifo").string().c_str(), 0600), 0);
#endif
    const std::set<std::string> before = test::names_in(dir.path());
    const test::RunResult result =
        test::run_program(KW_TAI2UTC_PATH, dir.path(),
                          {.max_open_files = r.max_open_files, .arguments = {"in.dat", r.output}});
    EXPECT_EQ(result.exit_status, r.status);
    const std::string& err = result.standard_error;
    EXPECT_EQ(err.substr(0, err.find('\n')), r.first) << err;
    const std::size_t second = err.find('\n') + 1;
    EXPECT_EQ(err.substr(second, r.detail_prefix.size()), r.detail_prefix) << err;
    EXPECT_TRUE(err.ends_with("\nKW_TAI2UTC: \"" + r.shown + "\"" +
                              (r.existed ? " is left as it was\n" : " was not written\n")))
        << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 3) << err;
    EXPECT_EQ(test::names_in(dir.path()), before);
  }
#ifndef _WIN32
  // Any legal name works, the longest too: the new file's own name is short.
  const test::TempDir dir;
  test::write_file(dir.path() / "ls.ini", "1972 1 1 10.0\n");
  test::write_file(dir.path() / "in.dat", "96 01 05 0 0 0\n");
  const std::string longest(255, 'n');
  EXPECT_EQ(test::run_program(KW_TAI2UTC_PATH, dir.path(), {.arguments = {"in.dat", longest}})
                .exit_status,
            0);
  EXPECT_EQ(test::read_file(dir.path() / longest), "96 01 05  0.00000  0.00000 10.000000\r\n");
#endif
}

struct OneFile {
  const char* what;
  std::vector<std::string> arguments;
  const char* standard_input = nullptr;   // a file of the folder, when standard input is one
  const char* standard_output = nullptr;  // ... appended to, when standard output is one
  std::string refusal;                    // the line that refuses the run; empty: the run converts
};

// INPUT and OUTPUT that are one file, by any names, are refused before
// anything is read (the table named here does not exist): status 2, one
// line, the data file as it was and nothing made. A copy is converted.
TEST(NamedForm, RefusesToConvertAFileIntoItself) {
  const auto refused = [](const std::string& input, const std::string& output) {
    return "KW_TAI2UTC: INPUT \"" + input + "\" and OUTPUT \"" + output +
           "\" are the same file: nothing read or written (name another OUTPUT)\n";
  };
  const std::vector<OneFile> cases = {
      {"one name",
       {"--table", "none", "in.dat", "in.dat"},
       nullptr,
       nullptr,
       refused("in.dat", "in.dat")},
      {"another spelling",
       {"--table", "none", "in.dat", "./in.dat"},
       nullptr,
       nullptr,
       refused("in.dat", "./in.dat")},
      {"standard input",
       {"--table", "none", "-", "in.dat"},
       "in.dat",
       nullptr,
       refused("-", "in.dat")},
      {"a copy", {"in.dat", "copy.dat"}, nullptr, nullptr, ""},
#ifndef _WIN32
      {"a hard link",
       {"--table", "none", "in.dat", "hard.dat"},
       nullptr,
       nullptr,
       refused("in.dat", "hard.dat")},
      {"a symbolic link",
       {"--table", "none", "link.dat", "in.dat"},
       nullptr,
       nullptr,
       refused("link.dat", "in.dat")},
      {"standard output appended",
       {"--table", "none", "in.dat"},
       nullptr,
       "in.dat",
       refused("in.dat", "-")},
#endif
  };
  const std::string data = "96 01 05 0 0 0\n";
  for (const OneFile& c : cases) {
    SCOPED_TRACE(c.what);
    const test::TempDir dir;
    test::write_file(dir.path() / "ls.ini", "1972 1 1 10.0\n");
    test::write_file(dir.path() / "in.dat", data);
    test::write_file(dir.path() / "copy.dat", data);
#ifndef _WIN32
    fs::create_hard_link(dir.path() / "in.dat", dir.path() / "hard.dat");
    fs::create_symlink("in.dat", dir.path() / "link.dat");
#endif
    const std::set<std::string> before = test::names_in(dir.path());
    test::RunOptions options{.arguments = c.arguments};
    if (c.standard_input != nullptr) options.standard_input = dir.path() / c.standard_input;
    if (c.standard_output != nullptr) {
      options.standard_output = dir.path() / c.standard_output;
      options.append_output = true;
    }
    const test::RunResult result = test::run_program(KW_TAI2UTC_PATH, dir.path(), options);
    EXPECT_EQ(test::read_file(dir.path() / "in.dat"), data);
    EXPECT_EQ(test::names_in(dir.path()), before);
    if (c.refusal.empty()) {
      EXPECT_EQ(result.exit_status, 0) << result.standard_error;
      EXPECT_EQ(test::read_file(dir.path() / "copy.dat"),
                "96 01 05  0.00000  0.00000 10.000000\r\n");
    } else {
      EXPECT_EQ(result.exit_status, 2);
      EXPECT_EQ(result.standard_error, c.refusal);
    }
  }
}

struct BadTable {
  const char* what;
  std::string table;
  int line;           // the line that does not read
  std::string found;  // what the program says it holds
};

// A table line that does not read stops both forms with the same failure
// line as always, then a line that says where it is and what it holds.
TEST(NamedForm, TableLinesThatDoNotReadSayWhereAndWhy) {
  const std::string entry = "1972 1 1 10.0\n";
  const std::string comments = std::string(test::kFourNumbers) + test::kNoComments;
  const std::vector<BadTable> cases = {
      {"a comment", "# TAI-UTC\n" + entry, 1, "a comment line" + comments},
      {"a comment further down", entry + "\n; 1973\n", 3, "a comment line" + comments},
      {"a header", "year month day TAI-UTC\n" + entry, 1, "a header or text line" + comments},
      {"a byte-order mark", "\xEF\xBB\xBF" + entry, 1,
       "a UTF-8 byte-order mark (the invisible bytes EF BB BF) before the first value" +
           std::string(test::kFourNumbers)},
      {"UTF-16",
       std::string("\xFF\xFE"
                   "1\0"
                   "9\0",
                   6),
       1, "UTF-16 text (two bytes a character), not plain text" + std::string(test::kFourNumbers)},
      {"a word", entry + "1973 1 1 eleven\n", 2,
       "\"eleven\", not a number" + std::string(test::kFourNumbers)},
      {"a short line", entry + "1973 1 1\n", 2, "3 values" + std::string(test::kFourNumbers)},
  };
  for (const BadTable& c : cases) {
    SCOPED_TRACE(c.what);
    const test::Tree fixed;
    test::write_file(fixed.work() / "ls.ini", c.table);
    test::write_file(fixed.data(), "96 01 05 0 0 0\n");
    const std::string expected =
        "forrtl: severe (59): list-directed I/O syntax error, unit 3, file ls.ini\n"
        "KW_TAI2UTC: \"ls.ini\", line " +
        std::to_string(c.line) + ": " + c.found + "\n";
    const test::RunResult by_fixed = fixed.run();
    EXPECT_EQ(by_fixed.exit_status, status_of(59));
    EXPECT_EQ(by_fixed.standard_error, expected);
    const test::RunResult named = test::run_program(
        KW_TAI2UTC_PATH, fixed.work(), {.arguments = {"--table", "ls.ini", "../../KW_PVZ.DAT"}});
    EXPECT_EQ(named.exit_status, status_of(59));
    EXPECT_EQ(named.standard_error, expected);
  }
}

}  // namespace
}  // namespace kw

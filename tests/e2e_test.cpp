// The built program, run as a user runs it: in a working directory holding
// "ls.ini", with the data file two levels above. Every file's bytes, the
// lines on standard error and the exit status are checked.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/messages.h"
#include "support/program_tree.h"
#include "support/run_program.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace kw {
namespace {

namespace fs = std::filesystem;
using test::kEnd;
using test::kStart;
using test::lines;
using test::Tree;

TEST(Program, ConvertsEveryRecordWithTheOffsetOfItsDate) {
  Tree tree;
  const std::string padded_to_38 = "97 07 01 1 2 3" + std::string(24, ' ');
  test::write_file(
      tree.data(),
      "96 01 05 0.123456 -0.0123456 -0.3456789\r\n"  // column 39 is not read: -0.345678
      "98 12 31 0.1 0.2 -31.5\r\n"
      "99 01 01 0.1 0.2 -31.5\n"
      "99 00 33 0.1 0.2 -31.5\n"  // month 0 is not December of 1998 (JUDDY's rule)
      "98 13 01 0.1 0.2 -31.5\n"  // month 13 is January of 1999
      "71 12 31 1 2 3\r\n"        // before the table: first value minus 1
      "72 01 01 0 0 0\r\n"
      "17 1 1 0 0 -37\r\n"
      "49 12 31 0 0 0\r\n"
      "50 06 30 0 0 0\r\n"  // 50 is 1950
      "51 01 01 0 0 0\r\n"
      "5 7 1 0 0 0\r\n"
      "16,12,31,0.015625,-0.0000004,0\r\n" +
          padded_to_38 + "garbage beyond column 38\r\n" +
          "\r\n"  // a blank record is skipped
          "\t \r\n"
          "12 06 30 -1.5 -99.999994 -35");  // no line end after the last record
  const auto result = tree.run();
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_error,
            "KW_TAI2UTC: 3 records dated before 1972-01-01, the table's first entry, took 9.0 s "
            "(its first value less one second)\n");
  EXPECT_EQ(tree.output(), lines({
                               "96 01 05  0.12346 -0.01235 29.654322",
                               "98 12 31  0.10000  0.20000 -0.500000",
                               "99 01 01  0.10000  0.20000  0.500000",
                               "99 00 33  0.10000  0.20000 -0.500000",
                               "98 13 01  0.10000  0.20000  0.500000",
                               "71 12 31  1.00000  2.00000 12.000000",
                               "72 01 01  0.00000  0.00000 10.000000",
                               "17 01 01  0.00000  0.00000  0.000000",
                               "49 12 31  0.00000  0.00000 37.000000",
                               "50 06 30  0.00000  0.00000  9.000000",
                               "51 01 01  0.00000  0.00000  9.000000",
                               "05 07 01  0.00000  0.00000 32.000000",
                               "16 12 31  0.01562  0.00000 36.000000",
                               "97 07 01  1.00000  2.00000 34.000000",
                               "12 06 30 -1.50000-99.99999 -1.000000",
                           }));
  EXPECT_EQ(tree.log(), kStart + kEnd);
  EXPECT_EQ(test::read_file(tree.data()).substr(0, 8), "96 01 05");  // the data file is untouched
}

// A table that carries its expiry and the rates of 1961-1971: records get
// the drifting offset of their day, and the run says how many lie before
// the table and past its expiry, changing nothing else.
#ifndef _WIN32
// Records of every shape the scan tier takes, and others, over several
// batches: each instruction set writes the same bytes (the default, SSE2
// on x86, against SSE2 forced and against the plain loops).
TEST(Program, EveryInstructionSetWritesTheSameBytes) {
  std::mt19937 random(20261211);
  const auto pick = [&random](unsigned n) { return static_cast<unsigned>(random()) % n; };
  const auto real = [&](int whole, int decimals) {
    std::string text = pick(3) == 0 ? "-" : "";
    text += std::to_string(pick(whole == 3 ? 1000 : whole == 2 ? 100 : 10));
    if (decimals >= 0) text += '.';
    for (int i = 0; i < decimals; ++i) text += static_cast<char>('0' + (pick(4) ? pick(10) : 9));
    return text;
  };
  std::string data;
  for (int k = 0; k < 30000;) {
    const char* separator = pick(8) == 0 ? "," : pick(8) == 0 ? "\t" : pick(4) == 0 ? "  " : " ";
    // Separated values never make a null one: a comma has blanks or the
    // next value beside it, never another comma.
    std::string record = std::to_string(pick(100)) + separator + std::to_string(1 + pick(12)) +
                         separator + std::to_string(1 + pick(31));
    for (int v = 0; v < 3; ++v) {
      record += separator + real(1 + static_cast<int>(pick(3)), static_cast<int>(pick(9)) - 1);
    }
    // Within the 38 columns read, so that every record has its six values.
    if (record.size() > 38) continue;
    data += record + (pick(2) ? "\r\n" : "\n");
    ++k;
  }
  std::string outputs[3];
  std::string errors[3];
  const char* sets[] = {"", "sse2", "plain"};
  for (int k = 0; k < 3; ++k) {
    Tree tree;
    test::write_file(tree.data(), data);
    test::RunOptions options;
    if (*sets[k] != '\0') options.environment = {std::string("KW_INSTRUCTION_SET=") + sets[k]};
    const auto result = tree.run(options);
    EXPECT_EQ(result.exit_status, 0) << sets[k];
    outputs[k] = tree.output();
    errors[k] = result.standard_error;
  }
  EXPECT_GT(outputs[0].size(), 30000U * 38 * 9 / 10);  // every record converts
  for (int k = 1; k < 3; ++k) {
    EXPECT_TRUE(outputs[k] == outputs[0]) << sets[k];
    EXPECT_EQ(errors[k], errors[0]) << sets[k];
  }
}

// A set the program does not have, in either form: one line on standard
// error, status 2, and no file made or changed.
TEST(Program, RefusesAnInstructionSetItHasNot) {
  const char* const sets[] = {"avx2", "SSE2", "plain ", ""};
  for (const bool named : {false, true}) {
    for (const char* set : sets) {
      Tree tree;
      test::write_file(tree.data(), "96 01 05  0.1  0.2  -30.0\n");
      test::RunOptions options;
      options.environment = {std::string("KW_INSTRUCTION_SET=") + set};
      if (named) options.arguments = {"../../KW_PVZ.DAT", "out.txt"};
      const auto result = tree.run(options);
      EXPECT_EQ(result.exit_status, 2) << set;
      EXPECT_EQ(result.standard_error, std::string("KW_TAI2UTC: KW_INSTRUCTION_SET is \"") + set +
                                           "\": not plain or sse2\n")
          << set;
      EXPECT_FALSE(fs::exists(tree.work() / "new.txt")) << set;
      EXPECT_FALSE(fs::exists(tree.work() / "out.txt")) << set;
      EXPECT_FALSE(fs::exists(tree.work() / "lsconv.lst")) << set;
      EXPECT_EQ(test::read_file(tree.data()), "96 01 05  0.1  0.2  -30.0\n") << set;
    }
  }
}
#endif

TEST(Program, SaysWhatTheTableDoesNotKnow) {
  Tree tree;
  test::write_file(tree.work() / "ls.ini",
                   "1961  1  1   1.4228180 rate 0.0012960 s/day\r\n1972  1  1  10.0\r\n"
                   "2017  1  1  37.0   expires 2027-06-28, leap-seconds.list of 2026-07-08\r\n");
  test::write_file(
      tree.data(),
      "60 12 31 0 0 0\n61 01 02 0 0 0\n27 06 27 0 0 0\n27 06 28 0 0 0\n30 1 1 0 0 0\n");
  const auto result = tree.run();
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_error,
            "KW_TAI2UTC: 1 record dated before 1961-01-01, the table's first entry, took "
            "0.422818 s (its first value less one second)\n"
            "KW_TAI2UTC: 2 records dated on or after 2027-06-28, when the table expires, took "
            "37.0 s (its last value; a fresh list may know a leap second since)\n");
  EXPECT_EQ(tree.output(), lines({
                               "60 12 31  0.00000  0.00000  0.422818",
                               "61 01 02  0.00000  0.00000  1.424114",
                               "27 06 27  0.00000  0.00000 37.000000",
                               "27 06 28  0.00000  0.00000 37.000000",
                               "30 01 01  0.00000  0.00000 37.000000",
                           }));
  EXPECT_EQ(tree.log(), kStart + kEnd);
}

TEST(Program, ConvertsTheShippedExample) {
  Tree tree;
  test::write_file(tree.data(), test::read_file(fs::path(KW_EXAMPLES_DIR) / "KW_PVZ.DAT"));
  const auto result = tree.run();
  ASSERT_EQ(result.exit_status, 0);
  const std::string out = tree.output();
  EXPECT_EQ(out.size(), 18596U * 38U);
  // UT1-UTC steps up by a second with the leap second of 1 January 2017.
  EXPECT_NE(out.find("16 12 31  0.08128  0.26301 -0.407749\r\n"
                     "17 01 01  0.08041  0.26311  0.591298\r\n"),
            std::string::npos);
}

TEST(Program, OverwidthFieldsAreAsterisksAndTheRunGoesOn) {
  Tree tree;
  test::write_file(tree.data(),
                   "96 01 05 1000.0 0 0\n"
                   "96 01 05 0 0 0\n"
                   "100 -5 5 0 0 1e308\n"
                   "96 01 05 0 0 999999\n");
  const auto result = tree.run();
  EXPECT_EQ(result.exit_status, 0);
  const std::string line = "forrtl: error (63): output conversion error, unit 2, file new.txt\n";
  EXPECT_EQ(result.standard_error, line + line + line);
  EXPECT_EQ(tree.output(), lines({
                               "96 01 05*********  0.00000 30.000000",
                               "96 01 05  0.00000  0.00000 30.000000",
                               "**-05 05  0.00000  0.00000**********",
                               "96 01 05  0.00000  0.00000**********",
                           }));
  EXPECT_EQ(tree.log(), kStart + kEnd);
}

TEST(Program, TheOffsetIsAddedInDoublePrecision) {
  // 2.0000004999999996 is the double just below 2.0000005, and the offset is
  // half its unit in the last place plus a little: the exact sum lies just
  // above the halfway point, so the double sum is the double just above
  // 2.0000005 and the field shows 2.000001. Adding in the x87's 64-bit
  // mantissa first would land on the halfway point, round to the even
  // neighbour below 2.0000005 and show 2.000000.
  Tree tree;
  test::write_file(tree.work() / "ls.ini", "1972 1 1 2.220446115424762e-16\n");
  test::write_file(tree.data(), "96 01 05 0 0 2.0000004999999996\n");
  const auto result = tree.run();
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(tree.output(), lines({"96 01 05  0.00000  0.00000  2.000001"}));
}

TEST(Program, LongFilesKeepTheirOrderAndStopAtTheFirstBadRecord) {
  // Enough records for several batches, converted on several threads: the
  // output, the error 63 lines and the stop come in file order.
  struct Kind {
    const char* in;
    const char* out;  // nullptr: a blank record, skipped
  };
  const Kind kinds[] = {
      {"96 01 05 0.123456 -0.0123456 -0.3456789",
       "96 01 05  0.12346 -0.01235 29.654322"},  // column 39 is not read
      {"16,12,31,0.015625,-0.0000004,0", "16 12 31  0.01562  0.00000 36.000000"},
      {"96 01 05 1000.0 0 0", "96 01 05*********  0.00000 30.000000"},
      {"   ", nullptr},
      {"5 7 1 0 0 0", "05 07 01  0.00000  0.00000 32.000000"},
  };
  constexpr int kRecords = 100'000;
  constexpr int kBad = 87'654;
  std::string data;
  std::string expected;
  int overflows = 0;
  for (int i = 0; i < kRecords; ++i) {
    const Kind& kind = kinds[(i * 7 + i / 3) % 5];
    if (i == kBad) {
      data += "96 01 05 1 2 x\r\n";
      continue;
    }
    data += std::string(kind.in) + "\r\n";
    if (i < kBad && kind.out != nullptr) {
      expected += std::string(kind.out) + "\r\n";
      if (kind.out[8] == '*') ++overflows;
    }
  }
  Tree tree;
  test::write_file(tree.data(), data);
  const auto result = tree.run();
  std::string error;
  for (int i = 0; i < overflows; ++i) {
    error += "forrtl: error (63): output conversion error, unit 2, file new.txt\n";
  }
  error +=
      "forrtl: severe (59): list-directed I/O syntax error, unit 1, file ..\\..\\KW_PVZ.DAT\n"
      "KW_TAI2UTC: line 87,655 of \"..\\..\\KW_PVZ.DAT\": \"x\", not a number" +
      std::string(test::kSixNumbers) + "\n";
  EXPECT_EQ(result.exit_status, 59);
  EXPECT_TRUE(result.standard_error == error) << "lines on standard error differ";
  EXPECT_TRUE(tree.output() == expected) << "new.txt differs";
  EXPECT_EQ(tree.log(), kStart);
}

struct BadData {
  std::string data;
  std::string error;  // the failure line on standard error
  std::string where;  // the line after it: where the record is, and what it holds
  int status;
  std::vector<std::string> written;  // the records in new.txt afterwards
};

// Every record that stops the run: its failure line as it always was,
// then the line, file and what was found there against what was expected.
TEST(Program, BadDataRecordsStopTheRunAndKeepWhatWasWritten) {
  const std::string file = ", unit 1, file ..\\..\\KW_PVZ.DAT\n";
  const auto at = [](int line, const std::string& found) {
    return "KW_TAI2UTC: line " + std::to_string(line) + " of \"..\\..\\KW_PVZ.DAT\"" +
           (found.empty() ? "" : ": " + found + test::kSixNumbers) + "\n";
  };
  const auto misfit = [](int line, const std::string& found) {
    return "KW_TAI2UTC: line " + std::to_string(line) + " of \"..\\..\\KW_PVZ.DAT\": " + found +
           " was expected\n";
  };
  const std::string conversion = "forrtl: severe (64): input conversion error" + file;
  const std::string good = "96 01 05 0 0 0\r\n";
  const std::string out = "96 01 05  0.00000  0.00000 30.000000";
  const std::string syntax = "forrtl: severe (59): list-directed I/O syntax error" + file;
  const BadData cases[] = {
      {good + "96 01 05 1 2\r\n",
       "forrtl: severe (24): end-of-file during read" + file,
       at(2, "5 values"),
       24,
       {out}},
      {good + "96 01 05 1 2 x\r\n", syntax, at(2, "\"x\", not a number"), 59, {out}},
      {good + good + "96 01 05 1.5e999 2 3\r\n",
       conversion,
       misfit(3, "\"1.5e999\" as the first value, where a number within the range of a double"),
       64,
       {out, out}},
      {good + "96 01 5.5 1 2 3\r\n",
       conversion,
       misfit(2, "\"5.5\" as the day, where a whole number of at most 32 bits"),
       64,
       {out}},
      {"96 4294967297 05 1 2 3\r\n",
       conversion,
       misfit(1, "\"4294967297\" as the month, where a whole number of at most 32 bits"),
       64,
       {}},
      {good + "96 01 05 1 2 3\r", syntax, at(2, "\"3\\x0d\", not a number"), 59, {out}},
      // The sixth value would need column 39.
      {"96 01 05 1.0000000000 2.00000000000000 7\r\n",
       "forrtl: severe (24): end-of-file during read" + file,
       at(1, "5 values"),
       24,
       {}},
      {good + "# year month day values\r\n", syntax, at(2, "a comment line"), 59, {out}},
      {"YY MM DD UT1-TAI\r\n" + good, syntax, at(1, "a header or text line"), 59, {}},
      {"\xEF\xBB\xBF" + good,
       syntax,
       at(1, "a UTF-8 byte-order mark (the invisible bytes EF BB BF) before the first value"),
       59,
       {}},
      {std::string("\xFF\xFE"
                   "9\0"
                   "6\0 \0",
                   8),
       syntax,
       at(1, "UTF-16 text (two bytes a character), not plain text"),
       59,
       {}},
  };
  for (const auto& c : cases) {
    Tree tree;
    test::write_file(tree.data(), c.data);
    test::write_file(tree.work() / "new.txt", std::string(5000, 'o'));
    const auto result = tree.run();
    EXPECT_EQ(result.standard_error, c.error + c.where) << c.data;
    EXPECT_EQ(result.exit_status, c.status) << c.data;
    // Nothing written leaves the old file; written records stay, and the
    // file ends after them.
    EXPECT_EQ(tree.output(), c.written.empty() ? std::string(5000, 'o') : lines(c.written))
        << c.data;
    EXPECT_EQ(tree.log(), kStart) << c.data;
  }
}

TEST(Program, FileRulesForMissingEmptyAndLongerFiles) {
  {  // no data file: created empty, nothing written, a normal run
    Tree tree;
    const auto result = tree.run();
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(test::read_file(tree.data()), "");
    EXPECT_EQ(tree.output(), "");
    EXPECT_EQ(tree.log(), kStart + kEnd);
  }
  {  // an empty data file leaves an existing new.txt as it was
    Tree tree;
    test::write_file(tree.data(), "");
    test::write_file(tree.work() / "new.txt", "earlier output\r\n");
    EXPECT_EQ(tree.run().exit_status, 0);
    EXPECT_EQ(tree.output(), "earlier output\r\n");
  }
  {  // longer old files end after the last new record
    Tree tree;
    test::write_file(tree.data(), "96 01 05 0 0 0\n");
    test::write_file(tree.work() / "new.txt", std::string(1000, 'x'));
    test::write_file(tree.work() / "lsconv.lst", std::string(1000, 'y'));
    EXPECT_EQ(tree.run().exit_status, 0);
    EXPECT_EQ(tree.output(), lines({"96 01 05  0.00000  0.00000 30.000000"}));
    EXPECT_EQ(tree.log(), kStart + kEnd);
  }
}

TEST(Program, UnusableTableStopsBeforeTheDataIsOpened) {
  const char* const tables[] = {"", "\r\n\r\n", nullptr, "1980 1 1 19\n1975 1 1 14\n"};
  for (const char* table : tables) {
    Tree tree;
    if (table == nullptr) {
      fs::remove(tree.work() / "ls.ini");
    } else {
      test::write_file(tree.work() / "ls.ini", table);
    }
    const auto result = tree.run();
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.standard_error.rfind("KW_TAI2UTC: \"ls.ini\"", 0), 0U)
        << result.standard_error;
    EXPECT_EQ(std::count(result.standard_error.begin(), result.standard_error.end(), '\n'), 1);
    EXPECT_TRUE(fs::exists(tree.work() / "ls.ini"));
    EXPECT_FALSE(fs::exists(tree.data()));
    EXPECT_FALSE(fs::exists(tree.work() / "new.txt"));
    EXPECT_EQ(tree.log(), kStart);
  }
}

#ifdef _WIN32

// (POSIX systems: these and other refusals are in faults_test.cpp.)
TEST(Program, DirectoriesWhereFilesBelongAreRefused) {
  {  // new.txt is a directory
    Tree tree;
    test::write_file(tree.data(), "96 01 05 0 0 0\n");
    fs::create_directory(tree.work() / "new.txt");
    const auto result = tree.run();
    EXPECT_EQ(result.standard_error, "forrtl: severe (600): access not allowed\n");
    EXPECT_EQ(result.exit_status, 600);
    EXPECT_EQ(tree.log(), kStart);
  }
  {  // lsconv.lst is a directory: nothing else is touched
    Tree tree;
    fs::create_directory(tree.work() / "lsconv.lst");
    const auto result = tree.run();
    EXPECT_EQ(result.standard_error, "forrtl: severe (600): access not allowed\n");
    EXPECT_EQ(result.exit_status, 600);
    EXPECT_FALSE(fs::exists(tree.data()));
    EXPECT_FALSE(fs::exists(tree.work() / "new.txt"));
  }
}

// Another process holds a file open and shares it only for reading, or
// not at all.
class HeldOpen {
 public:
  HeldOpen(const fs::path& file, DWORD share)
      : handle_(::CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  ~HeldOpen() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

TEST(Program, FilesSharedForReadingOnlyAreReadAndNotWritten) {
  Tree tree;
  test::write_file(tree.data(), "96 01 05 0 0 0\n");
  {
    const HeldOpen data(tree.data(), FILE_SHARE_READ);
    const HeldOpen table(tree.work() / "ls.ini", FILE_SHARE_READ);
    ASSERT_TRUE(data.held() && table.held());
    const auto result = tree.run();
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(tree.output(), lines({"96 01 05  0.00000  0.00000 30.000000"}));
  }
  {
    const HeldOpen out(tree.work() / "new.txt", FILE_SHARE_READ);
    ASSERT_TRUE(out.held());
    const auto refused = tree.run();
    EXPECT_EQ(refused.standard_error,
              "forrtl: severe (38): error during write, unit 2, file new.txt (the file may be "
              "read but not written)\n");
    EXPECT_EQ(refused.exit_status, 38);
    EXPECT_EQ(tree.log(), kStart);
  }
  {
    const HeldOpen out(tree.work() / "new.txt", 0);  // a sharing violation
    ASSERT_TRUE(out.held());
    const auto refused = tree.run();
    EXPECT_EQ(refused.standard_error, "forrtl: severe (600): access not allowed\n");
    EXPECT_EQ(refused.exit_status, 600);
    EXPECT_EQ(tree.log(), kStart);
  }
  EXPECT_EQ(tree.output(), lines({"96 01 05  0.00000  0.00000 30.000000"}));
}

#else  // POSIX systems

TEST(Program, ReadOnlyOutputIsAWriteFailure) {
  Tree tree;
  test::write_file(tree.data(), "96 01 05 0 0 0\n");
  // As root the child runs as "nobody", for whom the permissions count.
  for (const fs::path& dir : {tree.root(), tree.root() / "site", tree.work()}) {
    test::let_unprivileged_write(dir);
  }
  fs::permissions(tree.data(),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(tree.work() / "ls.ini",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const auto result = tree.run({.as_unprivileged = true});
  EXPECT_EQ(result.standard_error, "");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(tree.output(), lines({"96 01 05  0.00000  0.00000 30.000000"}));

  fs::permissions(tree.work() / "new.txt",
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const auto refused = tree.run({.as_unprivileged = true});
  EXPECT_EQ(refused.standard_error,
            "forrtl: severe (38): error during write, unit 2, file new.txt (the file may be read "
            "but not written)\n");
  EXPECT_EQ(refused.exit_status, 38);
  EXPECT_EQ(tree.log(), kStart);
}

#endif

}  // namespace
}  // namespace kw

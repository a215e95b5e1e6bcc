// kw_lsini and the arguments of both programs: SHA-1 on the standard test
// vectors; the system's leap-second list (where there is one) read, its
// hash checked, and written as the shipped table; lists and tables that
// must be refused or kept; --help, --version and unknown arguments, which
// touch no file.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "lsini/leap_list.h"
#include "lsini/lsini.h"
#include "lsini/sha1.h"
#include "support/files.h"
#include "support/run_program.h"
#include "timescale/lsconv_s.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

struct Sha1Case {
  const char* name;
  std::string message;
  std::array<std::uint32_t, 5> digest;
};

class Sha1Vectors : public ::testing::TestWithParam<Sha1Case> {};

TEST_P(Sha1Vectors, GiveTheirDigests) {
  EXPECT_EQ(sha1(GetParam().message), GetParam().digest);
}

// FIPS 180 examples, and messages either side of the padding's block
// boundary.
INSTANTIATE_TEST_SUITE_P(
    Standard, Sha1Vectors,
    ::testing::Values(
        Sha1Case{"empty", "", {0xda39a3ee, 0x5e6b4b0d, 0x3255bfef, 0x95601890, 0xafd80709}},
        Sha1Case{"abc", "abc", {0xa9993e36, 0x4706816a, 0xba3e2571, 0x7850c26c, 0x9cd0d89d}},
        Sha1Case{"two_blocks",
                 "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                 {0x84983e44, 0x1c3bd26e, 0xbaae4aa1, 0xf95129e5, 0xe54670f1}},
        Sha1Case{"million_a",
                 std::string(1'000'000, 'a'),
                 {0x34aa973c, 0xd4c4daa4, 0xf61eeb2b, 0xdbad2731, 0x6534016f}},
        Sha1Case{"fifty_five_a",
                 std::string(55, 'a'),
                 {0xc1c8bbdc, 0x22796e28, 0xc0e15163, 0xd20899b6, 0x5621d65a}},
        Sha1Case{"fifty_six_a",
                 std::string(56, 'a'),
                 {0xc2db330f, 0x6083854c, 0x99d4b5bf, 0xb6e8f29f, 0x201be699}}),
    [](const ::testing::TestParamInfo<Sha1Case>& info) { return std::string(info.param.name); });

const fs::path kSystemList = KW_LEAP_LIST;
const fs::path kShippedTable = fs::path(KW_EXAMPLES_DIR) / "station" / "run" / "ls.ini";

std::string system_list() {
  return fs::exists(kSystemList) ? test::read_file(kSystemList) : std::string();
}

// A list of `entries` (NTP time, TAI-UTC) with its hash made to match.
std::string signed_list(const std::string& updated, const std::string& expiry,
                        const std::vector<LeapListEntry>& entries) {
  std::string text;
  std::string numbers = updated + expiry;
  for (const LeapListEntry& e : entries) {
    text += std::to_string(e.ntp) + "\t" + std::to_string(e.tai_utc) + "\n";
    numbers += std::to_string(e.ntp) + std::to_string(e.tai_utc);
  }
  const auto hash = sha1(numbers);
  char groups[64];
  std::snprintf(groups, sizeof groups, "%x %x %x %x %x", hash[0], hash[1], hash[2], hash[3],
                hash[4]);
  return "#$\t" + updated + "\n#@\t" + expiry + "\n" + text + "#h\t" + groups + "\n";
}

// The list with its expiry replaced and its hash made to match again.
std::string with_expiry(const std::string& list, const std::string& expiry) {
  LeapList read;
  std::string error;
  EXPECT_TRUE(read_leap_list(list, read, error)) << error;
  return signed_list(std::to_string(read.updated), expiry, read.entries);
}

// The list with the TAI-UTC of 1 January 2017 changed from 37 to 38.
std::string changed_number(std::string list) {
  const std::size_t at = list.find("37", list.find("\n3692217600"));
  EXPECT_NE(at, std::string::npos);
  list.replace(at, 2, "38");
  return list;
}

TEST(LeapList, TheSystemListReadsAndItsHashMatches) {
  const std::string list = system_list();
  if (list.empty()) GTEST_SKIP() << "no leap-second list at " << kSystemList;
  LeapList read;
  std::string error;
  ASSERT_TRUE(read_leap_list(list, read, error)) << error;
  EXPECT_TRUE(hash_matches(read));
  ASSERT_EQ(read.entries.size(), 28U);
  EXPECT_EQ(mjd_of_ntp(read.entries.front().ntp), 41317);  // 1972-01-01
  EXPECT_EQ(read.entries.back().tai_utc, 37);

  ASSERT_TRUE(read_leap_list(changed_number(list), read, error)) << error;
  EXPECT_FALSE(hash_matches(read));
}

struct LsiniRun {
  test::RunResult result;
  std::string table;  // ls.ini afterwards, empty when there is none
  std::vector<std::string> files;
};

LsiniRun run_lsini(const std::string* list, const std::string* old_table) {
  const test::TempDir dir;
  const fs::path work = dir.path() / "work";
  fs::create_directories(work);
  if (list != nullptr) test::write_file(dir.path() / "list", *list);
  if (old_table != nullptr) test::write_file(work / "ls.ini", *old_table);
  LsiniRun run;
  run.result = test::run_program(KW_LSINI_PATH, work, {.arguments = {"../list"}});
  if (fs::exists(work / "ls.ini")) run.table = test::read_file(work / "ls.ini");
  for (const auto& entry : fs::directory_iterator(work)) {
    run.files.push_back(entry.path().filename().string());
  }
  return run;
}

TEST(Lsini, WritesTheShippedTableFromTheSystemList) {
  const std::string list = system_list();
  if (list.empty()) GTEST_SKIP() << "no leap-second list at " << kSystemList;
  const LsiniRun run = run_lsini(&list, nullptr);
  ASSERT_EQ(run.result.exit_status, 0) << run.result.standard_error;
  EXPECT_EQ(run.table, test::read_file(kShippedTable));
  EXPECT_EQ(run.files, std::vector<std::string>{"ls.ini"});
  EXPECT_NE(run.result.standard_error.find(", expires "), std::string::npos);
  EXPECT_NE(run.result.standard_error.find("28 entries, 1972-01-01 (10 s) to 2017-01-01 (37 s)"),
            std::string::npos);

  // LS_L dates the table's lines at the list's days.
  const test::TempDir dir;
  test::write_file(dir.path() / "ls.ini", run.table);
  const test::ScopedCwd cwd(dir.path());
  LeapColumn mjd{};
  LeapColumn dt{};
  std::int32_t n = 0;
  LS_L(mjd, dt, n);
  LeapList read;
  std::string error;
  ASSERT_TRUE(read_leap_list(list, read, error));
  ASSERT_EQ(static_cast<std::size_t>(n), read.entries.size());
  for (std::size_t i = 0; i < read.entries.size(); ++i) {
    EXPECT_EQ(mjd[i], static_cast<double>(mjd_of_ntp(read.entries[i].ntp))) << i;
    EXPECT_EQ(dt[i], read.entries[i].tai_utc) << i;
  }
}

TEST(Lsini, RefusesWhatItCannotTrustAndKeepsWhatTheListContradicts) {
  const std::string list = system_list();
  if (list.empty()) GTEST_SKIP() << "no leap-second list at " << kSystemList;
  const std::string shipped = test::read_file(kShippedTable);
  const std::string older = shipped.substr(0, shipped.rfind("2017"));
  std::string wrong_value = shipped;
  wrong_value.replace(wrong_value.find("1999  1  1  32.0"), 16, "1999  1  1  33.0");
  const std::string extra = shipped + "2030  1  1  38.0\r\n";
  const std::string changed = changed_number(list);
  const std::string not_a_list = "3692217600\t37\n";
  // Re-signed with its expiry made a second update time.
  std::string two_updates = list;
  two_updates.replace(two_updates.find("\n#@"), 3, "\n#$");
  const std::string not_a_table = "1999 x\r\n";

  struct Case {
    const char* what;
    const std::string* list;
    const std::string* old_table;
    int status;
    const char* message;  // part of the standard error
    std::string table;    // ls.ini afterwards
  };
  const std::vector<Case> cases = {
      {"one number changed", &changed, nullptr, 1, "do not match its hash", ""},
      {"not a list", &not_a_list, nullptr, 1, "not a leap-second list", ""},
      {"two update times and no expiry", &two_updates, nullptr, 1, "one each of #$, #@ and #h", ""},
      {"no list", nullptr, nullptr, 1, "cannot read", ""},
      {"a table with a value the list contradicts", &list, &wrong_value, 3,
       "entry 23 (1999-01-01, 33 s) differs from the list's 1999-01-01, 32 s", wrong_value},
      {"a table with an entry the list lacks", &list, &extra, 3,
       "entry 29 (2030-01-01, 38 s) is not in the list", extra},
      {"a table that does not read", &list, &not_a_table, 3, "does not read as a table",
       not_a_table},
      {"an older table", &list, &older, 0, "wrote ls.ini", shipped},
  };
  for (const Case& c : cases) {
    const LsiniRun run = run_lsini(c.list, c.old_table);
    EXPECT_EQ(run.result.exit_status, c.status) << c.what;
    EXPECT_NE(run.result.standard_error.find(c.message), std::string::npos)
        << c.what << ": " << run.result.standard_error;
    EXPECT_EQ(run.table, c.table) << c.what;
    EXPECT_LE(run.files.size(), 1U) << c.what;  // nothing left beside ls.ini
  }
}

TEST(Lsini, WarnsWhenTheListHasExpired) {
  const std::string list = system_list();
  if (list.empty()) GTEST_SKIP() << "no leap-second list at " << kSystemList;
  const std::string expired = with_expiry(list, "3899836800");  // 2023-08-01
  const LsiniRun run = run_lsini(&expired, nullptr);
  EXPECT_EQ(run.result.exit_status, 0) << run.result.standard_error;
  EXPECT_NE(run.result.standard_error.find("warning: the list expired on 2023-08-01"),
            std::string::npos)
      << run.result.standard_error;
  const std::string current = with_expiry(list, "9000000000");
  EXPECT_EQ(run_lsini(&current, nullptr).result.standard_error.find("warning"), std::string::npos);

  // The expiry is an instant: from that second on, not from the next day.
  const test::TempDir dir;
  test::write_file(dir.path() / "list", expired);
  const test::ScopedCwd cwd(dir.path());
  const std::int64_t expiry = 3899836800 - ntp_of_posix(0);
  for (const std::int64_t now : {expiry - 1, expiry, expiry + 86399}) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(kw::run_lsini({"list"}, now), lsini_status::ok);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find("warning") != std::string::npos, now >= expiry) << now << ": " << said;
  }
}

#ifndef _WIN32
std::vector<LeapListEntry> entries_of(const std::string& list) {
  LeapList read;
  std::string error;
  EXPECT_TRUE(read_leap_list(list, read, error)) << error;
  return read.entries;
}

// What another user of the machine, or a careless one, may leave in the
// folder or give as the list: the table is written whole or not at all,
// never through a link to a file that is not a table the list extends,
// and nothing is left beside it.
struct FileCase {
  const char* name;
  std::function<void(const fs::path& work, const fs::path& outside)> arrange;
  std::vector<std::string> arguments;  // the list is ../list unless given
  int status;
  const char* message;  // part of the standard error
  std::function<void(const fs::path& work, const fs::path& outside)> check;
  long max_file_size = 0;
};

TEST(Lsini, HandlesLinksDevicesLimitsAndBadListsSafely) {
  const std::string list = system_list();
  if (list.empty()) GTEST_SKIP() << "no leap-second list at " << kSystemList;
  const std::string shipped = test::read_file(kShippedTable);
  const std::string older = shipped.substr(0, shipped.rfind("2017"));
  const std::string noted = "1972  1  1  10.0 from the bulletin" + shipped.substr(16);
  const auto file_is = [](const fs::path& file, const std::string& bytes) {
    EXPECT_EQ(test::read_file(file), bytes) << file;
  };
  const auto victim = [&](const std::string& bytes) {
    return [bytes](const fs::path& work, const fs::path& outside) {
      test::write_file(outside / "victim", bytes);
      fs::create_symlink(outside / "victim", work / "ls.ini");
    };
  };
  std::vector<LeapListEntry> swapped = entries_of(list);
  std::swap(swapped[3], swapped[4]);
  std::vector<LeapListEntry> too_many = entries_of(list);
  while (too_many.size() <= LS_MAX) too_many.push_back({too_many.back().ntp + 86400, 37});
  std::vector<LeapListEntry> wide = entries_of(list);
  wide.push_back({wide.back().ntp + 86400 * 366, 12000});
  const auto refused = [&](const std::vector<LeapListEntry>& entries) {
    return [&older, entries](const fs::path& work, const fs::path& outside) {
      test::write_file(outside / "list", signed_list("3900000000", "9000000000", entries));
      test::write_file(work / "ls.ini", older);
    };
  };
  const auto table_is = [&](const std::string& bytes) {
    return [bytes](const fs::path& work, const fs::path&) {
      EXPECT_EQ(test::read_file(work / "ls.ini"), bytes);
    };
  };

  const std::vector<FileCase> cases = {
      {"planted_link_as_the_old_temporary",
       [](const fs::path& work, const fs::path& outside) {
         test::write_file(outside / "victim", "precious");
         fs::create_symlink(outside / "victim", work / "ls.ini.new");
       },
       {},
       0,
       "wrote ls.ini",
       [&](const fs::path& work, const fs::path& outside) {
         file_is(outside / "victim", "precious");
         file_is(work / "ls.ini", shipped);
       }},
      {"link_to_a_file_that_is_no_table",
       victim("precious\n"),
       {},
       3,
       "does not read as a table",
       [&](const fs::path&, const fs::path& outside) {
         file_is(outside / "victim", "precious\n");
       }},
      {"link_to_an_empty_file",
       victim(""),
       {},
       4,
       "symbolic link",
       [&](const fs::path&, const fs::path& outside) { file_is(outside / "victim", ""); }},
      {"link_to_an_older_table",
       victim(older),
       {},
       0,
       "wrote ls.ini",
       [&](const fs::path& work, const fs::path& outside) {
         file_is(outside / "victim", shipped);
         EXPECT_TRUE(fs::is_symlink(work / "ls.ini"));
       }},
      {"agreeing_read_only_table_with_notes",
       [&](const fs::path& work, const fs::path&) {
         test::write_file(work / "ls.ini", noted);
         fs::permissions(work / "ls.ini", fs::perms::owner_read | fs::perms::group_read);
       },
       {},
       0,
       "ls.ini is up to date",
       [&](const fs::path& work, const fs::path&) {
         file_is(work / "ls.ini", noted);
         EXPECT_EQ(fs::status(work / "ls.ini").permissions() & fs::perms::all,
                   fs::perms::owner_read | fs::perms::group_read);
       }},
      {"fifo_as_the_list",
       [](const fs::path&, const fs::path& outside) {
         fs::remove(outside / "list");
         ::mkfifo((outside / "list").c_str(), 0600);
       },
       {},
       1,
       "not a regular file",
       nullptr},
      {"endless_device_as_the_list",
       [](const fs::path&, const fs::path&) {},
       {"/dev/zero"},
       1,
       "not a regular file",
       nullptr},
      {"oversized_list",
       [&](const fs::path&, const fs::path& outside) {
         test::write_file(outside / "list", list + std::string(kLongestList, '#'));
       },
       {},
       1,
       "larger than",
       nullptr},
      {"fifo_as_the_table",
       [](const fs::path& work, const fs::path&) { ::mkfifo((work / "ls.ini").c_str(), 0600); },
       {},
       3,
       "not a regular file",
       nullptr},
      {"file_size_limit",
       [&](const fs::path& work, const fs::path&) { test::write_file(work / "ls.ini", older); },
       {},
       4,
       "File too large",
       table_is(older),
       300},  // standard error fits, the table not
      {"entries_out_of_order",
       refused(swapped),
       {},
       1,
       "lies before its entry 4, out of date order",
       table_is(older)},
      {"more_entries_than_a_table_holds",
       refused(too_many),
       {},
       1,
       "more than the 100",
       table_is(older)},
      {"value_too_wide_for_its_column",
       refused(wide),
       {},
       1,
       "entry 29 (2018-01-02, 12000 s) does not fit",
       table_is(older)},
      {"list_named_like_an_option",
       [&](const fs::path&, const fs::path& outside) { test::write_file(outside / "-list", list); },
       {"--", "../-list"},
       0,
       "wrote ls.ini",
       table_is(shipped)},
  };
  for (const FileCase& c : cases) {
    const test::TempDir dir;
    const fs::path work = dir.path() / "work";
    fs::create_directories(work);
    if (c.arguments.empty()) test::write_file(dir.path() / "list", list);
    c.arrange(work, dir.path());
    std::set<std::string> before = test::names_in(work);
    before.insert("ls.ini");
    const test::RunResult result = test::run_program(
        KW_LSINI_PATH, work,
        {.max_file_size = c.max_file_size,
         .timeout_seconds = 20,
         .arguments = c.arguments.empty() ? std::vector<std::string>{"../list"} : c.arguments});
    EXPECT_FALSE(result.timed_out) << c.name;
    EXPECT_EQ(result.exit_status, c.status) << c.name << ": " << result.standard_error;
    EXPECT_NE(result.standard_error.find(c.message), std::string::npos)
        << c.name << ": " << result.standard_error;
    std::set<std::string> after = test::names_in(work);
    after.insert("ls.ini");
    EXPECT_EQ(after, before) << c.name;  // no temporary left beside the table
    if (c.check) c.check(work, dir.path());
  }
}

TEST(Lsini, RunsAtOnceInOneFolderAllEndWithTheTable) {
  const std::string list = system_list();
  if (list.empty()) GTEST_SKIP() << "no leap-second list at " << kSystemList;
  const std::string shipped = test::read_file(kShippedTable);
  const test::TempDir dir;
  const fs::path work = dir.path() / "work";
  fs::create_directories(work);
  test::write_file(dir.path() / "list", list);
  for (int round = 0; round < 5; ++round) {
    test::write_file(work / "ls.ini", shipped.substr(0, shipped.find("1980")));
    std::vector<std::thread> runs;
    std::vector<int> statuses(3, -1);
    for (int& status : statuses) {
      runs.emplace_back([&work, &status] {
        status = test::run_program(KW_LSINI_PATH, work, {.arguments = {"../list"}}).exit_status;
      });
    }
    for (std::thread& run : runs) run.join();
    EXPECT_EQ(statuses, std::vector<int>(3, 0)) << round;
    EXPECT_EQ(test::read_file(work / "ls.ini"), shipped) << round;
    EXPECT_EQ(std::distance(fs::directory_iterator(work), fs::directory_iterator()), 1) << round;
  }
}
#endif

struct ArgumentCase {
  const char* program;
  std::vector<std::string> arguments;
  int status;
  const char* output;  // the start of standard output
};

TEST(Arguments, HelpVersionAndUnknownOnesTouchNoFile) {
  const std::vector<ArgumentCase> cases = {
      {KW_TAI2UTC_PATH, {"--help"}, 0, "Usage: kw_tai2utc"},
      {KW_TAI2UTC_PATH, {"--version"}, 0, "kw_tai2utc 1."},
      {KW_TAI2UTC_PATH, {"-h"}, 0, "Usage: kw_tai2utc"},
      {KW_TAI2UTC_PATH, {"-V"}, 0, "kw_tai2utc 1."},
      {KW_TAI2UTC_PATH, {"--bogus"}, 2, ""},
      {KW_TAI2UTC_PATH, {"--table"}, 2, ""},
      {KW_LSINI_PATH, {"--help"}, 0, "Usage: kw_lsini"},
      {KW_LSINI_PATH, {"--version"}, 0, "kw_lsini 1."},
      {KW_LSINI_PATH, {"-h"}, 0, "Usage: kw_lsini"},
      {KW_LSINI_PATH, {"-V"}, 0, "kw_lsini 1."},
      {KW_LSINI_PATH, {"--bogus"}, 2, ""},
      {KW_LSINI_PATH, {"-x", "list"}, 2, ""},
      {KW_LSINI_PATH, {"a", "b"}, 2, ""},
  };
  for (const ArgumentCase& c : cases) {
    const test::TempDir dir;
    const test::RunResult result =
        test::run_program(c.program, dir.path(), {.arguments = c.arguments});
    const std::string what = std::string(c.program) + " " + c.arguments[0];
    EXPECT_EQ(result.exit_status, c.status) << what;
    EXPECT_EQ(result.standard_output.substr(0, std::string(c.output).size()), c.output) << what;
    if (c.status != 0) {
      EXPECT_EQ(std::count(result.standard_error.begin(), result.standard_error.end(), '\n'), 1)
          << what << ": " << result.standard_error;
    }
    EXPECT_TRUE(fs::is_empty(dir.path())) << what;
  }
}

}  // namespace
}  // namespace kw

// kw_lsini and the published tables it reads: SHA-1 on the standard test
// vectors; the three published sources against each other, and damaged
// copies and impostors of each; the program run on them against old
// tables (kept, brought up to date line by line, or refused), and against
// what another user or a careless one may leave in the folder; and the
// arguments of both programs, which touch no file.
#include <gtest/gtest.h>

#include <ostream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "lsini/lsini.h"
#include "platform/file.h"
#include "support/calendar.h"
#include "support/files.h"
#include "support/leap_tables.h"
#include "support/run_program.h"
#include "timescale/published/leap_list.h"
#include "timescale/published/published_table.h"
#include "timescale/published/sha1.h"

namespace kw {

// An entry as a failed comparison shows it: its MJD, value and rate.
void PrintTo(const PublishedEntry& entry, std::ostream* out) {
  *out << "{" << entry.mjd << ", " << entry.value << ", " << entry.rate << "}";
}

namespace {

namespace fs = std::filesystem;

struct Sha1Case {
  const char* name;
  std::string message;
  std::array<std::uint32_t, 5> digest;
};

// A failing case is named by its name, not by its bytes.
void PrintTo(const Sha1Case& c, std::ostream* os) {
  *os << c.name;
}

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

std::string contents_of(const fs::path& file) {
  return fs::exists(file) ? test::read_file(file) : std::string();
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

std::vector<LeapListEntry> entries_of(const std::string& list) {
  LeapList read;
  std::string error;
  EXPECT_TRUE(read_leap_list(list, read, error)) << error;
  return read.entries;
}

// The list with its expiry replaced, signed again.
std::string with_expiry(const std::string& list, const std::string& expiry) {
  LeapList read;
  std::string error;
  EXPECT_TRUE(read_leap_list(list, read, error)) << error;
  return signed_list(std::to_string(read.updated), expiry, read.entries);
}

// What every run here starts from: the published texts, and tables made
// from them.
struct Texts {
  std::string list;     // the IETF list (a copy of the one tzdata brings)
  std::string iers;     // Leap_Second.dat
  std::string usno;     // tai-utc.dat
  std::string shipped;  // the shipped table, four values a line
  std::string note;     // the expiry note the list gives the last line
  std::string written;  // the table kw_lsini writes from the list
  std::string older;    // the shipped table less its last entry
};

const Texts& texts() {
  static const Texts t = [] {
    Texts t;
    t.list = contents_of(KW_LEAP_LIST);
    t.iers = contents_of(fs::path(KW_IERS_DATA_DIR) / "Leap_Second.dat");
    t.usno = contents_of(fs::path(KW_TEST_DATA_DIR) / "tai-utc.dat");
    t.shipped = test::shipped_table_text();
    t.older = t.shipped.substr(0, t.shipped.rfind("2017"));
    PublishedTable published;
    std::string why;
    if (!t.list.empty() && read_published(t.list, published, why)) {
      t.note = expiry_note(published);
      t.written = t.shipped.substr(0, t.shipped.size() - 2) + "   " + t.note + "\r\n";
    }
    return t;
  }();
  return t;
}

// Why a test that needs an optional package's files is skipped: the
// reason of its group, as configuring says it.
constexpr const char* kNeedsTheList = "needs the system's leap-second list (install tzdata)";
constexpr const char* kNeedsTheIers = "needs astropy's Leap_Second.dat (install python3-astropy)";

// The IETF list and the USNO's table give the same entries from 1972 on,
// the USNO's the built-in history before them; each its own expiry.
TEST(Sources, TheListAndTheUsnoTableGiveTheSameTable) {
  const Texts& t = texts();
  PublishedTable ietf;
  PublishedTable usno;
  std::string why;
  ASSERT_TRUE(read_published(t.list, ietf, why)) << why;
  ASSERT_TRUE(read_published(t.usno, usno, why)) << why;
  EXPECT_EQ(ietf.source, Source::ietf_list);
  EXPECT_EQ(usno.source, Source::usno_tai_utc);
  std::vector<PublishedEntry> since_1961 = entries_of_1961_to_1971();
  since_1961.insert(since_1961.end(), ietf.entries.begin(), ietf.entries.end());
  EXPECT_EQ(usno.entries, since_1961);
  EXPECT_FALSE(usno.expires.has_value());
  EXPECT_EQ(test::table_from_text(t.shipped).LS_N, static_cast<std::int32_t>(ietf.entries.size()));
}

// The USNO's tai-utc.dat, which the tests ship, needs no optional package:
// the history of 1961-1971, each value taken on its own day, A + (MJD -
// MJD0) x B, with its rate B; then the entries of the shipped table, with
// no expiry.
TEST(Sources, TaiUtcDatGivesTheHistoryWithRates) {
  const Texts& t = texts();
  ASSERT_FALSE(t.usno.empty()) << "tests/data/tai-utc.dat is missing";
  PublishedTable usno;
  std::string why;
  ASSERT_TRUE(read_published(t.usno, usno, why)) << why;
  EXPECT_EQ(usno.source, Source::usno_tai_utc);
  EXPECT_FALSE(usno.expires.has_value());
  ASSERT_GE(usno.entries.size(), 13U);
  // Worked by hand. 1961 AUG 1 (MJD 37512, 212 days after its MJD0 37300):
  // 1.3728180 + 212 x 0.001296 = 1.6475700 s. 1968 FEB 1 (MJD 39887, 761
  // days after 39126): 4.2131700 + 761 x 0.002592 = 6.1856820 s.
  EXPECT_EQ(usno.entries[1], (PublishedEntry{37512, 16'475'700, 12'960}));
  EXPECT_EQ(usno.entries[12], (PublishedEntry{39887, 61'856'820, 25'920}));
  std::vector<PublishedEntry> want = entries_of_1961_to_1971();
  const LeapTable shipped = test::shipped_leap_table();
  for (std::size_t i = 0; i < static_cast<std::size_t>(shipped.LS_N); ++i) {
    want.push_back({std::llround(shipped.LS_MJD[i]),
                    std::llround(shipped.LS_DT[i] * static_cast<double>(kUnitsPerSecond)), 0});
  }
  EXPECT_EQ(usno.entries, want);
}

// The IERS's Leap_Second.dat gives the list's entries, and its own expiry.
TEST(Sources, TheIersTableGivesTheListsEntries) {
  const Texts& t = texts();
  if (t.iers.empty()) GTEST_SKIP() << kNeedsTheIers;
  PublishedTable ietf;
  PublishedTable iers;
  std::string why;
  ASSERT_TRUE(read_published(t.list, ietf, why)) << why;
  ASSERT_TRUE(read_published(t.iers, iers, why)) << why;
  EXPECT_EQ(iers.source, Source::iers_leap_second);
  EXPECT_EQ(iers.entries, ietf.entries);
  EXPECT_EQ(iso_date(*iers.expires), "2023-06-28");  // "File expires on 28 June 2023"
}

struct Impostor {
  const char* name;
  std::string (*text)(const Texts&);
  const char* why;  // part of the reason given
};

// A failing case is named by its name, not by its bytes.
void PrintTo(const Impostor& c, std::ostream* os) {
  *os << c.name;
}

class DamagedSources : public ::testing::TestWithParam<Impostor> {};

// Damaged copies and impostors are refused, saying what is wrong or what
// was expected.
TEST_P(DamagedSources, AreRefused) {
  // A case damages the source its name begins with: only the IERS's
  // comes from an optional package.
  const std::string_view name = GetParam().name;
  if (name.starts_with("iers_") && texts().iers.empty()) GTEST_SKIP() << kNeedsTheIers;
  PublishedTable table;
  std::string why;
  EXPECT_FALSE(read_published(GetParam().text(texts()), table, why));
  EXPECT_NE(why.find(GetParam().why), std::string::npos) << why;
}

std::string replaced_once(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Published, DamagedSources,
    ::testing::Values(
        Impostor{"html_page",
                 [](const Texts&) -> std::string {
                   return "<!DOCTYPE html><html><body>404 Not Found</body></html>\n";
                 },
                 "expected the IETF leap-seconds.list"},
        Impostor{"list_cut_before_its_hash",
                 [](const Texts& t) { return t.list.substr(0, t.list.find("\n#h")); },
                 "one each of #$, #@ and #h"},
        Impostor{"list_number_changed",
                 [](const Texts& t) {
                   std::string list = t.list;  // 37 s from 1 January 2017, made 38
                   list.replace(list.find("37", list.find("\n3692217600")), 2, "38");
                   return list;
                 },
                 "do not match its hash"},
        Impostor{"list_with_two_update_times",
                 [](const Texts& t) { return replaced_once(t.list, "\n#@", "\n#$"); },
                 "one each of #$, #@ and #h"},
        Impostor{"list_out_of_order",
                 [](const Texts& t) {
                   std::vector<LeapListEntry> entries = entries_of(t.list);
                   std::swap(entries[3], entries[4]);
                   return signed_list("3900000000", "9000000000", entries);
                 },
                 "entry 5 (1974-01-01, 13 s) does not follow"},
        Impostor{"list_change_mid_month",
                 [](const Texts& t) {
                   std::vector<LeapListEntry> entries = entries_of(t.list);
                   entries.push_back({entries.back().ntp + 86400 * 400, 38});
                   return signed_list("3900000000", "9000000000", entries);
                 },
                 "not a change of whole seconds on the first of a month"},
        Impostor{"iers_cut_in_a_line",
                 [](const Texts& t) { return t.iers.substr(0, t.iers.rfind("2017") + 2); },
                 "not an MJD, a day, a month, a year and TAI-UTC"},
        Impostor{"iers_date_not_its_mjd",
                 [](const Texts& t) { return replaced_once(t.iers, "41499.0", "41500.0"); },
                 "is not the date given beside it"},
        Impostor{"iers_without_its_expiry",
                 [](const Texts& t) { return replaced_once(t.iers, "File expires on", "File:"); },
                 "without its expiry"},
        Impostor{"usno_jd_not_its_date",
                 [](const Texts& t) { return replaced_once(t.usno, "2437512.5", "2437513.5"); },
                 "line 2: not a date, its JD"},
        Impostor{"usno_cut_in_a_line",
                 [](const Texts& t) { return t.usno.substr(0, t.usno.size() - 20); },
                 "line 41: not a date, its JD"}),
    [](const ::testing::TestParamInfo<Impostor>& info) { return std::string(info.param.name); });

// A Leap_Second.dat of the IERS's layout: its issue and expiry lines and
// its entries, each "MJD.0 day month year TAI-UTC".
std::string iers_text(const std::string& issued, const std::string& expires,
                      const std::vector<std::string>& entries = {"41317.0    1  1 1972       10",
                                                                 "57754.0    1  1 2017       37"}) {
  std::string text = "#  Updated through IERS Bulletin 64 issued in " + issued + "\n#\n" +
                     "#  File expires on " + expires + "\n#\n";
  for (const std::string& entry : entries) text += "    " + entry + "\n";
  return text;
}

// A line of tai-utc.dat for 1961-01-01, its date given as `date`.
std::string usno_line(const std::string& date, const std::string& jd = "2437300.5") {
  return " " + date + " =JD " + jd + "  TAI-UTC=   1.4228180 S + (MJD - 37300.) X 0.001296 S\n";
}

struct PublishedCase {
  const char* name;
  std::string (*text)(const Texts&);
  const char* why;      // part of the reason; nullptr: the text is read
  const char* expires;  // a text read: the expiry its table loads with
  const char* updated;  // a text read: its date of issue as kept
};

// A failing case is named by its name, not by its bytes.
void PrintTo(const PublishedCase& c, std::ostream* os) {
  *os << c.name;
}

class PublishedDates : public ::testing::TestWithParam<PublishedCase> {};

// Every date a published table gives is a real one from 1858-11-17 to the
// year 9999, its expiry after its last entry, and only its own expiry
// field gives the expiry: the table written from it loads with that one.
TEST_P(PublishedDates, AreReal) {
  const PublishedCase& c = GetParam();
  PublishedTable table;
  std::string why;
  const bool read = read_published(c.text(texts()), table, why);
  if (c.why != nullptr) {
    EXPECT_FALSE(read);
    EXPECT_NE(why.find(c.why), std::string::npos) << why;
    return;
  }
  ASSERT_TRUE(read) << why;
  EXPECT_EQ(table.updated, c.updated);
  std::string text;
  ASSERT_TRUE(table_text(table, text, why)) << why;
  EXPECT_EQ(text.find_first_of("\x1b\a"), std::string::npos);
  const LeapTable loaded = test::table_from_text(text);
  EXPECT_EQ(iso_date(static_cast<std::int64_t>(loaded.expires)), c.expires) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PublishedDates,
    ::testing::Values(
        PublishedCase{"iers_issue_month_and_year",
                      [](const Texts&) { return iers_text("July 2022", "28 June 2023"); }, nullptr,
                      "2023-06-28", "July 2022"},
        PublishedCase{"iers_issue_text_escaped",
                      [](const Texts&) {
                        return iers_text("2099; expires 2099-12-31 \x1b]0;x\a\x1b[2J",
                                         "28 June 2023");
                      },
                      nullptr, "2023-06-28", ""},
        PublishedCase{
            "iers_issue_words_after_date",
            [](const Texts&) { return iers_text("July 2022 expires 2099-12-31", "28 June 2023"); },
            nullptr, "2023-06-28", "July 2022"},
        PublishedCase{"iers_day_257",
                      [](const Texts&) {
                        return iers_text("July 2022", "28 June 2027",
                                         {"41317.0 1 1 1972 10", "57754.0 257 1 2017 37"});
                      },
                      "line 6: year 2017, month 1, day 257 is not a date", nullptr, nullptr},
        PublishedCase{"iers_month_257",
                      [](const Texts&) {
                        return iers_text("July 2022", "28 June 2027", {"57754.0 1 257 2017 37"});
                      },
                      "year 2017, month 257, day 1 is not a date", nullptr, nullptr},
        PublishedCase{"iers_expiry_day_257",
                      [](const Texts&) { return iers_text("July 2022", "257 June 2027"); },
                      "its expiry: year 2027, month 6, day 257 is not a date", nullptr, nullptr},
        PublishedCase{"iers_entry_before_1858_11_17",
                      [](const Texts&) {
                        return iers_text("July 2022", "28 June 2027",
                                         {"-1.0 16 11 1858 1", "57754.0 1 1 2017 37"});
                      },
                      "day 16 lies before 1858-11-17", nullptr, nullptr},
        PublishedCase{"iers_entry_past_9999",
                      [](const Texts&) {
                        return iers_text("July 2022", "28 June 2027",
                                         {"57754.0 1 1 2017 37", "2973484.0 1 1 10000 38"});
                      },
                      "year 10000, month 1, day 1 lies past the year 9999", nullptr, nullptr},
        PublishedCase{"iers_expiry_before_the_last_entry",
                      [](const Texts&) { return iers_text("July 2022", "28 June 2016"); },
                      "its expiry, 2016-06-28, does not lie after its last entry 2 (2017-01-01, "
                      "37 s)",
                      nullptr, nullptr},
        PublishedCase{"usno_day_257", [](const Texts&) { return usno_line("1961 JAN 257"); },
                      "line 1: not a date, its JD and TAI-UTC = A + (MJD - MJD0) x B, as "
                      "tai-utc.dat has them (year 1961, month 1, day 257 is not a date)",
                      nullptr, nullptr},
        PublishedCase{
            "usno_jd_at_the_least_integer",
            [](const Texts&) { return usno_line("1961 JAN  1", "-9223372036854775808.5"); },
            "line 1: not a date, its JD", nullptr, nullptr},
        PublishedCase{"ietf_expiry_2_to_the_64_less_1",
                      [](const Texts& t) { return with_expiry(t.list, "18446744073709551615"); },
                      "a time past the year 9999, which no list gives", nullptr, nullptr},
        PublishedCase{"ietf_entry_past_9999",
                      [](const Texts& t) {
                        std::vector<LeapListEntry> entries = entries_of(t.list);
                        entries.push_back({255611289600, 38});  // 10000-01-01
                        return signed_list("3900000000", "9000000000", entries);
                      },
                      "past the year 9999", nullptr, nullptr},
        PublishedCase{"ietf_expiry_on_the_last_entry",
                      [](const Texts& t) { return with_expiry(t.list, "3692217600"); },
                      "its expiry, 2017-01-01, does not lie after its last entry 28", nullptr,
                      nullptr}),
    [](const ::testing::TestParamInfo<PublishedCase>& info) {
      return std::string(info.param.name);
    });

// One run of kw_lsini in `work`, with the list in the folder above it.
struct RunCase {
  const char* name;
  void (*arrange)(const Texts& t, const fs::path& work, const fs::path& outside);
  std::vector<std::string> arguments;  // the list is ../list unless given
  int status;
  const char* message;  // part of the standard error
  void (*check)(const Texts& t, const fs::path& work, const fs::path& outside);
  long max_file_size = 0;
};

// A failing case is named by its name, not by its bytes.
void PrintTo(const RunCase& c, std::ostream* os) {
  *os << c.name;
}

void table_is(const fs::path& work, const std::string& bytes) {
  EXPECT_EQ(test::read_file(work / "ls.ini"), bytes);
}

class LsiniRuns : public ::testing::TestWithParam<RunCase> {};

TEST_P(LsiniRuns, End) {
  const RunCase& c = GetParam();
  const test::TempDir dir;
  const fs::path work = dir.path() / "work";
  fs::create_directories(work);
  test::write_file(dir.path() / "list", texts().list);
  c.arrange(texts(), work, dir.path());
  std::set<std::string> before = test::names_in(work);
  before.insert("ls.ini");
  const test::RunResult result = test::run_program(
      KW_LSINI_PATH, work,
      {.max_file_size = c.max_file_size,
       .timeout_seconds = 20,
       .arguments = c.arguments.empty() ? std::vector<std::string>{"../list"} : c.arguments});
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_status, c.status) << result.standard_error;
  EXPECT_NE(result.standard_error.find(c.message), std::string::npos) << result.standard_error;
  std::set<std::string> after = test::names_in(work);
  after.insert("ls.ini");
  EXPECT_EQ(after, before);  // no temporary left beside the table
  if (c.check != nullptr) c.check(texts(), work, dir.path());
}

void nothing(const Texts&, const fs::path&, const fs::path&) {}

// Tables kept, brought up to date, or refused, and lists refused.
INSTANTIATE_TEST_SUITE_P(
    Tables, LsiniRuns,
    ::testing::Values(
        RunCase{"no_table",
                nothing,
                {},
                0,
                "wrote ls.ini: 28 entries, 1972-01-01 (10 s) to "
                "2017-01-01 (37 s)",
                [](const Texts& t, const fs::path& w, const fs::path&) { table_is(w, t.written); }},
        RunCase{"older_table_with_notes",
                [](const Texts& t, const fs::path& w, const fs::path&) {
                  test::write_file(w / "ls.ini",
                                   "\r\n" + replaced_once(t.older, "10.0", "10.0 my note"));
                },
                {},
                0,
                "(1 added)",
                [](const Texts& t, const fs::path& w, const fs::path&) {
                  table_is(w, "\r\n" + replaced_once(t.written, "10.0", "10.0 my note"));
                }},
        RunCase{"same_entries_an_earlier_expiry",
                [](const Texts& t, const fs::path& w, const fs::path&) {
                  test::write_file(w / "ls.ini",
                                   replaced_once(t.written, t.note, "expires 2020-01-01, old"));
                },
                {},
                0,
                "(0 added)",
                [](const Texts& t, const fs::path& w, const fs::path&) { table_is(w, t.written); }},
        RunCase{"up_to_date_read_only_and_noted",
                [](const Texts& t, const fs::path& w, const fs::path&) {
                  test::write_file(w / "ls.ini", replaced_once(t.written, "10.0", "10.0 x"));
                  fs::permissions(w / "ls.ini", fs::perms::owner_read | fs::perms::group_read);
                },
                {},
                0,
                "ls.ini is up to date",
                [](const Texts& t, const fs::path& w, const fs::path&) {
                  table_is(w, replaced_once(t.written, "10.0", "10.0 x"));
                  EXPECT_EQ(fs::status(w / "ls.ini").permissions() & fs::perms::owner_write,
                            fs::perms::none);
                }},
        RunCase{"since_1961_before_a_table_of_1972",
                [](const Texts& t, const fs::path& w, const fs::path&) {
                  test::write_file(w / "ls.ini", t.written);
                },
                {"--since-1961", "../list"},
                0,
                "(13 added)",
                [](const Texts& t, const fs::path& w, const fs::path&) {
                  const std::string table = test::read_file(w / "ls.ini");
                  EXPECT_EQ(table.substr(0, 45), "1961  1  1   1.4228180 rate 0.0012960 s/day\r\n");
                  EXPECT_TRUE(table.ends_with(t.written));
                  EXPECT_EQ(test::table_from_text(table).LS_N, 41);
                }},
        // Up to date: the table's own count, not the list's.
        RunCase{"plain_list_on_a_table_since_1961",
                [](const Texts&, const fs::path& w, const fs::path&) {
                  ASSERT_EQ(test::run_program(KW_LSINI_PATH, w,
                                              {.arguments = {"--since-1961", "../list"}})
                                .exit_status,
                            0);
                },
                {},
                0,
                "ls.ini is up to date: 41 entries, 1961-01-01 to 2017-01-01 (37 s), the list's "
                "28 among them; left untouched",
                [](const Texts&, const fs::path& w, const fs::path&) {
                  EXPECT_EQ(test::table_from_text(test::read_file(w / "ls.ini")).LS_N, 41);
                }},
        RunCase{"usno_list_as_since_1961",
                [](const Texts& t, const fs::path&, const fs::path& o) {
                  test::write_file(o / "list", t.usno);
                },
                {},
                0,
                "tai-utc.dat, which gives no expiry",
                [](const Texts&, const fs::path& w, const fs::path&) {
                  const LeapTable table = test::table_from_text(test::read_file(w / "ls.ini"));
                  EXPECT_EQ(table.LS_N, 41);
                  EXPECT_EQ(table.LS_RATE[12], 0.002592);
                  EXPECT_EQ(table.expires, kNoExpiry);
                }},
        RunCase{"html_page_as_the_list",
                [](const Texts& t, const fs::path& w, const fs::path& o) {
                  test::write_file(o / "list", "<html><body>Service unavailable</body></html>\n");
                  test::write_file(w / "ls.ini", t.older);
                },
                {},
                1,
                "expected the IETF leap-seconds.list",
                [](const Texts& t, const fs::path& w, const fs::path&) { table_is(w, t.older); }},
        RunCase{"a_value_the_list_contradicts",
                [](const Texts& t, const fs::path& w, const fs::path&) {
                  test::write_file(w / "ls.ini", replaced_once(t.shipped, "1999  1  1  32.0",
                                                               "1999  1  1  33.0"));
                },
                {},
                3,
                "entry 23 (1999-01-01, 33 s) differs from the list's 1999-01-01, 32 s",
                nullptr},
        RunCase{
            "an_entry_the_list_lacks",
            [](const Texts& t, const fs::path& w,
               const fs::
                   path&) { test::write_file(w / "ls.ini", t.shipped + "2030  1  1  38.0\r\n"); },
            {},
            3,
            "entry 29 (2030-01-01, 38 s) is not in the list",
            nullptr},
        RunCase{
            "a_table_that_does_not_read",
            [](const Texts&, const fs::path& w, const fs::path&) {
              test::write_file(w / "ls.ini", "1999 x\r\n");
            },
            {},
            3,
            "does not read as a table",
            [](const Texts&, const fs::path& w, const fs::path&) { table_is(w, "1999 x\r\n"); }},
        RunCase{"more_entries_than_a_table_holds",
                [](const Texts& t, const fs::path& w, const fs::path& o) {
                  std::vector<LeapListEntry> entries = entries_of(t.list);
                  for (int year = 2018; entries.size() <= LS_MAX; ++year) {  // each 1 January
                    const long long days = test::days_from_civil(year, 1, 1) + 40587 - 15020;
                    entries.push_back({static_cast<std::uint64_t>(days) * 86400, year - 1980});
                  }
                  test::write_file(o / "list", signed_list("3900000000", "9000000000", entries));
                  test::write_file(w / "ls.ini", t.older);
                },
                {},
                1,
                "more than 100",
                [](const Texts& t, const fs::path& w, const fs::path&) { table_is(w, t.older); }},
        RunCase{"old_table_grown_past_the_bound",
                [](const Texts& t, const fs::path& w, const fs::path&) {
                  const std::string noted = replaced_once(t.older, "10.0", "10.0 ");
                  test::write_file(
                      w / "ls.ini",
                      replaced_once(noted, "10.0 ",
                                    "10.0 " + std::string(kLongestTable - 40 - noted.size(), 'n')));
                },
                {},
                1,
                "bytes, larger than the 1048576 bytes the converter reads; nothing written",
                [](const Texts& t, const fs::path& w, const fs::path&) {
                  EXPECT_EQ(test::read_file(w / "ls.ini").size(), kLongestTable - 40);
                  EXPECT_TRUE(test::read_file(w / "ls.ini").ends_with(t.older.substr(100)));
                }},
        RunCase{
            "iers_issue_text_kept_out",
            [](const Texts&, const fs::path&, const fs::path& o) {
              test::write_file(o / "list", iers_text("\x1b[2J expires 2099-12-31", "28 June 2023"));
            },
            {},
            0,
            "Leap_Second.dat, expires 2023-06-28",
            [](const Texts&, const fs::path& w, const fs::path&) {
              const std::string table = test::read_file(w / "ls.ini");
              EXPECT_TRUE(table.ends_with("37.0   expires 2023-06-28, Leap_Second.dat\r\n"))
                  << table;
              EXPECT_EQ(iso_date(static_cast<std::int64_t>(test::table_from_text(table).expires)),
                        "2023-06-28");
            }},
        RunCase{"list_expiring_at_2_to_the_64_less_1",
                [](const Texts& t, const fs::path& w, const fs::path& o) {
                  test::write_file(o / "list", with_expiry(t.list, "18446744073709551615"));
                  test::write_file(w / "ls.ini", t.older);
                },
                {},
                1,
                "a time past the year 9999, which no list gives; nothing written",
                [](const Texts& t, const fs::path& w, const fs::path&) { table_is(w, t.older); }},
        RunCase{"no_list",
                [](const Texts&, const fs::path&, const fs::path& o) { fs::remove(o / "list"); },
                {},
                1,
                "cannot read the list",
                nullptr},
        RunCase{
            "list_named_like_an_option",
            [](const Texts& t, const fs::path&, const fs::path& o) {
              test::write_file(o / "-list", t.list);
            },
            {"--", "../-list"},
            0,
            "wrote ls.ini",
            [](const Texts& t, const fs::path& w, const fs::path&) { table_is(w, t.written); }}),
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

#ifndef _WIN32
// What another user, or a careless one, may leave in the folder or give as
// the list: the table is written whole or not at all, never through a link
// to a file that is not a table the list extends.
INSTANTIATE_TEST_SUITE_P(
    Files, LsiniRuns,
    ::testing::Values(
        RunCase{"planted_link_as_the_old_temporary",
                [](const Texts&, const fs::path& w, const fs::path& o) {
                  test::write_file(o / "victim", "precious");
                  fs::create_symlink(o / "victim", w / "ls.ini.new");
                },
                {},
                0,
                "wrote ls.ini",
                [](const Texts& t, const fs::path& w, const fs::path& o) {
                  EXPECT_EQ(test::read_file(o / "victim"), "precious");
                  table_is(w, t.written);
                }},
        RunCase{"link_to_a_file_that_is_no_table",
                [](const Texts&, const fs::path& w, const fs::path& o) {
                  test::write_file(o / "victim", "precious\n");
                  fs::create_symlink(o / "victim", w / "ls.ini");
                },
                {},
                3,
                "does not read as a table",
                [](const Texts&, const fs::path&, const fs::path& o) {
                  EXPECT_EQ(test::read_file(o / "victim"), "precious\n");
                }},
        RunCase{"link_to_an_empty_file",
                [](const Texts&, const fs::path& w, const fs::path& o) {
                  test::write_file(o / "victim", "");
                  fs::create_symlink(o / "victim", w / "ls.ini");
                },
                {},
                4,
                "symbolic link",
                [](const Texts&, const fs::path&, const fs::path& o) {
                  EXPECT_EQ(test::read_file(o / "victim"), "");
                }},
        RunCase{"link_to_a_blank_file",
                [](const Texts&, const fs::path& w, const fs::path& o) {
                  test::write_file(o / "victim", "  \r\n\n");
                  fs::create_symlink(o / "victim", w / "ls.ini");
                },
                {},
                4,
                "symbolic link",
                [](const Texts&, const fs::path&, const fs::path& o) {
                  EXPECT_EQ(test::read_file(o / "victim"), "  \r\n\n");
                }},
        RunCase{"link_to_an_older_table",
                [](const Texts& t, const fs::path& w, const fs::path& o) {
                  test::write_file(o / "victim", t.older);
                  fs::create_symlink(o / "victim", w / "ls.ini");
                },
                {},
                0,
                "wrote ls.ini",
                [](const Texts& t, const fs::path& w, const fs::path& o) {
                  EXPECT_EQ(test::read_file(o / "victim"), t.written);
                  EXPECT_TRUE(fs::is_symlink(w / "ls.ini"));
                }},
        RunCase{"fifo_as_the_list",
                [](const Texts&, const fs::path&, const fs::path& o) {
                  fs::remove(o / "list");
                  ::mkfifo((o / "list").c_str(), 0600);
                },
                {},
                1,
                "not a regular file",
                nullptr},
        RunCase{
            "endless_device_as_the_list", nothing, {"/dev/zero"}, 1, "not a regular file", nullptr},
        RunCase{"oversized_list",
                [](const Texts& t, const fs::path&, const fs::path& o) {
                  test::write_file(o / "list", t.list + std::string(kLongestTable, '#'));
                },
                {},
                1,
                "larger than",
                nullptr},
        RunCase{"fifo_as_the_table",
                [](const Texts&, const fs::path& w,
                   const fs::path&) { ::mkfifo((w / "ls.ini").c_str(), 0600); },
                {},
                3,
                "not a regular file",
                nullptr},
        RunCase{"file_size_limit",
                [](const Texts& t, const fs::path& w, const fs::path&) {
                  test::write_file(w / "ls.ini", t.older);
                },
                {},
                4,
                "File too large",
                [](const Texts& t, const fs::path& w, const fs::path&) { table_is(w, t.older); },
                300}),  // standard error fits, the table not
    [](const ::testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

TEST(Lsini, RunsAtOnceInOneFolderAllEndWithTheTable) {
  const test::TempDir dir;
  const fs::path work = dir.path() / "work";
  fs::create_directories(work);
  test::write_file(dir.path() / "list", texts().list);
  for (int round = 0; round < 5; ++round) {
    test::write_file(work / "ls.ini", texts().shipped.substr(0, texts().shipped.find("1980")));
    std::vector<std::thread> runs;
    std::vector<int> statuses(3, -1);
    for (int& status : statuses) {
      runs.emplace_back([&work, &status] {
        status = test::run_program(KW_LSINI_PATH, work, {.arguments = {"../list"}}).exit_status;
      });
    }
    for (std::thread& run : runs) run.join();
    EXPECT_EQ(statuses, std::vector<int>(3, 0)) << round;
    EXPECT_EQ(test::read_file(work / "ls.ini"), texts().written) << round;
    EXPECT_EQ(std::distance(fs::directory_iterator(work), fs::directory_iterator()), 1) << round;
  }
}
#endif

// Without a list named, kw_lsini reads the system's, where the system
// keeps one (tzdata's): the table is the one that list gives when named.
TEST(Lsini, WithoutAListReadsTheSystemOne) {
  if (kw::os::system_leap_list().empty() || !fs::exists(KW_SYSTEM_LEAP_LIST)) {
    GTEST_SKIP() << kNeedsTheList;
  }
  const test::TempDir dir;
  for (const char* folder : {"default", "named"}) fs::create_directories(dir.path() / folder);
  const test::RunResult by_default = test::run_program(KW_LSINI_PATH, dir.path() / "default");
  const test::RunResult named =
      test::run_program(KW_LSINI_PATH, dir.path() / "named", {.arguments = {KW_SYSTEM_LEAP_LIST}});
  ASSERT_EQ(by_default.exit_status, 0) << by_default.standard_error;
  ASSERT_EQ(named.exit_status, 0) << named.standard_error;
  EXPECT_EQ(test::read_file(dir.path() / "default" / "ls.ini"),
            test::read_file(dir.path() / "named" / "ls.ini"));
  EXPECT_NE(by_default.standard_error.find(KW_SYSTEM_LEAP_LIST), std::string::npos)
      << by_default.standard_error;
}

#ifndef _WIN32
// Another program keeps replacing ls.ini with a table the list extends
// (the replacing thread stands for it): a table replaced between being
// found and being opened is read again, as one replaced before the rename
// is, and a run ends with the table written or with the status of a write
// that could not be made, never with that of a table kept.
TEST(Lsini, ATableReplacedWhileItIsOpenedIsReadAgain) {
  const test::TempDir dir;
  const fs::path work = dir.path() / "work";
  fs::create_directories(work);
  test::write_file(dir.path() / "list", texts().list);
  test::write_file(dir.path() / "older", texts().older);
  std::atomic<bool> done{false};
  std::thread replacer([&] {
    for (int n = 0; !done; ++n) {
      const fs::path next = dir.path() / ("next" + std::to_string(n % 2));
      std::error_code ignored;
      fs::copy_file(dir.path() / "older", next, fs::copy_options::overwrite_existing, ignored);
      fs::rename(next, work / "ls.ini", ignored);
    }
  });
  std::set<int> statuses;
  for (int run = 0; run < 60; ++run) {
    const test::RunResult result =
        test::run_program(KW_LSINI_PATH, work, {.arguments = {"../list"}});
    statuses.insert(result.exit_status);
    EXPECT_EQ(result.standard_error.find("changed while it was opened"), std::string::npos)
        << result.standard_error;
  }
  done = true;
  replacer.join();
  for (const int status : statuses) EXPECT_TRUE(status == 0 || status == 4) << status;
}
#endif

TEST(Lsini, WarnsWhenTheListHasExpired) {
  const test::TempDir dir;
  const std::string expired = with_expiry(texts().list, "3899836800");  // 2023-08-01
  test::write_file(dir.path() / "list", expired);
  const test::ScopedCwd cwd(dir.path());
  // The expiry is an instant: from that second on, not from the next day.
  const std::int64_t expiry = 3899836800 - ntp_of_posix(0);
  for (const std::int64_t now : {expiry - 1, expiry, expiry + 86399}) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(kw::run_lsini({"list"}, now), lsini_status::ok);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find("warning: the list expired on 2023-08-01") != std::string::npos,
              now >= expiry)
        << now << ": " << said;
    // The warning is one line, to its end: where a fresh list comes from.
    const std::size_t warning = said.find("warning:");
    if (warning != std::string::npos) {
      const std::string line = said.substr(warning, said.find('\n', warning) - warning);
      EXPECT_TRUE(line.ends_with("https://hpiers.obspm.fr/iers/bul/bulc/ntp/leap-seconds.list"))
          << line;
    }
    fs::remove(dir.path() / "ls.ini");
  }
}

// The warning's test of the clock counts days: no clock overflows it.
TEST(Lsini, WarnsOfAnExpiredListAtAnyClock) {
  const test::TempDir dir;
  test::write_file(dir.path() / "list", texts().list);
  const test::ScopedCwd cwd(dir.path());
  for (const std::int64_t now : {INT64_MIN, std::int64_t{-1}, INT64_MAX}) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(kw::run_lsini({"list"}, now), lsini_status::ok);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find("warning: the list expired") != std::string::npos, now == INT64_MAX)
        << now << ": " << said;
    fs::remove(dir.path() / "ls.ini");
  }
}

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
    // The program's name as the system knows it: KW_TAI2UTC on Windows.
    const auto lower = [](std::string text) {
      std::transform(text.begin(), text.end(), text.begin(),
                     [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
      return text;
    };
    EXPECT_EQ(lower(result.standard_output.substr(0, std::string(c.output).size())),
              lower(c.output))
        << what;
    if (c.status != 0) {
      EXPECT_EQ(std::count(result.standard_error.begin(), result.standard_error.end(), '\n'), 1)
          << what << ": " << result.standard_error;
    }
    EXPECT_TRUE(fs::is_empty(dir.path())) << what;
  }
  // Every help line fits 79 columns.
  for (const char* program : {KW_TAI2UTC_PATH, KW_LSINI_PATH}) {
    const test::TempDir dir;
    const std::string help =
        test::run_program(program, dir.path(), {.arguments = {"--help"}}).standard_output;
    for (std::size_t at = 0, end = 0; at < help.size(); at = end + 1) {
      end = help.find('\n', at);
      EXPECT_LE(end - at, 79U) << help.substr(at, end - at);
    }
  }
}

}  // namespace
}  // namespace kw

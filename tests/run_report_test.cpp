// How a run's outcome is reported: the failure line, the detail line the
// named form adds, the program's own status for a run out of memory, and
// the lines on records outside what the table knows.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <string_view>

#include "conversion/record_batch.h"
#include "conversion/run.h"
#include "records/failure.h"
#include "support/leap_tables.h"

namespace kw {
namespace {

struct ReportCase {
  const char* what;
  void (*run)();
  Details details;
  int status;
  const char* lines;  // on standard error
};

TEST(RunReport, SaysEachOutcomeOnceWithItsStatus) {
  const ReportCase cases[] = {
      {"normal end", [] {}, Details::written, 0, ""},
      {"a stop, fixed run", [] { throw RunStop("forrtl: severe (59): x", 59, "KW_TAI2UTC: why"); },
       Details::left_out, 59, "forrtl: severe (59): x\n"},
      {"a stop, named form", [] { throw RunStop("forrtl: severe (59): x", 59, "KW_TAI2UTC: why"); },
       Details::written, 59, "forrtl: severe (59): x\nKW_TAI2UTC: why\n"},
      {"out of memory", [] { throw std::bad_alloc(); }, Details::left_out, out_of_memory_status,
       "KW_TAI2UTC: out of memory\n"},
  };
  for (const ReportCase& c : cases) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run_and_report(c.run, c.details), c.status) << c.what;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.lines) << c.what;
  }
}

// What the records past the table's expiry took: its last value, or with
// a rate on the last entry, that value and its change a day from the
// entry's date on.
TEST(RunReport, SaysWhatRecordsPastTheExpiryTook) {
  const struct {
    const char* table;
    ZoneCounts counts;
    const char* lines;
  } cases[] = {
      {"1972 1 1 10\n2017 1 1 37 expires 2027-06-28\n",
       {.before_table = 0, .expired = 120},
       "KW_TAI2UTC: 120 records dated on or after 2027-06-28, when the table expires, took 37.0 s "
       "(its last value; a fresh list may know a leap second since)\n"},
      {"1961 1 1 1.422818 rate 0.001296 s/day\n"
       "1968 2 1 4.2131700 rate 0.002592 s/day expires 1971-01-01\n",
       {.before_table = 3652, .expired = 1},
       "KW_TAI2UTC: 3,652 records dated before 1961-01-01, the table's first entry, took "
       "0.422818 s (its first value less one second)\n"
       "KW_TAI2UTC: 1 record dated on or after 1971-01-01, when the table expires, took "
       "4.21317 s + 0.002592 s a day from 1968-02-01 (its last value plus its rate; a fresh "
       "list may know a leap second since)\n"},
      {"1972 1 1 10\n2017 1 1 37\n", {.before_table = 0, .expired = 0}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(outside_the_table(c.counts, test::table_from_text(c.table)), c.lines) << c.table;
  }
}

// Names and texts from files reach the terminal with no control
// character, C1 ones included, however they are encoded; other text,
// UTF-8 or not, is shown as it is.
TEST(RunReport, ShowsNoControlCharacter) {
  const struct {
    std::string_view name;
    std::string_view shown;
  } cases[] = {
      {"ls.ini", "ls.ini"},
      {"a\x1b[31mb", "a\\x1b[31mb"},
      {"\x7f\n", "\\x7f\\x0a"},
      {"caf\xc3\xa9", "caf\xc3\xa9"},  // UTF-8 e acute
      {"\xc4\x80 \xe2\x82\xac \xf0\x9f\x98\x80",
       "\xc4\x80 \xe2\x82\xac \xf0\x9f\x98\x80"},  // 80 and 9F as continuations
      {"\xc2\x9b"
       "31m",
       "\\xc2\\x9b"
       "31m"},                   // CSI as UTF-8 encodes it
      {"\xc2\xa0", "\xc2\xa0"},  // no-break space
      {"\x9b"
       "31m",
       "\\x9b"
       "31m"},                             // CSI as one byte
      {"\xe9t\xe9", "\xe9t\xe9"},          // Latin-1 text
      {"\xe0\x80\x9b", "\xe0\\x80\\x9b"},  // overlong: its bytes alone
      {"\xc3", "\xc3"},                    // a lead at the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shown(c.name), c.shown) << c.name;
  }
}

}  // namespace
}  // namespace kw

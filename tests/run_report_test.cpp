// How a run's outcome is reported: the failure line, the detail line the
// named form adds, and the program's own status for a run out of memory.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "conversion/run.h"
#include "records/failure.h"

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

}  // namespace
}  // namespace kw

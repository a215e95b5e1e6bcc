// Fuzz target: the leap-second table loader on a whole "ls.ini".
//
// Properties: the load either ends the run with one of its failure lines
// (exit status 1, 24, 39, 59 or 64) or gives 1 to 100 entries with finite,
// ascending dates; and LS_D on that table agrees, at and beside every
// entry's date, with a walk of the table as it is defined.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "records/failure.h"
#include "support/files.h"
#include "support/leap_tables.h"
#include "support/oracles.h"
#include "timescale/lsconv_s.h"

using kw::test::walk_the_table;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kw::fuzz::scratch_directory();
  kw::test::write_file("ls.ini", std::string_view(reinterpret_cast<const char*>(data), size));
  kw::LeapTable table;
  const kw::LeapColumn& mjd = table.LS_MJD;
  const kw::LeapColumn& dt = table.LS_DT;
  const std::int32_t& n = table.LS_N;
  try {
    kw::LS_L(table.LS_MJD, table.LS_DT, table.LS_N);
  } catch (const kw::RunStop& stop) {
    const std::string line = stop.line();
    const int status = stop.status();
    if (status == kw::table_problem_status) {
      FUZZ_CHECK(line.rfind("KW_TAI2UTC: \"ls.ini\"", 0) == 0);
    } else {
      FUZZ_CHECK(status == 24 || status == 39 || status == 59 || status == 64);
      FUZZ_CHECK(line.rfind("forrtl: severe (", 0) == 0);
      FUZZ_CHECK(line.find(", unit 3, file ls.ini") != std::string::npos);
    }
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    return 0;
  }
  FUZZ_CHECK(n >= 1 && n <= kw::LS_MAX);
  for (int i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    FUZZ_CHECK(std::isfinite(mjd[k]) && std::isfinite(dt[k]));
    if (i > 0) FUZZ_CHECK(mjd[k - 1] <= mjd[k]);
  }
  for (int i = 0; i < n; ++i) {
    const double at = mjd[static_cast<std::size_t>(i)];
    for (const double date : {at, at - 0.5, at + 0.5, std::nextafter(at, -INFINITY)}) {
      const double found = kw::test::tai_utc(table, date);
      const double expected = walk_the_table(table, date);
      FUZZ_CHECK(found == expected || (std::isnan(found) && std::isnan(expected)));
    }
  }
  return 0;
}

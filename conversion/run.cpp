#include "conversion/run.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <thread>

#include <cstdio>

#include "conversion/record_batch.h"
#include "platform/process.h"
#include "records/failure.h"
#include "timescale/leap_table.h"
#include "timescale/published/published_table.h"

namespace kw {

namespace {

// Seconds as the table writes them, without trailing zeros: "9.0",
// "0.422818".
std::string seconds(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.7f", value);
  std::string s = text;
  while (s.ends_with('0') && s[s.size() - 2] != '.') s.pop_back();
  return s;
}

std::string records(std::uint64_t n) {
  return with_thousands(n) + (n == 1 ? " record" : " records");
}

}  // namespace

std::string outside_the_table(const ZoneCounts& counts, const LeapTable& table) {
  std::string lines;
  if (table.LS_N < 1) return lines;
  if (counts.before_table > 0) {
    lines += std::string(kProgramPrefix) + records(counts.before_table) + " dated before " +
             iso_date(static_cast<std::int64_t>(table.LS_MJD[0])) +
             ", the table's first entry, took " + seconds(table.LS_DT[0] - 1.0) +
             " s (its first value less one second)\n";
  }
  if (counts.expired > 0) {
    // The table's expiry lies after its last entry: the records took that
    // entry's value, and with a rate its change since the entry's date.
    const auto last = static_cast<std::size_t>(std::min(table.LS_N, LS_MAX) - 1);
    std::string took = seconds(table.LS_DT[last]) + " s (its last value";
    if (table.LS_RATE[last] != 0.0) {
      took = seconds(table.LS_DT[last]) + " s + " + seconds(table.LS_RATE[last]) +
             " s a day from " + iso_date(static_cast<std::int64_t>(table.LS_MJD[last])) +
             " (its last value plus its rate";
    }
    lines += std::string(kProgramPrefix) + records(counts.expired) + " dated on or after " +
             iso_date(static_cast<std::int64_t>(table.expires)) +
             ", when the table expires, took " + took +
             "; a fresh list may know a leap second since)\n";
  }
  return lines;
}

unsigned worker_count() {
  return std::clamp(std::thread::hardware_concurrency(), 1U, 4U);
}

int run_and_report(const std::function<void()>& run, Details details) {
  os::prepare_process();
  try {
    run();
    return 0;
  } catch (const RunStop& stop) {
    std::string lines = std::string(stop.line()) + "\n";
    if ((details == Details::written || stop.located()) && !stop.detail().empty()) {
      lines += stop.detail() + "\n";
    }
    os::write_standard_error(lines);
    return stop.status();
  } catch (const std::bad_alloc&) {
    os::write_standard_error(std::string(kProgramPrefix) + "out of memory\n");
    return out_of_memory_status;
  } catch (const std::exception& e) {
    os::write_standard_error(std::string(kProgramPrefix) + e.what() + "\n");
    return 1;
  }
}

}  // namespace kw

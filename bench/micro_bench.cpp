// Micro-benchmarks of the inner steps of a conversion, each on its own:
// the date lookup (JUDDY + LS_D), the table of offsets of all dates that a
// run builds at its start, and the scan and general tiers converting whole
// records in several layouts.
//
//   build/default/bench/kw_micro_bench
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "conversion/tiers/general_tier.h"
#include "conversion/tiers/scan_alone.h"
#include "records/data_record.h"
#include "support/held_record.h"
#include "support/leap_tables.h"
#include "timescale/date_offsets.h"
#include "timescale/leap_table.h"
#include "timescale/lsconv_s.h"

namespace {

// Records like the real files': six values within 38 columns, in the
// layout `format` gives them.
std::vector<std::string> sample_columns(const char* format = "%02d %02d %02d %.6f %.6f %.6f") {
  std::vector<std::string> columns;
  double x = 0.17;
  double z = -29.45;
  for (int i = 0; i < 4096; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, format, (62 + i / 365) % 100, 1 + i / 28 % 12, 1 + i % 28, x,
                  0.48 - x / 3, z);
    std::string text(line);
    text.resize(kw::kParsedColumns, ' ');  // the columns read, then blanks
    text.resize(kw::kSlotWidth, ' ');
    columns.push_back(text);
    x += (i % 7 - 3) * 0.0007;
    z -= (i % 5 - 2) * 0.0011;
  }
  return columns;
}

using kw::test::shipped_leap_table;

void BM_JuddyAndLsD(benchmark::State& state) {
  const kw::LeapTable table = shipped_leap_table();
  // Consecutive days, as in a daily series: 1962 to 2049.
  int year = 1962;
  int month = 1;
  int day = 1;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    double y = year;
    double m = month;
    const double d = day;
    double mjd = 0.0;
    kw::JUDDY(mjd, y, m, d);
    double dt = 0.0;
    kw::LS_D(dt, mjd, table.LS_MJD, table.LS_DT, table.LS_N);
    benchmark::DoNotOptimize(dt);
    if (++day > 28) {
      day = 1;
      if (++month > 12) {
        month = 1;
        if (++year > 2049) year = 1962;
      }
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_JuddyAndLsD);

// What every run pays before its first record: the offsets of all dates.
void BM_BuildDateOffsets(benchmark::State& state) {
  const kw::LeapTable table = shipped_leap_table();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    const kw::DateOffsets dates(table);
    benchmark::DoNotOptimize(&dates);
  }
}
BENCHMARK(BM_BuildDateOffsets);

// Whole records through the scan tier, then through the general tier:
// read, offset looked up, edited.
void BM_ScanTier(benchmark::State& state, const char* format) {
  std::vector<kw::test::HeldRecord> records;
  for (const std::string& line : sample_columns(format)) records.emplace_back(line);
  const kw::DateOffsets offsets(shipped_leap_table());
  std::array<char, kw::kOutputWidth> text{};
  std::size_t i = 0;
  std::size_t decided = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    kw::DateZone zone{};
    const kw::Converted done =
        kw::scan_alone(records[i++ & 4095].text(), offsets, text.data(), zone);
    decided += static_cast<std::size_t>(done != kw::Converted::undecided);
    benchmark::DoNotOptimize(text);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["decided"] = static_cast<double>(decided) / static_cast<double>(i);
}
BENCHMARK_CAPTURE(BM_ScanTier, single_blanks, "%02d %02d %02d %.6f %.6f %.6f");
BENCHMARK_CAPTURE(BM_ScanTier, padded, "%02d %02d %02d %9.6f %9.6f %10.6f");
BENCHMARK_CAPTURE(BM_ScanTier, blank_padded_dates, "%02d %2d %2d %.6f %.6f %.6f");
BENCHMARK_CAPTURE(BM_ScanTier, commas, "%d,%d,%d,%.6f,%.6f,%.6f");
BENCHMARK_CAPTURE(BM_ScanTier, tabs, "%02d\t%02d\t%02d\t%.6f\t%.6f\t%.6f");
BENCHMARK_CAPTURE(BM_ScanTier, shortest_floats, "%d %d %d %.9g %.7g %.8g");

void BM_GeneralTier(benchmark::State& state) {
  const auto columns = sample_columns();
  const kw::DateOffsets offsets(shipped_leap_table());
  std::array<char, kw::kOutputWidth> text{};
  std::size_t i = 0;
  kw::ReadStatus status = kw::ReadStatus::ok;
  kw::DateZone zone{};
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    benchmark::DoNotOptimize(
        kw::convert_generally(columns[i++ & 4095].data(), offsets, text.data(), status, zone));
    benchmark::DoNotOptimize(text);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GeneralTier);

}  // namespace

BENCHMARK_MAIN();

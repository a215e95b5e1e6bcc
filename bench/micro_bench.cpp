// Micro-benchmarks of the three inner steps of a conversion, each on its
// own: the free-format parse of a record, the date lookup (JUDDY + LS_D)
// and the editing of an output record.
//
//   build/default/bench/kw_micro_bench
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "conversion/common_record.h"
#include "conversion/data_record.h"
#include "conversion/fast_record.h"
#include "conversion/record_batch.h"
#include "timescale/lsconv_s.h"

namespace {

// Records like the real files': 38 columns, six values.
std::vector<std::string> sample_columns() {
  std::vector<std::string> columns;
  double x = 0.17;
  double z = -29.45;
  for (int i = 0; i < 4096; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%02d %02d %02d %.6f %.6f %.6f", (62 + i / 365) % 100,
                  1 + i / 28 % 12, 1 + i % 28, x, 0.48 - x / 3, z);
    std::string text(line);
    text.resize(kw::kFastSlotWidth, ' ');
    columns.push_back(text);
    x += (i % 7 - 3) * 0.0007;
    z -= (i % 5 - 2) * 0.0011;
  }
  return columns;
}

// The real leap-second history, 1972 to 2017.
struct Table {
  kw::LeapColumn mjd{};
  kw::LeapColumn dt{};
  std::int32_t n = 0;
  Table() {
    const double entries[][2] = {
        {41317, 10}, {41499, 11}, {41683, 12}, {42048, 13}, {42413, 14}, {42778, 15}, {43144, 16},
        {43509, 17}, {43874, 18}, {44239, 19}, {44786, 20}, {45151, 21}, {45516, 22}, {46247, 23},
        {47161, 24}, {47892, 25}, {48257, 26}, {48804, 27}, {49169, 28}, {49534, 29}, {50083, 30},
        {50630, 31}, {51179, 32}, {53736, 33}, {54832, 34}, {56109, 35}, {57204, 36}, {57754, 37}};
    for (const auto& e : entries) {
      mjd[static_cast<std::size_t>(n)] = e[0];
      dt[static_cast<std::size_t>(n)] = e[1];
      ++n;
    }
  }
};

void BM_ParseRecord(benchmark::State& state) {
  const auto columns = sample_columns();
  kw::FastRecord record{};
  std::size_t i = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    const bool done = kw::parse_fast_record(columns[i++ & 4095].data(), record);
    benchmark::DoNotOptimize(done);
    benchmark::DoNotOptimize(record);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseRecord);

void BM_JuddyAndLsD(benchmark::State& state) {
  const Table table;
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
    kw::LS_D(dt, mjd, table.mjd, table.dt, table.n);
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

void BM_EditOutputRecord(benchmark::State& state) {
  const auto columns = sample_columns();
  std::vector<kw::FastRecord> records(columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    kw::parse_fast_record(columns[i].data(), records[i]);
  }
  std::array<char, kw::kOutputWidth> text{};
  std::size_t i = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    bool fits = false;
    const bool done = kw::edit_fast_record(records[i++ & 4095], 37.0, text.data(), fits);
    benchmark::DoNotOptimize(done);
    benchmark::DoNotOptimize(text);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EditOutputRecord);

// The same steps on the path of the usual record layout.
void BM_ReadCommonRecord(benchmark::State& state) {
  const auto columns = sample_columns();
  kw::CommonReader reader;
  kw::CommonRecord record{};
  std::size_t i = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    const bool done = reader.read(columns[i++ & 4095].data(), record);
    benchmark::DoNotOptimize(done);
    benchmark::DoNotOptimize(record);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadCommonRecord);

// The whole usual record: read, offset looked up, edited.
void BM_ConvertCommonRecord(benchmark::State& state) {
  const auto columns = sample_columns();
  const Table table;
  kw::LeapTable leap;
  leap.LS_MJD = table.mjd;
  leap.LS_DT = table.dt;
  leap.LS_N = table.n;
  const kw::DateOffsets seconds([&](std::int32_t yy, std::int32_t mm, std::int32_t dd) {
    return kw::offset_on(leap, {yy, mm, dd});
  });
  kw::CommonReader reader;
  std::array<char, kw::kOutputWidth + 2> text{};
  std::size_t i = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    const bool done = reader.convert(columns[i++ & 4095].data(), seconds, text.data());
    benchmark::DoNotOptimize(done);
    benchmark::DoNotOptimize(text);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConvertCommonRecord);

}  // namespace

BENCHMARK_MAIN();

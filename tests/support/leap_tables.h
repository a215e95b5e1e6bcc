// Leap tables for the tests: the shipped one, as the program's loader
// reads it, an odd one, and tables of any entries.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>

#include "support/files.h"
#include "timescale/leap_table.h"
#include "timescale/table_reader.h"

namespace kw::test {

// The bytes of the shipped "ls.ini", the real history of TAI-UTC from
// 1972 to 2017: a copy of the example's table kept with the tests, where
// no example run writes.
inline std::string shipped_table_text() {
  return read_file(KW_SHIPPED_TABLE);
}

// A table's text as the loader reads it.
inline LeapTable table_from_text(std::string_view text) {
  LeapTable table;
  if (load_table_text(text, table)) {
    throw std::runtime_error("the table does not load");
  }
  return table;
}

// The shipped table as the loader reads it.
inline LeapTable shipped_leap_table() {
  return table_from_text(shipped_table_text());
}

// A table of (MJD, TAI-UTC) entries, as given.
inline LeapTable table_of(std::initializer_list<std::pair<double, double>> entries) {
  LeapTable table;
  for (const auto& [mjd, dt] : entries) {
    table.LS_MJD[static_cast<std::size_t>(table.LS_N)] = mjd;
    table.LS_DT[static_cast<std::size_t>(table.LS_N)] = dt;
    ++table.LS_N;
  }
  return table;
}

// Changes in the middle of months, fractions of a second, equal dates,
// negative offsets and offsets at and beyond the largest whole one the
// scan tier adds (1000 s).
inline LeapTable odd_leap_table() {
  return table_of({{33282, 1.4228180},
                   {37300, 3.5},
                   {41317, 10},
                   {41330, 10.25},
                   {44000, 1000},
                   {44400, -1000},
                   {44800, 1001},
                   {45200, -37},
                   {51179, 32},
                   {51179, 33},
                   {62000, -4}});
}

// What LS_D gives on `table` for `mjd`, with its rates.
inline double tai_utc(const LeapTable& table, double mjd) {
  double dt = -12345.0;
  LS_D(dt, mjd, table.LS_MJD, table.LS_DT, table.LS_RATE, table.LS_N);
  return dt;
}

}  // namespace kw::test

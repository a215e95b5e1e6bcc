// Leap tables for the tests: the shipped history of TAI-UTC, and an odd
// one.
#pragma once

#include <cstddef>

#include "timescale/leap_table.h"

namespace kw::test {

// A table of (MJD, TAI-UTC) entries.
template <std::size_t N>
LeapTable table_of(const double (&entries)[N][2]) {
  LeapTable table;
  for (const auto& e : entries) {
    table.LS_MJD[static_cast<std::size_t>(table.LS_N)] = e[0];
    table.LS_DT[static_cast<std::size_t>(table.LS_N)] = e[1];
    ++table.LS_N;
  }
  return table;
}

// The real leap-second history, 1972 to 2017, as LS_L loads it from the
// shipped "ls.ini": MJD of each change, TAI-UTC from then on.
inline LeapTable real_leap_table() {
  const double entries[][2] = {
      {41317, 10}, {41499, 11}, {41683, 12}, {42048, 13}, {42413, 14}, {42778, 15}, {43144, 16},
      {43509, 17}, {43874, 18}, {44239, 19}, {44786, 20}, {45151, 21}, {45516, 22}, {46247, 23},
      {47161, 24}, {47892, 25}, {48257, 26}, {48804, 27}, {49169, 28}, {49534, 29}, {50083, 30},
      {50630, 31}, {51179, 32}, {53736, 33}, {54832, 34}, {56109, 35}, {57204, 36}, {57754, 37}};
  return table_of(entries);
}

// Changes in the middle of months, fractions of a second, equal dates,
// negative offsets and offsets at and beyond the largest whole one the
// scan tier adds (1000 s).
inline LeapTable odd_leap_table() {
  const double entries[][2] = {{33282, 1.4228180}, {37300, 3.5},   {41317, 10},   {41330, 10.25},
                               {44000, 1000},      {44400, -1000}, {44800, 1001}, {45200, -37},
                               {51179, 32},        {51179, 33},    {62000, -4}};
  return table_of(entries);
}

}  // namespace kw::test

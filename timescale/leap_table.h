// The leap-second table of a run, and the offset it gives a data record's
// date.
#pragma once

#include <array>
#include <cstdint>

#include "timescale/lsconv_s.h"

namespace kw {

// The loaded leap-second table (LS_L fills it).
struct LeapTable {
  LeapColumn LS_MJD{};
  LeapColumn LS_DT{};
  std::int32_t LS_N = 0;
};

// Full year of a two-digit year: 51..99 are 1951..1999, 0..49 are
// 2000..2049, and 50 is 1950. Sums wrap modulo 2^32 like the home
// platform's integers, so any 32-bit "two-digit" year has a full year.
double full_year(std::int32_t yy);

// TAI-UTC in force on a record's date (two-digit year, month, day, as
// read): JUDDY of the full year, then LS_D.
double offset_on(const LeapTable& table, const std::array<std::int32_t, 3>& idate);

}  // namespace kw

// The leap-second table of a run, and the offset it gives a data record's
// date.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "timescale/lsconv_s.h"

namespace kw {

// A table that says nothing of when it stops vouching for its last value.
inline constexpr double kNoExpiry = std::numeric_limits<double>::infinity();

// The loaded leap-second table: LS_MJD, LS_DT and LS_N as LS_L fills them,
// and what the notes on its lines add.
struct LeapTable {
  LeapColumn LS_MJD{};
  LeapColumn LS_DT{};
  // TAI-UTC's change a day from each entry's date on, in seconds (the
  // rates of 1961-1971); 0 for an entry without one.
  LeapColumn LS_RATE{};
  std::int32_t LS_N = 0;
  // The MJD from which the table no longer vouches for its last value.
  double expires = kNoExpiry;
};

// Full year of a two-digit year: 51..99 are 1951..1999, 0..49 are
// 2000..2049, and 50 is 1950. Sums wrap modulo 2^32 like the home
// platform's integers, so any 32-bit "two-digit" year has a full year.
double full_year(std::int32_t yy);

// The MJD of a record's date (two-digit year, month, day, as read): JUDDY
// of the full year.
double mjd_of(const std::array<std::int32_t, 3>& idate);

// TAI-UTC in force on a record's date: LS_D with the table's rates.
double offset_on(const LeapTable& table, const std::array<std::int32_t, 3>& idate);

// Where a date lies against what the table knows.
enum class DateZone : std::uint8_t {
  known,         // on or after its first entry, before its expiry
  before_table,  // before its first entry
  expired,       // on or after its expiry
};

DateZone zone_of(const LeapTable& table, double mjd);

}  // namespace kw

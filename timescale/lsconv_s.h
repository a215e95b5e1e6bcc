// Time-scale routines: calendar date to Modified Julian Date, and the
// leap-second table (TAI-UTC) with its loader and lookup.
//
// Every argument is passed by reference and results come back through the
// arguments. Values are 64-bit IEEE doubles; JUDDY truncates two of its terms
// to 32-bit integers (see below).
#pragma once

#include <array>
#include <cfloat>
#include <cstdint>

// Each double operation must round to a double, as SSE2 does. The x87
// stack keeps a 64-bit mantissa, and rounding twice changes some sums in
// their last bit (build 32-bit x86 with -msse2 -mfpmath=sse).
static_assert(FLT_EVAL_METHOD == 0, "doubles must be evaluated as doubles");

namespace kw {

inline constexpr int LS_MAX = 100;  // capacity of the leap-second table

// LS_MJD and LS_DT of the table; entry i of the table is element i - 1.
using LeapColumn = std::array<double, LS_MAX>;

// JUDDY: Modified Julian Date of a calendar date.
//
//   mjd    out  Julian Day - 2400000.5
//   year   in   full year (1999, not 99); in/out, see below
//   month  in   1..12; in/out, see below
//   day    in   day of the month, may carry a fraction of a day
//
// Julian Day algorithm with the factor 30.6001. For January and February
// (month exactly 1.0 or 2.0) the caller's year is decreased by one and its
// month increased by 12, and they stay so after the call. Dates before
// 15 October 1582 (year + month/100 + day/10000 below the single-precision
// value of 1582.1014) are Julian calendar dates; later ones Gregorian.
// The two truncated terms are 32-bit integers added modulo 2^32; a term
// that does not fit 32 bits becomes -2147483648.
//
// Example: 1 January 2000 gives mjd 51544.0 and leaves year 1999.0 and
// month 13.0.
void JUDDY(double& mjd, double& year, double& month, const double& day);

// LS_L: loads the leap-second table from "ls.ini" in the current directory.
//
//   ls_mjd  out  MJD from which each entry applies, in file order
//   ls_dt   out  TAI-UTC in seconds for each entry, as read
//   ls_n    out  number of entries loaded
//
// Each non-blank line holds year, month, day (integers) and TAI-UTC in
// seconds (real), free-format; what follows the fourth value is a note
// (see table_reader.h for the notes the program reads). A
// missing file is created empty. The run is ended, with the log keeping
// only its start line, when the table is empty, when it has more than
// LS_MAX entries (as soon as entry LS_MAX + 1 is read), or when an entry's
// date lies before the one of the entry above it (equal dates are
// accepted). A line with fewer than four values ends the run with error
// 59, a value that does not fit with 64 (unit 3, file ls.ini).
void LS_L(LeapColumn& ls_mjd, LeapColumn& ls_dt, std::int32_t& ls_n);

// LS_D: TAI-UTC in force on a date.
//
//   dt      out  TAI-UTC in seconds
//   mjd     in   the date as an MJD
//   ls_mjd, ls_dt, ls_n  in  the table, in ascending date order
//
// The entry k with LS_MJD(k) <= mjd < LS_MJD(k+1) applies; on or after the
// last entry, the last value; before the first entry, the first value
// minus 1.0. Boundaries are inclusive at the lower end; of entries with
// equal dates the last applies. An empty table gives 0.0. The table must be
// in ascending order (LS_L ensures it): the entry is found by halving, in
// at most seven comparisons, and at once for dates on or after the last
// entry.
void LS_D(double& dt, const double& mjd, const LeapColumn& ls_mjd, const LeapColumn& ls_dt,
          const std::int32_t& ls_n);

// LS_D with rates: TAI-UTC in force on a date of a table whose entries may
// change a day (1961-1971).
//
//   ls_rate  in   the change of TAI-UTC a day, in seconds, from each
//                 entry's date on; 0 for an entry of a fixed value
//
// As LS_D, but on a date in the span of entry k with a rate, TAI-UTC is
// LS_DT(k) + (mjd - LS_MJD(k)) * LS_RATE(k): LS_DT(k) is TAI-UTC on that
// entry's own date. An entry of rate 0 gives LS_DT(k) as it stands, and
// dates before the first entry its value minus 1.0, as LS_D gives them.
void LS_D(double& dt, const double& mjd, const LeapColumn& ls_mjd, const LeapColumn& ls_dt,
          const LeapColumn& ls_rate, const std::int32_t& ls_n);

}  // namespace kw

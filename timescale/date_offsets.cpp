#include "timescale/date_offsets.h"

#include <cmath>

namespace kw {

DateOffsets::DateOffsets(const LeapTable& table, Direction direction)
    : table_(table),
      direction_(direction),
      offsets_(std::size_t{kYears} * kMonths * kDays),
      seconds_(std::size_t{kYears} * kMonths * kDays),
      zones_(std::size_t{kYears} * kMonths * kDays) {
  // JUDDY once a month: it adds the day last, as a whole number, so the
  // days of a month follow its first day one by one (the years 1950-2049
  // are far from the calendar change of 1582, the only place where the
  // day takes part in anything else).
  std::size_t i = 0;
  for (std::int32_t yy = 0; yy < static_cast<std::int32_t>(kYears); ++yy) {
    for (std::int32_t mm = 1; mm <= static_cast<std::int32_t>(kMonths); ++mm) {
      double year = full_year(yy);
      double month = mm;
      const double first_day = 1.0;
      double first_mjd = 0.0;
      JUDDY(first_mjd, year, month, first_day);
      for (std::uint32_t d = 0; d < kDays; ++d) {
        double dt = 0.0;
        LS_D(dt, first_mjd + d, table.LS_MJD, table.LS_DT, table.LS_RATE, table.LS_N);
        set(i++, direction == Direction::add ? dt : -dt, zone_of(table, first_mjd + d));
      }
    }
  }
}

void DateOffsets::set(std::size_t i, double offset, DateZone zone) {
  zones_[i] = zone;
  constexpr double kMostWholeOffset = 1000.0;  // keeps the sums the tiers make exact
  const bool whole = std::fabs(offset) <= kMostWholeOffset && offset == std::trunc(offset);
  offsets_[i] = offset;
  seconds_[i] = whole ? static_cast<std::int16_t>(offset) : kNotWhole;
}

}  // namespace kw

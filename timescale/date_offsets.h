// The offset in force on a record's date: the one source of offsets for
// the conversion. It holds the leap table, and the offsets of every date
// of real data (two-digit years 0-99, months 1-12, days 1-31) computed
// once for a run and shared by its workers; with them, for the tier that
// adds the offset to the digits of the third value, the offset as a whole
// number of seconds where it is one.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "timescale/leap_table.h"

namespace kw {

// Which way the offset goes: added to the third value (UT1-TAI to
// UT1-UTC), or subtracted (the reverse).
enum class Direction { add, subtract };

class DateOffsets {
 public:
  // The offsets of `table`, which is kept, going `direction`: what is
  // added to the third value is TAI-UTC, or its negative.
  explicit DateOffsets(const LeapTable& table, Direction direction = Direction::add);

  // What is added to the third value of a record of this date (two-digit
  // year, month, day as read): offset_on, or its negative, from the dates
  // computed where they hold it.
  double offset(const std::array<std::int32_t, 3>& idate) const {
    std::size_t i = 0;
    if (!index(static_cast<std::uint32_t>(idate[0]), static_cast<std::uint32_t>(idate[1]),
               static_cast<std::uint32_t>(idate[2]), i)) {
      const double on = offset_on(table_, idate);
      return direction_ == Direction::add ? on : -on;
    }
    return offsets_[i];
  }

  // Where a record's date lies against what the table knows.
  DateZone zone(const std::array<std::int32_t, 3>& idate) const {
    std::size_t i = 0;
    if (!index(static_cast<std::uint32_t>(idate[0]), static_cast<std::uint32_t>(idate[1]),
               static_cast<std::uint32_t>(idate[2]), i)) {
      return zone_of(table_, mjd_of(idate));
    }
    return zones_[i];
  }

  // The same for a date of real data (two-digit numbers).
  DateZone zone(std::uint32_t yy, std::uint32_t mm, std::uint32_t dd) const {
    std::size_t i = 0;
    return index(yy, mm, dd, i)
               ? zones_[i]
               : zone({static_cast<std::int32_t>(yy), static_cast<std::int32_t>(mm),
                       static_cast<std::int32_t>(dd)});
  }

  Direction direction() const { return direction_; }
  const LeapTable& table() const { return table_; }

  // What is added on yy-mm-dd when it is a whole number of seconds of at
  // most 1000 in magnitude; false otherwise, and for dates outside those
  // computed.
  bool whole_seconds(std::uint32_t yy, std::uint32_t mm, std::uint32_t dd,
                     std::int32_t& seconds) const {
    std::size_t i = 0;
    if (!index(yy, mm, dd, i)) return false;
    seconds = seconds_[i];
    return seconds != kNotWhole;
  }

 private:
  static constexpr std::uint32_t kYears = 100;
  static constexpr std::uint32_t kMonths = 12;
  static constexpr std::uint32_t kDays = 31;
  static constexpr std::int16_t kNotWhole = -32768;

  void set(std::size_t i, double offset, DateZone zone);

  static bool index(std::uint32_t yy, std::uint32_t mm, std::uint32_t dd, std::size_t& i) {
    const std::uint32_t m = mm - 1U;
    const std::uint32_t d = dd - 1U;
    if (yy >= kYears || m >= kMonths || d >= kDays) return false;
    i = (std::size_t{yy} * kMonths + m) * kDays + d;
    return true;
  }

  LeapTable table_;
  Direction direction_;
  std::vector<double> offsets_;
  std::vector<std::int16_t> seconds_;
  std::vector<DateZone> zones_;
};

}  // namespace kw

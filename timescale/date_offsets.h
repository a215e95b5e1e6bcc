// The offset in force on a record's date: the one source of offsets for
// the conversion. It holds the leap table, and for every date of real data
// (two-digit years 0-99, months 1-12, days 1-31) its offset, where it is a
// whole number of seconds, and its zone: a date is found in one look,
// without a search, for the tier that adds the offset to the digits of the
// third value. The table is built a span of days at a time (between the
// entries and the expiry), with a walk of the table per day only where a
// rate moves the offset.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "records/contracts.h"
#include "timescale/leap_table.h"

namespace kw {

// Which way the offset goes: added to the third value (UT1-TAI to
// UT1-UTC), or subtracted (the reverse).
enum class Direction { add, subtract };

// The largest whole offset the scan tier adds: its sums stay exact.
inline constexpr std::int32_t kMostWholeSeconds = 1000;

class DateOffsets {
 public:
  // The offsets of `table`, which is kept, going `direction`: what is
  // added to the third value is TAI-UTC, or its negative.
  explicit DateOffsets(const LeapTable& table, Direction direction = Direction::add);

  // What is added to the third value of a record of this date (two-digit
  // year, month, day as read): offset_on, or its negative.
  double offset(const std::array<std::int32_t, 3>& idate) const;

  // Where a record's date lies against what the table knows.
  DateZone zone(const std::array<std::int32_t, 3>& idate) const;

  // The place of a date in the table of whole offsets (a year below 128,
  // two digits as read, a month below 16 and a day below 32): day + 32 *
  // month + 512 * year. Every place of seven, four and five bits is the
  // table's: the words of the years past 99 say no date.
  static constexpr std::uint32_t place_of(std::uint32_t yy, std::uint32_t mm, std::uint32_t dd) {
    return dd | mm << 5 | yy << 9;
  }

  // The words of the dates' places, whole_seconds_at's, held apart: a loop
  // keeps them in a register (a store through a char pointer might change
  // the table's own members, which are then read again).
  struct WholeSeconds {
    const std::int16_t* words;

    // For the date at `place`: what is added on it, when it is a whole
    // number of seconds of at most kMostWholeSeconds in magnitude, and the
    // zone of the date; false otherwise, and for months and days outside
    // 1-12 and 1-31.
    bool at(std::uint32_t place, std::int32_t& seconds, DateZone& zone) const {
      KW_EXPECTS(place < kPlaces);
      const std::int32_t word = words[place];
      seconds = word >> 2;
      zone = static_cast<DateZone>(word & 3);
      return word != kNotWhole;
    }
  };
  WholeSeconds whole_seconds() const { return {days_.data()}; }

  Direction direction() const { return direction_; }
  const LeapTable& table() const { return table_; }

 private:
  static constexpr std::uint32_t kYears = 100;
  static constexpr std::uint32_t kPlaces = 128 << 9;
  static constexpr std::uint32_t kMonths = 12;
  static constexpr std::uint32_t kDays = 31;

  // The words of all dates, at yy * 512 + mm * 32 + dd (months 0-15, days
  // 0-31): one load finds both; kNotWhole where the date is no real one or
  // its offset is not whole.
  static constexpr std::int16_t kNotWhole = -0x8000;
  static_assert(kMostWholeSeconds * 4 + 3 < 0x8000, "a word holds the seconds and the zone");

  std::int32_t word_of(const std::array<std::int32_t, 3>& idate) const;
  void fill_month(std::int16_t* days, double first) const;
  void fill_span(std::int16_t* days, double from, double to) const;
  double signed_offset(double mjd) const;

  LeapTable table_;
  Direction direction_;
  std::vector<std::int16_t> days_;
};

}  // namespace kw

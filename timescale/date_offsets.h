// The offset in force on every date of real data (two-digit years 0-99,
// months 1-12, days 1-31), computed once for a run and shared by its
// workers; with it, for the path that adds it to the digits of the third
// value, the offset as a whole number of seconds where it is one.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "timescale/leap_table.h"

namespace kw {

class DateOffsets {
 public:
  // offset_of(yy, mm, dd) gives the offset in seconds on each date.
  template <class OffsetOf>
  explicit DateOffsets(const OffsetOf& offset_of)
      : offsets_(std::size_t{kYears} * kMonths * kDays),
        seconds_(std::size_t{kYears} * kMonths * kDays) {
    std::size_t i = 0;
    for (std::int32_t yy = 0; yy < static_cast<std::int32_t>(kYears); ++yy) {
      for (std::int32_t mm = 1; mm <= static_cast<std::int32_t>(kMonths); ++mm) {
        for (std::int32_t dd = 1; dd <= static_cast<std::int32_t>(kDays); ++dd) {
          set(i++, offset_of(yy, mm, dd));
        }
      }
    }
  }

  // The offsets of `table`: those offset_on gives.
  explicit DateOffsets(const LeapTable& table);

  // The offset on yy-mm-dd; false for dates outside the table.
  bool offset(std::int32_t yy, std::int32_t mm, std::int32_t dd, double& offset) const {
    std::size_t i = 0;
    if (!index(static_cast<std::uint32_t>(yy), static_cast<std::uint32_t>(mm),
               static_cast<std::uint32_t>(dd), i)) {
      return false;
    }
    offset = offsets_[i];
    return true;
  }

  // The offset on yy-mm-dd when it is a whole number of seconds below
  // 10^4 in magnitude; false otherwise, and for dates outside the table.
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

  void set(std::size_t i, double offset) {
    const bool whole = std::fabs(offset) < 1e4 && offset == std::trunc(offset);
    offsets_[i] = offset;
    seconds_[i] = whole ? static_cast<std::int16_t>(offset) : kNotWhole;
  }

  static bool index(std::uint32_t yy, std::uint32_t mm, std::uint32_t dd, std::size_t& i) {
    const std::uint32_t m = mm - 1U;
    const std::uint32_t d = dd - 1U;
    if (yy >= kYears || m >= kMonths || d >= kDays) return false;
    i = (std::size_t{yy} * kMonths + m) * kDays + d;
    return true;
  }

  std::vector<double> offsets_;
  std::vector<std::int16_t> seconds_;
};

}  // namespace kw

#include "timescale/date_offsets.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kw {
namespace {

bool is_whole(double offset) {
  return std::fabs(offset) <= kMostWholeSeconds && offset == std::trunc(offset);
}

// 4 times the seconds, and the zone (0 to 2): one load finds both.
std::int16_t day_word(double seconds, DateZone zone) {
  return static_cast<std::int16_t>(static_cast<std::int32_t>(seconds) * 4 +
                                   static_cast<std::int32_t>(zone));
}

}  // namespace

DateOffsets::DateOffsets(const LeapTable& table, Direction direction)
    : table_(table), direction_(direction), days_(kPlaces, kNotWhole) {
  // JUDDY once a month: it adds the day last, as a whole number, so the
  // days of a month follow its first day one by one (the years 1950-2049
  // are far from the calendar change of 1582, the only place where the
  // day takes part in anything else).
  for (std::uint32_t yy = 0; yy < kYears; ++yy) {
    for (std::uint32_t mm = 1; mm <= kMonths; ++mm) {
      double year = full_year(static_cast<std::int32_t>(yy));
      double month_number = mm;
      double first = 0.0;
      JUDDY(first, year, month_number, 1.0);
      fill_month(&days_[place_of(yy, mm, 0)], first);
    }
  }
}

double DateOffsets::signed_offset(double mjd) const {
  double dt = 0.0;
  LS_D(dt, mjd, table_.LS_MJD, table_.LS_DT, table_.LS_RATE, table_.LS_N);
  return direction_ == Direction::add ? dt : -dt;
}

void DateOffsets::fill_month(std::int16_t* days, double first) const {
  // Days 1 to 31 (a day past the month's end is the days after it, as
  // JUDDY counts), in spans within which no entry begins and the table
  // does not expire: one offset and one zone, or one entry's rate.
  const double end = first + kDays;
  const double* const entries = table_.LS_MJD.data();
  const double* const last_entry = entries + std::clamp(table_.LS_N, 0, LS_MAX);
  double from = first;
  const double* next = std::upper_bound(entries, last_entry, first);
  while (from < end) {
    double to = next != last_entry && *next < end ? *next : end;
    if (table_.expires > from && table_.expires < to) to = table_.expires;
    fill_span(days + static_cast<std::ptrdiff_t>(from - first) + 1, from, to);
    from = to;
    while (next != last_entry && *next <= from) ++next;
  }
}

void DateOffsets::fill_span(std::int16_t* days, double from, double to) const {
  const DateZone zone = zone_of(table_, from);
  const double offset = signed_offset(from);
  // Equal ends: no rate moves the offset within the span.
  if (signed_offset(to - 1) == offset) {
    if (!is_whole(offset)) return;
    std::fill(days, days + static_cast<std::ptrdiff_t>(to - from), day_word(offset, zone));
    return;
  }
  const auto count = static_cast<std::ptrdiff_t>(to - from);
  for (std::ptrdiff_t day = 0; day < count; ++day) {
    if (const double day_offset = signed_offset(from + static_cast<double>(day));
        is_whole(day_offset)) {
      days[day] = day_word(day_offset, zone);
    }
  }
}

std::int32_t DateOffsets::word_of(const std::array<std::int32_t, 3>& idate) const {
  const auto yy = static_cast<std::uint32_t>(idate[0]);
  const auto mm = static_cast<std::uint32_t>(idate[1]);
  const auto dd = static_cast<std::uint32_t>(idate[2]);
  if (yy >= kYears || mm >= 16 || dd >= 32) return kNotWhole;
  return days_[place_of(yy, mm, dd)];
}

double DateOffsets::offset(const std::array<std::int32_t, 3>& idate) const {
  if (const std::int32_t word = word_of(idate); word != kNotWhole) return word >> 2;
  return signed_offset(mjd_of(idate));
}

DateZone DateOffsets::zone(const std::array<std::int32_t, 3>& idate) const {
  if (const std::int32_t word = word_of(idate); word != kNotWhole) {
    return static_cast<DateZone>(word & 3);
  }
  return zone_of(table_, mjd_of(idate));
}

}  // namespace kw

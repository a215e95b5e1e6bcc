// The one calendar check of a table's dates, and what it refuses.
#include <chrono>

#include "timescale/published/leap_list.h"
#include "timescale/published/published_table.h"

namespace kw {

CalendarDate calendar_date(std::int64_t year, std::int64_t month, std::int64_t day,
                           std::int64_t& mjd) {
  // The bounds first: std::chrono keeps a month and a day in 8 bits (257
  // would be 1) and a year in 16.
  if (month < 1 || month > 12 || day < 1 || day > 31) return CalendarDate::not_a_date;
  if (year > 9999) return CalendarDate::past_range;
  if (year < 1) return CalendarDate::before_range;
  const std::chrono::year_month_day date{std::chrono::year{static_cast<int>(year)},
                                         std::chrono::month{static_cast<unsigned>(month)},
                                         std::chrono::day{static_cast<unsigned>(day)}};
  if (!date.ok()) return CalendarDate::not_a_date;
  const std::int64_t days = std::chrono::sys_days{date}.time_since_epoch().count() + kMjdOf1970;
  if (days < kFirstTableDay) return CalendarDate::before_range;
  mjd = days;
  return CalendarDate::ok;
}

std::string calendar_fault(CalendarDate check, std::int64_t year, std::int64_t month,
                           std::int64_t day) {
  const std::string date = "year " + std::to_string(year) + ", month " + std::to_string(month) +
                           ", day " + std::to_string(day);
  switch (check) {
    case CalendarDate::ok:
      break;
    case CalendarDate::not_a_date:
      return date + " is not a date";
    case CalendarDate::before_range:
      return date + " lies before 1858-11-17, the first day a table holds";
    case CalendarDate::past_range:
      return date + " lies past the year 9999, the last a table holds";
  }
  return {};
}

}  // namespace kw

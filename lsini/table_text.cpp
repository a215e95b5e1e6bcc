#include "lsini/table_text.h"

#include <chrono>
#include <cstdio>

#include "timescale/table_reader.h"

namespace kw {
namespace {

constexpr std::int64_t kMjdOf10000 = 2973484;  // 10000-01-01

std::chrono::year_month_day civil(std::int64_t mjd) {
  return std::chrono::year_month_day{std::chrono::sys_days{std::chrono::days{mjd - kMjdOf1970}}};
}

// The line of one entry, or false when its date cannot have one.
bool table_line(const LeapListEntry& entry, std::string& line) {
  const std::int64_t mjd = mjd_of_ntp(entry.ntp);
  if (entry.ntp % kSecondsPerDay != 0 || mjd >= kMjdOf10000) return false;
  const auto date = civil(mjd);
  char text[64];
  std::snprintf(text, sizeof text, "%4d%3u%3u%6.1f\r\n", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<double>(entry.tai_utc));
  line = text;
  return true;
}

std::string listed_entry(const LeapList& list, std::size_t k) {
  const LeapListEntry& entry = list.entries[k];
  return entry_words(k + 1, mjd_of_ntp(entry.ntp), entry.tai_utc);
}

}  // namespace

std::string iso_date(std::int64_t mjd) {
  if (mjd < 0 || mjd >= kMjdOf10000) return "MJD " + std::to_string(mjd);
  const auto date = civil(mjd);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

std::string entry_words(std::size_t number, std::int64_t mjd, double tai_utc) {
  char value[32];
  std::snprintf(value, sizeof value, "%.10g s", tai_utc);
  return "entry " + std::to_string(number) + " (" + iso_date(mjd) + ", " + value + ")";
}

bool table_text(const LeapList& list, std::string& text, std::string& why) {
  text.clear();
  std::string line;
  for (std::size_t k = 0; k < list.entries.size(); ++k) {
    if (!table_line(list.entries[k], line)) {
      why = "the list's " + listed_entry(list, k) +
            " is not at the start of a day of the years up to 9999";
      return false;
    }
    text += line;
  }

  LeapColumn mjd{};
  LeapColumn dt{};
  std::int32_t n = 0;
  const TableFault fault = load_table_text(text, mjd, dt, n);
  const auto at = static_cast<std::size_t>(fault.line > 0 ? fault.line - 1 : 0);
  switch (fault.kind) {
    case TableFault::Kind::none:
      break;
    case TableFault::Kind::too_many:
      why = "the list holds " + std::to_string(list.entries.size()) + " entries, more than the " +
            std::to_string(LS_MAX) + " of a table";
      return false;
    case TableFault::Kind::out_of_order:
      why = "the list's " + listed_entry(list, at) + " lies before its entry " +
            std::to_string(at) + ", out of date order";
      return false;
    case TableFault::Kind::empty:
      why = "the list holds no entry";
      return false;
    default:
      why = "the list's " + listed_entry(list, at) + " does not fit the table's layout";
      return false;
  }
  for (std::size_t k = 0; k < list.entries.size(); ++k) {
    if (mjd[k] != static_cast<double>(mjd_of_ntp(list.entries[k].ntp)) ||
        dt[k] != list.entries[k].tai_utc) {
      why = "the list's " + listed_entry(list, k) + " does not fit the table's layout";
      return false;
    }
  }
  return true;
}

}  // namespace kw

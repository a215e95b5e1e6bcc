// The words the published tables are told in: a source's file name, a
// date, a value, an entry.
#include <cstdio>

#include "timescale/published/published_days.h"
#include "timescale/published/published_table.h"

namespace kw {

std::string_view name_of(Source source) {
  switch (source) {
    case Source::ietf_list:
      return "leap-seconds.list";
    case Source::iers_leap_second:
      return "Leap_Second.dat";
    case Source::usno_tai_utc:
      return "tai-utc.dat";
  }
  return {};
}

std::string iso_date(std::int64_t mjd) {
  if (mjd < 0 || mjd >= kMjdOf10000) return "MJD " + std::to_string(mjd);
  const auto date = civil(mjd);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

std::string value_words(const PublishedEntry& entry) {
  const bool whole = entry.rate == 0 && entry.value % kUnitsPerSecond == 0;
  std::string words = seconds_text(entry.value, whole ? 0 : 7) + " s";
  if (entry.rate != 0) words += " + " + seconds_text(entry.rate, 7) + " s a day";
  return words;
}

std::string entry_words(std::size_t number, const PublishedEntry& entry) {
  return "entry " + std::to_string(number) + " (" + iso_date(entry.mjd) + ", " +
         value_words(entry) + ")";
}

}  // namespace kw

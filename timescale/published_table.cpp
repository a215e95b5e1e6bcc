#include "timescale/published_table.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "timescale/leap_list.h"
#include "timescale/published_readers.h"
#include "timescale/table_reader.h"

namespace kw {
namespace {

constexpr std::int64_t kMjdOf1972 = 41317;  // 1972-01-01, the first whole-second change
constexpr std::int64_t kMjdOf10000 = kLastTableDay + 1;  // 10000-01-01
static_assert(kLastNtpDay + kMjdOf1900 == kLastTableDay,
              "a list's times end with the table's days");

std::chrono::year_month_day civil(std::int64_t mjd) {
  return std::chrono::year_month_day{std::chrono::sys_days{std::chrono::days{mjd - kMjdOf1970}}};
}

// The IETF list's entries: whole days at midnight, whole seconds.
bool entries_of(const LeapList& list, PublishedTable& table, std::string& why) {
  table.source = Source::ietf_list;
  for (const LeapListEntry& e : list.entries) {
    if (e.ntp % kSecondsPerDay != 0) {
      why = "an entry at " + std::to_string(e.ntp) + " NTP seconds, not at the start of a day";
      return false;
    }
    table.entries.push_back({mjd_of_ntp(e.ntp), std::int64_t{e.tai_utc} * kUnitsPerSecond, 0});
  }
  // The day the instant of expiry falls on: records dated on it or later.
  table.expires = mjd_of_ntp(list.expires);
  table.updated = iso_date(mjd_of_ntp(list.updated));
  return true;
}

// What every source must hold to: dates in order, and from 1972 on changes
// on the first of a month, of whole seconds, without rates.
bool follows_the_rules(const PublishedTable& table, std::string& why) {
  if (table.entries.empty()) {
    why = "no entry";
    return false;
  }
  for (std::size_t k = 0; k < table.entries.size(); ++k) {
    const PublishedEntry& e = table.entries[k];
    const std::string entry = entry_words(k + 1, e);
    if (k > 0 && e.mjd <= table.entries[k - 1].mjd) {
      why = entry + " does not follow the entry before it";
      return false;
    }
    if (e.mjd >= kMjdOf1972 && (e.rate != 0 || e.value % kUnitsPerSecond != 0 ||
                                civil(e.mjd).day() != std::chrono::day{1})) {
      why = entry + " is not a change of whole seconds on the first of a month";
      return false;
    }
  }
  // From its expiry on it no longer vouches for its last value: a value
  // it never vouched for is no table.
  if (table.expires && *table.expires <= table.entries.back().mjd) {
    why = "its expiry, " + iso_date(*table.expires) + ", does not lie after its last " +
          entry_words(table.entries.size(), table.entries.back());
    return false;
  }
  return true;
}

std::string seconds_text(std::int64_t units, int decimals) {
  char text[40];
  const double seconds = static_cast<double>(units) / kUnitsPerSecond;
  std::snprintf(text, sizeof text, "%.*f", decimals, seconds);
  return text;
}

}  // namespace

std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return lines;
}

std::vector<std::string_view> words_of(std::string_view line) {
  std::vector<std::string_view> words;
  for (std::size_t at = 0; (at = line.find_first_not_of(" \t\r", at)) != std::string_view::npos;) {
    const std::size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
  return words;
}

bool units_of(std::string_view decimal, std::int64_t& units) {
  const bool negative = decimal.starts_with('-');
  if (negative) decimal.remove_prefix(1);
  const std::size_t point = std::min(decimal.find('.'), decimal.size());
  const std::string_view whole = decimal.substr(0, point);
  const std::string_view decimals = decimal.substr(std::min(point + 1, decimal.size()));
  // At most ten digits before the point (no real value has more) and seven after.
  if (whole.empty() || whole.size() > 10 || decimals.size() > 7) return false;
  units = 0;
  for (const char c : whole) {
    if (c < '0' || c > '9') return false;
    units = units * 10 + (c - '0');
  }
  for (std::size_t k = 0; k < 7; ++k) {
    const char c = k < decimals.size() ? decimals[k] : '0';
    if (c < '0' || c > '9') return false;
    units = units * 10 + (c - '0');
  }
  if (negative) units = -units;
  return true;
}

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

bool looks_published(std::string_view text) {
  return looks_like_leap_list(text) || looks_like_leap_second_dat(text) ||
         looks_like_tai_utc_dat(text);
}

bool read_published(std::string_view text, PublishedTable& table, std::string& why) {
  table = PublishedTable{};
  bool read = false;
  if (looks_like_leap_list(text)) {
    LeapList list;
    read = read_leap_list(text, list, why);
    if (read && !hash_matches(list)) {
      why = "its numbers do not match its hash";
      return false;
    }
    read = read && entries_of(list, table, why);
  } else if (looks_like_leap_second_dat(text)) {
    read = read_leap_second_dat(text, table, why);
  } else if (looks_like_tai_utc_dat(text)) {
    read = read_tai_utc_dat(text, table, why);
  } else {
    why =
        "not a table of TAI-UTC: expected the IETF leap-seconds.list, the IERS's Leap_Second.dat "
        "or the USNO's tai-utc.dat";
    return false;
  }
  if (read && !follows_the_rules(table, why)) {
    why = std::string(name_of(table.source)) + ": " + why;
    return false;
  }
  return read;
}

const std::vector<PublishedEntry>& entries_of_1961_to_1971() {
  // TAI-UTC = A + (MJD - MJD0) x B from each date on; here the value on
  // the entry's own date, A + (MJD - MJD0) x B, and B.
  struct Published {
    std::int64_t mjd, a, mjd0, b;
  };
  static const std::vector<PublishedEntry> entries = [] {
    constexpr Published kHistory[] = {
        {37300, 14228180, 37300, 12960}, {37512, 13728180, 37300, 12960},
        {37665, 18458580, 37665, 11232}, {38334, 19458580, 37665, 11232},
        {38395, 32401300, 38761, 12960}, {38486, 33401300, 38761, 12960},
        {38639, 34401300, 38761, 12960}, {38761, 35401300, 38761, 12960},
        {38820, 36401300, 38761, 12960}, {38942, 37401300, 38761, 12960},
        {39004, 38401300, 38761, 12960}, {39126, 43131700, 39126, 25920},
        {39887, 42131700, 39126, 25920}};
    std::vector<PublishedEntry> list;
    for (const Published& p : kHistory) list.push_back({p.mjd, p.a + (p.mjd - p.mjd0) * p.b, p.b});
    return list;
  }();
  return entries;
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

std::string table_line(const PublishedEntry& entry) {
  if (entry.mjd < 0 || entry.mjd >= kMjdOf10000) return {};
  const auto date = civil(entry.mjd);
  const bool whole = entry.rate == 0 && entry.value % kUnitsPerSecond == 0;
  char text[96];
  std::snprintf(text, sizeof text, whole ? "%4d%3u%3u%6s" : "%4d%3u%3u%12s",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()),
                seconds_text(entry.value, whole ? 1 : 7).c_str());
  std::string line = text;
  if (entry.rate != 0) line += " rate " + seconds_text(entry.rate, 7) + " s/day";
  return line;
}

std::string expiry_note(const PublishedTable& table) {
  const std::string source(name_of(table.source));
  if (!table.expires) return "no expiry given (" + source + ")";
  std::string note = "expires " + iso_date(*table.expires) + ", " + source;
  if (!table.updated.empty()) note += " of " + table.updated;
  return note;
}

bool table_text(const PublishedTable& table, std::string& text, std::string& why) {
  text.clear();
  for (std::size_t k = 0; k < table.entries.size(); ++k) {
    const std::string line = table_line(table.entries[k]);
    if (line.empty()) {
      why = "the list's " + entry_words(k + 1, table.entries[k]) +
            (table.entries[k].mjd < kFirstTableDay ? " lies before 1858-11-17"
                                                   : " lies past the year 9999");
      return false;
    }
    text += line;
    if (k + 1 == table.entries.size()) text += "   " + expiry_note(table);
    text += "\r\n";
  }
  std::vector<PublishedEntry> loaded;
  std::optional<std::int64_t> expires;
  if (!table_entries(text, loaded, expires, why)) {
    why = "the list gives no table the converter reads: " + why;
    return false;
  }
  for (std::size_t k = 0; k < table.entries.size(); ++k) {
    if (k >= loaded.size() || loaded[k] != table.entries[k]) {
      why =
          "the list's " + entry_words(k + 1, table.entries[k]) + " does not fit the table's layout";
      return false;
    }
  }
  return true;
}

bool table_entries(std::string_view text, std::vector<PublishedEntry>& entries,
                   std::optional<std::int64_t>& expires, std::string& why) {
  entries.clear();
  if (text.size() > kLongestTable) {
    why = "it would be " + std::to_string(text.size()) + " bytes, larger than the " +
          std::to_string(kLongestTable) + " bytes the converter reads";
    return false;
  }
  LeapTable table;
  if (const TableFault fault = load_table_text(text, table)) {
    why = describe(fault, "ls.ini");
    return false;
  }
  for (std::size_t k = 0; k < static_cast<std::size_t>(table.LS_N); ++k) {
    // Beyond any real value, a marker no published one equals.
    const auto units = [](double seconds) {
      return std::fabs(seconds) < 1e11
                 ? static_cast<std::int64_t>(std::llround(seconds * kUnitsPerSecond))
                 : INT64_MIN;
    };
    entries.push_back({static_cast<std::int64_t>(table.LS_MJD[k]), units(table.LS_DT[k]),
                       units(table.LS_RATE[k])});
  }
  expires.reset();
  if (table.expires != kNoExpiry) expires = static_cast<std::int64_t>(table.expires);
  return true;
}

}  // namespace kw

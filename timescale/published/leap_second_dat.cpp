// The IERS's Leap_Second.dat.
#include <array>
#include <charconv>

#include "records/text_lines.h"
#include "timescale/published/published_readers.h"

namespace kw {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

template <class Number>
bool number_of(std::string_view word, Number& value) {
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  return ec == std::errc{} && end == word.data() + word.size() && !word.empty();
}

std::size_t month_of(std::string_view word) {
  for (std::size_t m = 0; m < kMonths.size(); ++m) {
    if (word == kMonths[m]) return m + 1;
  }
  return 0;
}

// "File expires on 28 June 2023": the MJD of that day.
bool expiry_in(std::string_view line, std::int64_t& mjd, std::string& why) {
  const std::vector<std::string_view> words =
      blank_words(line.substr(line.find("expires on") + 10));
  std::int64_t day = 0;
  std::int64_t year = 0;
  std::size_t month = 0;
  if (words.size() < 3 || !number_of(words[0], day) || (month = month_of(words[1])) == 0 ||
      !number_of(words[2], year)) {
    why = "an expiry that does not read";
    return false;
  }
  const auto m = static_cast<std::int64_t>(month);
  if (const CalendarDate check = calendar_date(year, m, day, mjd); check != CalendarDate::ok) {
    why = "its expiry: " + calendar_fault(check, year, m, day);
    return false;
  }
  return true;
}

}  // namespace

bool looks_like_leap_second_dat(std::string_view text) {
  for (const TextLine& each : text_lines(text)) {
    const std::string_view line = each.text;
    if (line.starts_with("#")) {
      if (line.find("File expires on") != std::string_view::npos) return true;
      continue;
    }
    const std::vector<std::string_view> words = blank_words(line);
    if (words.empty()) continue;
    // The first data line: an MJD with its ".0", then four numbers.
    return words.size() == 5 && words[0].ends_with(".0") && words[0].size() >= 7;
  }
  return false;
}

namespace {

// A comment line: the expiry and the date of issue, where it gives them.
// The date of issue is kept only as the file gives it, a month and a year
// ("issued in July 2022"): other text of the file goes nowhere.
bool read_comment(std::string_view line, PublishedTable& table, std::string& why) {
  if (line.find("File expires on") != std::string_view::npos) {
    std::int64_t mjd = 0;
    if (!expiry_in(line, mjd, why)) return false;
    table.expires = mjd;
  }
  if (const std::size_t issued = line.find("issued in "); issued != std::string_view::npos) {
    const std::vector<std::string_view> words = blank_words(line.substr(issued + 10));
    std::int64_t year = 0;
    if (words.size() >= 2 && month_of(words[0]) != 0 && words[1].size() == 4 &&
        number_of(words[1], year) && year > 0) {
      table.updated = std::string(words[0]) + " " + std::string(words[1]);
    }
  }
  return true;
}

// A data line: an MJD with its ".0", the day, the month, the year, TAI-UTC.
bool read_entry(const std::vector<std::string_view>& words, PublishedTable& table,
                std::string& why) {
  std::int64_t mjd = 0;
  std::int64_t day = 0;
  std::int64_t month = 0;
  std::int64_t year = 0;
  PublishedEntry entry;
  if (words.size() != 5 || !words[0].ends_with(".0") ||
      !number_of(words[0].substr(0, words[0].size() - 2), mjd) || !number_of(words[1], day) ||
      !number_of(words[2], month) || !number_of(words[3], year) ||
      !units_of(words[4], entry.value)) {
    why = "not an MJD, a day, a month, a year and TAI-UTC";
    return false;
  }
  if (const CalendarDate check = calendar_date(year, month, day, entry.mjd);
      check != CalendarDate::ok) {
    why = calendar_fault(check, year, month, day);
    return false;
  }
  if (entry.mjd != mjd) {
    why = "MJD " + std::to_string(mjd) + " is not the date given beside it";
    return false;
  }
  table.entries.push_back(entry);
  return true;
}

}  // namespace

bool read_leap_second_dat(std::string_view text, PublishedTable& table, std::string& why) {
  table.source = Source::iers_leap_second;
  std::size_t number = 0;
  for (const TextLine& each : text_lines(text)) {
    const std::string_view line = each.text;
    ++number;
    const std::vector<std::string_view> words = blank_words(line);
    const bool read = line.starts_with("#") ? read_comment(line, table, why)
                                            : words.empty() || read_entry(words, table, why);
    if (!read) {
      why.insert(0, "line " + std::to_string(number) + ": ");
      return false;
    }
  }
  if (!table.expires) {
    why = "Leap_Second.dat without its expiry (\"File expires on ...\"): a part of the file only?";
    return false;
  }
  return true;
}

}  // namespace kw

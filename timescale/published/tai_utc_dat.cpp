// The USNO's tai-utc.dat.
#include <algorithm>
#include <array>
#include <charconv>

#include "records/text_lines.h"
#include "timescale/published/published_readers.h"

namespace kw {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                      "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

template <class Number>
bool number_of(std::string_view word, Number& value) {
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  return ec == std::errc{} && end == word.data() + word.size() && !word.empty();
}

unsigned month_of(std::string_view word) {
  for (std::size_t m = 0; m < kMonths.size(); ++m) {
    if (word == kMonths[m]) return static_cast<unsigned>(m + 1);
  }
  return 0;
}

// One line: " 1961 JAN  1 =JD 2437300.5  TAI-UTC=   1.4228180 S + (MJD -
// 37300.) X 0.001296 S", the last S sometimes against its number.
bool entry_of(std::string_view line, PublishedEntry& entry, std::string& why) {
  std::vector<std::string_view> w = blank_words(line);
  if (w.size() == 14 && w[13].size() > 1 && w[13].ends_with("S")) {
    w.back().remove_suffix(1);
    w.emplace_back("S");
  }
  std::int64_t year = 0;
  std::int64_t day = 0;
  std::int64_t jd = 0;
  std::int64_t mjd0 = 0;
  std::int64_t a = 0;
  std::int64_t b = 0;
  if (w.size() != 15 || w[3] != "=JD" || w[5] != "TAI-UTC=" || w[7] != "S" || w[8] != "+" ||
      w[9] != "(MJD" || w[10] != "-" || w[12] != "X" || w[14] != "S" || !number_of(w[0], year) ||
      !number_of(w[2], day) || !w[4].ends_with(".5") ||
      !number_of(w[4].substr(0, w[4].size() - 2), jd) || !w[11].ends_with(".)") ||
      !number_of(w[11].substr(0, w[11].size() - 2), mjd0) || !units_of(w[6], a) ||
      !units_of(w[13], b)) {
    return false;
  }
  const auto month = static_cast<std::int64_t>(month_of(w[1]));
  if (const CalendarDate check = calendar_date(year, month, day, entry.mjd);
      check != CalendarDate::ok) {
    why = month == 0 ? "a month none of JAN to DEC" : calendar_fault(check, year, month, day);
    return false;
  }
  // JD 2437300.5 is MJD 37300 (the MJD lies within the table's days, so
  // the sum cannot overflow). A rate beyond a second a day, or a date of
  // reference a thousand years off, is no such line.
  if (entry.mjd + 2400000 != jd || b < -kUnitsPerSecond || b > kUnitsPerSecond ||
      mjd0 < entry.mjd - 400'000 || mjd0 > entry.mjd + 400'000) {
    return false;
  }
  entry.value = a + (entry.mjd - mjd0) * b;
  entry.rate = b;
  return true;
}

}  // namespace

bool looks_like_tai_utc_dat(std::string_view text) {
  return std::ranges::any_of(text_lines(text), [](const TextLine& each) {
    const std::string_view line = each.text;
    return line.find("=JD") != std::string_view::npos &&
           line.find("TAI-UTC=") != std::string_view::npos;
  });
}

bool read_tai_utc_dat(std::string_view text, PublishedTable& table, std::string& why) {
  table.source = Source::usno_tai_utc;
  std::size_t number = 0;
  for (const TextLine& each : text_lines(text)) {
    const std::string_view line = each.text;
    ++number;
    if (blank_words(line).empty()) continue;
    PublishedEntry entry;
    std::string date;
    if (!entry_of(line, entry, date)) {
      why = "line " + std::to_string(number) +
            ": not a date, its JD and TAI-UTC = A + (MJD - MJD0) x B, as tai-utc.dat has them";
      if (!date.empty()) why += " (" + date + ")";
      return false;
    }
    table.entries.push_back(entry);
  }
  return true;
}

}  // namespace kw

#include "timescale/published/leap_list.h"

#include <algorithm>
#include <charconv>

#include "records/text_lines.h"
#include "timescale/published/published_readers.h"
#include "timescale/published/sha1.h"

namespace kw {
namespace {

// Reads digits that are the whole of `text` (no sign).
template <class Number>
bool whole_number(std::string_view text, Number& value) {
  const char* end = text.data() + text.size();
  if (text.empty() || text.front() < '0' || text.front() > '9') return false;
  const auto result = std::from_chars(text.data(), end, value);
  return result.ec == std::errc{} && result.ptr == end;
}

// Whether an NTP time lies within the days a table may hold: a time past
// the year 9999 is not a list's.
bool within_the_table_days(std::uint64_t ntp) {
  return ntp / kSecondsPerDay <= static_cast<std::uint64_t>(kLastNtpDay);
}

constexpr const char kPast9999[] = "a time past the year 9999, which no list gives";

// The special comments a list holds one each of: #$, #@ and #h.
struct Seen {
  int update = 0;
  int expiry = 0;
  int hash = 0;
};

// Reads one line; `seen` counts the special comments met.
bool read_line(std::string_view line, LeapList& list, std::string& update, std::string& expiry,
               Seen& seen, std::string& why) {
  const std::vector<std::string_view> words = blank_words(line.substr(line.size() > 1 ? 2 : 0));
  if (line.starts_with("#$") || line.starts_with("#@")) {
    std::uint64_t& time = line[1] == '$' ? list.updated : list.expires;
    if (words.size() != 1 || !whole_number(words[0], time)) {
      why = "a time that does not read";
      return false;
    }
    if (!within_the_table_days(time)) {
      why = kPast9999;
      return false;
    }
    (line[1] == '$' ? update : expiry) = std::string(words[0]);
    ++(line[1] == '$' ? seen.update : seen.expiry);
    return true;
  }
  if (line.starts_with("#h")) {
    bool good = words.size() == list.hash.size();
    for (std::size_t k = 0; good && k < words.size(); ++k) {
      const auto result =
          std::from_chars(words[k].data(), words[k].data() + words[k].size(), list.hash[k], 16);
      good = result.ec == std::errc{} && result.ptr == words[k].data() + words[k].size();
    }
    if (!good) why = "a hash that is not five groups of hex digits";
    seen.hash += static_cast<int>(good);
    return good;
  }
  const std::vector<std::string_view> fields = blank_words(line.substr(0, line.find('#')));
  if (fields.empty()) return true;  // a comment or a blank line
  LeapListEntry entry;
  if (fields.size() < 2 || !whole_number(fields[0], entry.ntp) ||
      !whole_number(fields[1], entry.tai_utc)) {
    why = "not a time and a number of seconds";
    return false;
  }
  if (!within_the_table_days(entry.ntp)) {
    why = kPast9999;
    return false;
  }
  list.entries.push_back(entry);
  list.numbers += std::string(fields[0]) + std::string(fields[1]);
  return true;
}

}  // namespace

bool looks_like_leap_list(std::string_view text) {
  return std::ranges::any_of(text_lines(text), [](const TextLine& each) {
    const std::string_view line = each.text;
    return line.starts_with("#$") || line.starts_with("#@") || line.starts_with("#h");
  });
}

bool read_leap_list(std::string_view text, LeapList& list, std::string& error) {
  list = LeapList{};
  std::string update;
  std::string expiry;
  Seen seen;
  int number = 0;
  for (const TextLine& each : text_lines(text)) {
    const std::string_view line = each.text;
    ++number;
    std::string why;
    if (!read_line(line, list, update, expiry, seen, why)) {
      error = "line " + std::to_string(number) + ": " + why;
      return false;
    }
  }
  if (seen.update != 1 || seen.expiry != 1 || seen.hash != 1 || list.entries.empty()) {
    error = "not a leap-second list: it needs entries and one each of #$, #@ and #h";
    return false;
  }
  list.numbers = update + expiry + list.numbers;
  return true;
}

bool hash_matches(const LeapList& list) {
  return sha1(list.numbers) == list.hash;
}

}  // namespace kw

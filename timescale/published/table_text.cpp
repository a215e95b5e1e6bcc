// The program's table written from a published one.
#include <cstdio>

#include "timescale/published/published_days.h"
#include "timescale/published/published_table.h"

namespace kw {

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

}  // namespace kw

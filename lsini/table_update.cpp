#include "lsini/table_update.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "records/run_files.h"
#include "records/text_lines.h"
#include "timescale/table_reader.h"

namespace kw {
namespace {

// The old table: its entries, the line of each (from 0), and its expiry.
struct OldTable {
  std::vector<PublishedEntry> entries;
  std::vector<std::size_t> line;
  std::optional<std::int64_t> expires;
};

bool read_old(const std::vector<TextLine>& lines, OldTable& old, std::string& why) {
  LeapTable table;
  TableReader reader(table);
  TableFault fault;
  for (const TextLine& line : lines) {
    if ((fault = reader.add_line(line.text))) break;
  }
  if (!fault) fault = reader.finish();
  if (fault) {
    why = "ls.ini does not read as a table: " + describe(fault, kTableFile.name);
    return false;
  }
  published_entries(table, old.entries, old.expires);
  for (std::size_t k = 0; k < old.entries.size(); ++k) {
    old.line.push_back(static_cast<std::size_t>(reader.line_of(k) - 1));
  }
  return true;
}

// Where the old entries meet the published ones: `first` old entries lie
// before them, the rest are the published ones from entry `from` on.
struct Match {
  std::size_t first = 0;
  std::size_t from = 0;
};

bool match(const OldTable& old, const std::vector<PublishedEntry>& published, Match& m,
           std::string& why) {
  while (m.first < old.entries.size() && old.entries[m.first].mjd < published.front().mjd) {
    ++m.first;
  }
  if (m.first == old.entries.size()) {
    m.from = 0;
    return true;
  }
  const PublishedEntry& start = old.entries[m.first];
  while (m.from < published.size() && published[m.from].mjd < start.mjd) ++m.from;
  if (m.first > 0 && m.from > 0) {
    why = "ls.ini and the list differ before " + iso_date(start.mjd);
    return false;
  }
  for (std::size_t k = m.first; k < old.entries.size(); ++k) {
    const std::size_t p = m.from + k - m.first;
    const std::string entry = "ls.ini " + entry_words(k + 1, old.entries[k]);
    if (p >= published.size()) {
      why = entry + " is not in the list";
      return false;
    }
    if (old.entries[k] != published[p]) {
      why = entry + " differs from the list's " + iso_date(published[p].mjd) + ", " +
            value_words(published[p]);
      return false;
    }
  }
  return true;
}

// The last entry line without the program's expiry note (from "expires"
// on) and the blanks before it.
std::string without_expiry(std::string_view line, bool has_note) {
  if (has_note) {
    const std::size_t note = line.rfind("expires ");
    if (note != std::string_view::npos) line = line.substr(0, note);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == ',')) {
      line.remove_suffix(1);
    }
  }
  return std::string(line);
}

// The old lines as they stand; the history the list adds before the first
// entry it shares with them, its later entries after the last, and the
// expiry note on the last entry's line.
std::string updated_text(const std::vector<TextLine>& lines, const OldTable& old, const Match& m,
                         const PublishedTable& published) {
  const std::vector<PublishedEntry>& entries = published.entries;
  const std::size_t matched = old.entries.size() - m.first;
  const std::size_t last = old.line.back();
  const std::string end(lines[last].end.empty() ? std::string_view("\r\n") : lines[last].end);
  const std::size_t first_shared = matched > 0 ? old.line[m.first] : lines.size();
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == first_shared) {
      for (std::size_t p = 0; p < m.from; ++p) text += table_line(entries[p]) + end;
    }
    if (i != last) {
      text += lines[i].text;
      text += lines[i].end;
      continue;
    }
    std::string line = without_expiry(lines[i].text, old.expires.has_value());
    for (std::size_t p = m.from + matched; p < entries.size(); ++p)
      line += end + table_line(entries[p]);
    text += line;
    text += "   ";
    text += expiry_note(published);
    text += end;
  }
  return text;
}

}  // namespace

bool blank_table(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

TableUpdate update_of(std::string_view old_text, const PublishedTable& published) {
  TableUpdate update;
  const std::vector<PublishedEntry>& entries = published.entries;
  if (blank_table(old_text)) {
    update.kind = table_text(published, update.text, update.why) ? TableUpdate::Kind::write
                                                                 : TableUpdate::Kind::unfit;
    update.added = entries.size();
    return update;
  }
  const std::vector<TextLine> lines = text_lines(old_text);
  OldTable old;
  Match m;
  if (!read_old(lines, old, update.why) || !match(old, entries, m, update.why)) return update;
  const std::size_t matched = old.entries.size() - m.first;
  update.added = m.from + (entries.size() - m.from - matched);
  const bool later_expiry =
      published.expires && (!old.expires || *old.expires < *published.expires);
  if (update.added == 0 && !later_expiry) {
    update.kind = TableUpdate::Kind::up_to_date;
    return update;
  }
  update.text = updated_text(lines, old, m, published);
  if (update.text.size() > kLongestTable) {
    update.why = "the new ls.ini would be " + std::to_string(update.text.size()) +
                 " bytes, larger than the " + std::to_string(kLongestTable) +
                 " bytes the converter reads";
    update.kind = TableUpdate::Kind::unfit;
    return update;
  }
  // The new table must read back as the old history and the list.
  std::vector<PublishedEntry> want(old.entries.begin(),
                                   old.entries.begin() + static_cast<std::ptrdiff_t>(m.first));
  want.insert(want.end(), entries.begin(), entries.end());
  std::vector<PublishedEntry> got;
  std::optional<std::int64_t> expires;
  if (!table_entries(update.text, got, expires, update.why) || got != want ||
      (published.expires && expires != published.expires)) {
    if (update.why.empty()) update.why = "the list's entries do not fit the table's layout";
    update.why = "the table the list gives would not read as the list: " + update.why;
    update.kind = TableUpdate::Kind::unfit;
    return update;
  }
  update.kind = TableUpdate::Kind::write;
  return update;
}

}  // namespace kw

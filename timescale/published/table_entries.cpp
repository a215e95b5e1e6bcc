// The entries a table of the program's own gives, as published entries:
// from its text, or as loaded.
#include <cmath>
#include <cstdint>

#include "records/run_files.h"
#include "timescale/published/published_table.h"
#include "timescale/table_reader.h"

namespace kw {

void published_entries(const LeapTable& table, std::vector<PublishedEntry>& entries,
                       std::optional<std::int64_t>& expires) {
  // Beyond any real value, a marker no published one equals.
  const auto units = [](double seconds) {
    return std::fabs(seconds) < 1e11
               ? static_cast<std::int64_t>(std::llround(seconds * kUnitsPerSecond))
               : INT64_MIN;
  };
  entries.clear();
  for (std::size_t k = 0; k < static_cast<std::size_t>(table.LS_N); ++k) {
    entries.push_back({static_cast<std::int64_t>(table.LS_MJD[k]), units(table.LS_DT[k]),
                       units(table.LS_RATE[k])});
  }
  expires.reset();
  if (table.expires != kNoExpiry) expires = static_cast<std::int64_t>(table.expires);
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
    why = describe(fault, kTableFile.name);
    return false;
  }
  published_entries(table, entries, expires);
  return true;
}

}  // namespace kw

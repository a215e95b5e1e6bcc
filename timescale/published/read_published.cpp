// Reading a published table: which source it is, its reader, and the
// rules every source holds to.
#include <chrono>

#include "timescale/published/leap_list.h"
#include "timescale/published/published_days.h"
#include "timescale/published/published_readers.h"
#include "timescale/published/published_table.h"

namespace kw {
namespace {

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

}  // namespace

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
    read = read && table_of_list(list, table, why);
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

}  // namespace kw

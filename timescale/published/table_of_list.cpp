// The table an IETF list gives.
#include "timescale/published/leap_list.h"
#include "timescale/published/published_readers.h"

namespace kw {

bool table_of_list(const LeapList& list, PublishedTable& table, std::string& why) {
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

}  // namespace kw

// The history of 1961-1971, as the USNO publishes it.
#include "timescale/published/published_table.h"

namespace kw {

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

}  // namespace kw

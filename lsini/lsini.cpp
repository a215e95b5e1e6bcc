#include "lsini/lsini.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>

#include "lsini/leap_list.h"
#include "platform/process.h"
#include "records/failure.h"
#include "timescale/leap_table.h"
#include "timescale/lsconv_s.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTable = "ls.ini";
constexpr const char* kNewTable = "ls.ini.new";
#ifdef _WIN32
constexpr const char* kDefaultList = nullptr;  // Windows keeps no such list
#else
constexpr const char* kDefaultList = "/usr/share/zoneinfo/leap-seconds.list";
#endif

constexpr const char* kHelp =
    "Usage: kw_lsini [LIST]\n"
    "Writes the leap-second table ls.ini in the current folder from LIST, a\n"
    "leap-second list in the IETF format (leap-seconds.list)"
#ifndef _WIN32
    "; by default\n/usr/share/zoneinfo/leap-seconds.list"
#endif
    ".\n\n"
    "The list's SHA-1 hash is checked first: a list whose numbers do not match\n"
    "it is refused. The dates of its last update and of its expiry are shown;\n"
    "past the expiry, the table may miss a leap second announced since. An\n"
    "existing ls.ini that the list contradicts is left as it is.\n\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n\n"
    "Exit status: 0 written, 1 the list refused, 2 wrong arguments,\n"
    "3 the existing ls.ini kept, 4 the new table not written.\n";

void say(const std::string& text) {
  os::write_standard_error("kw_lsini: " + text + "\n");
}

struct Date {
  long long year = 0;
  unsigned month = 0;
  unsigned day = 0;
};

// The proleptic Gregorian date of an MJD (days from 1970-01-01 split into
// eras of 400 years).
Date date_of_mjd(long long mjd) {
  constexpr long long kMjdOf1970 = 40587;
  constexpr long long kDaysFrom0000To1970 = 719468;  // from 0000-03-01
  constexpr long long kEraDays = 146097;
  const long long z = mjd - kMjdOf1970 + kDaysFrom0000To1970;
  const long long era = (z >= 0 ? z : z - kEraDays + 1) / kEraDays;
  const auto doe = static_cast<unsigned>(z - era * kEraDays);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<long long>(yoe) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::string iso(long long mjd) {
  const Date d = date_of_mjd(mjd);
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u", d.year, d.month, d.day);
  return text;
}

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g s", value);
  return text;
}

// The MJD JUDDY gives a table line's date, as LS_L dates it.
double juddy_mjd(const Date& d) {
  auto year = static_cast<double>(d.year);
  double month = d.month;
  const double day = d.day;
  double mjd = 0.0;
  JUDDY(mjd, year, month, day);
  return mjd;
}

// The table's text, one line per entry in the layout of the shipped
// table: "1972  1  1  10.0" and CR LF. False when an entry is not at the
// start of a day or JUDDY would not give its date back.
bool table_text(const LeapList& list, std::string& text, std::string& why) {
  constexpr std::uint64_t kDay = 86400;
  text.clear();
  for (const LeapListEntry& entry : list.entries) {
    const long long mjd = mjd_of_ntp(entry.ntp);
    const Date d = date_of_mjd(mjd);
    if (entry.ntp % kDay != 0 || juddy_mjd(d) != static_cast<double>(mjd)) {
      why = "an entry not at the start of a day: " + std::to_string(entry.ntp);
      return false;
    }
    char line[64];
    std::snprintf(line, sizeof line, "%4lld%3u%3u%6.1f\r\n", d.year, d.month, d.day,
                  static_cast<double>(entry.tai_utc));
    text += line;
  }
  return true;
}

// Whether the existing ls.ini agrees with the list: each of its entries has
// the list's date and value. `why` names the first difference.
bool agrees_with(const LeapList& list, std::string& why) {
  LeapTable old;
  try {
    LS_L(old.LS_MJD, old.LS_DT, old.LS_N);
  } catch (const RunStop& stop) {
    why = std::string("ls.ini does not read as a table (") + stop.line() + ")";
    return false;
  }
  for (std::int32_t i = 0; i < old.LS_N; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const auto old_mjd = static_cast<long long>(old.LS_MJD[k]);
    const std::string entry = "ls.ini entry " + std::to_string(i + 1) + " (" + iso(old_mjd) + ", " +
                              seconds(old.LS_DT[k]) + ")";
    if (k >= list.entries.size()) {
      why = entry + " is not in the list";
      return false;
    }
    const LeapListEntry& listed = list.entries[k];
    if (old.LS_MJD[k] != static_cast<double>(mjd_of_ntp(listed.ntp)) ||
        old.LS_DT[k] != static_cast<double>(listed.tai_utc)) {
      why = entry + " differs from the list's " + iso(mjd_of_ntp(listed.ntp)) + ", " +
            seconds(listed.tai_utc);
      return false;
    }
  }
  return true;
}

// Writes the table beside ls.ini, then puts it in its place whole.
bool replace_table(const std::string& text, std::string& why) {
  {
    std::ofstream out(kNewTable, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      why = std::string("cannot write ") + kNewTable;
      std::error_code ignored;
      fs::remove(kNewTable, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(kNewTable, kTable, error);
  if (error) {
    why = std::string("cannot replace ls.ini: ") + error.message();
    fs::remove(kNewTable, error);
    return false;
  }
  return true;
}

int convert_list(const std::string& path, long long today) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  if (!in) {
    say("cannot read " + path);
    return lsini_status::list_refused;
  }
  LeapList list;
  std::string why;
  if (!read_leap_list(content.str(), list, why)) {
    say(path + ": " + why + "; nothing written");
    return lsini_status::list_refused;
  }
  if (!hash_matches(list)) {
    say(path + ": its numbers do not match its hash; nothing written");
    return lsini_status::list_refused;
  }
  const long long expires = mjd_of_ntp(list.expires);
  say(path + ": updated " + iso(mjd_of_ntp(list.updated)) + ", expires " + iso(expires));
  if (expires < today) {
    say("warning: the list expired on " + iso(expires) +
        ": the table may miss a leap second announced since");
  }
  std::string text;
  if (!table_text(list, text, why)) {
    say(path + ": " + why + "; nothing written");
    return lsini_status::list_refused;
  }
  std::error_code error;
  if (fs::exists(kTable, error) && fs::file_size(kTable, error) > 0 && !agrees_with(list, why)) {
    say(why + "; ls.ini is left as it is");
    return lsini_status::table_kept;
  }
  if (!replace_table(text, why)) {
    say(why);
    return lsini_status::write_failed;
  }
  const LeapListEntry& first = list.entries.front();
  const LeapListEntry& last = list.entries.back();
  say("wrote ls.ini: " + std::to_string(list.entries.size()) + " entries, " +
      iso(mjd_of_ntp(first.ntp)) + " (" + std::to_string(first.tai_utc) + " s) to " +
      iso(mjd_of_ntp(last.ntp)) + " (" + std::to_string(last.tai_utc) + " s)");
  return lsini_status::written;
}

}  // namespace

int run_lsini(const std::vector<std::string>& arguments, long long today) {
  if (arguments.size() == 1 && arguments[0] == "--help") {
    std::fputs(kHelp, stdout);
    return lsini_status::written;
  }
  if (arguments.size() == 1 && arguments[0] == "--version") {
    std::printf("kw_lsini %s\n", KW_VERSION);
    return lsini_status::written;
  }
  const bool option = !arguments.empty() && arguments[0].starts_with("--");
  if (arguments.size() > 1 || option || (arguments.empty() && kDefaultList == nullptr)) {
    say("usage: kw_lsini [LIST] (see --help)");
    return lsini_status::usage;
  }
  return convert_list(arguments.empty() ? kDefaultList : arguments[0], today);
}

}  // namespace kw

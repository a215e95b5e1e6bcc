#include "lsini/lsini.h"

#include "build_info.h"

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "lsini/table_update.h"
#include "platform/file.h"
#include "platform/process.h"
#include "platform/whole_file.h"
#include "records/failure.h"
#include "records/run_files.h"
#include "timescale/published/leap_list.h"
#include "timescale/published/published_table.h"
#include "timescale/table_reader.h"

namespace kw {
namespace {

// Where a fresh list comes from.
std::string fresh_list() {
  return std::string(os::system_leap_list().empty()
                         ? ""
                         : "the time-zone data package (tzdata) brings one, or\n") +
         "the IERS publishes it at\n"
         "  https://hpiers.obspm.fr/iers/bul/bulc/ntp/leap-seconds.list";
}

// What the help says of the checks, an existing table and the options.
constexpr const char kHelpRules[] =
    "Each is checked as far as its format allows (the hash of the IETF list;\n"
    "real dates in order, an expiry after the last; from 1972 on, changes of\n"
    "whole seconds on the first of a month); anything else is refused, and so\n"
    "is a table that kw_tai2utc would not read. Its update and expiry are\n"
    "shown, and the table carries the expiry on its last line (\"expires\n"
    "2027-06-28\"), for kw_tai2utc to say when records lie past it.\n\n"
    "An existing ls.ini keeps every line it has, the notes on them too: the\n"
    "list's later entries are added after its last one, which takes the new\n"
    "expiry; a table that holds them all and an expiry no earlier is left\n"
    "untouched; one that the list contradicts, or that does not read as a\n"
    "table, is left as it is. The table is replaced whole, keeping its\n"
    "permissions (a symbolic link stays, and the file it leads to is replaced).\n\n"
    "  --since-1961   add before the list's entries the thirteen of 1961-1971\n"
    "                 with their rates (TAI-UTC then changed by the day), as\n"
    "                 the USNO publishes them\n"
    "  -h, --help     show this text and exit\n"
    "  -V, --version  show the version and exit\n"
    "  --             the next argument is the list, even if it begins with -\n\n"
    "Exit status:\n"
    "  0   ls.ini written, or already up to date\n"
    "  1   the list refused: unreadable, not a list, its hash does not match,\n"
    "      or it gives no table the converter reads\n"
    "  2   wrong arguments\n"
    "  3   the existing ls.ini kept: the list does not extend it, or its path\n"
    "      is one another user controls (their link, a folder others may write)\n"
    "  4   a write failed, or no memory: ls.ini is as it was\n\n"
    "A fresh list: ";

std::string help_text() {
  const std::string_view system_list = os::system_leap_list();
  std::string text = "Usage: " KW_LSINI_NAME
                     " [--since-1961] [--] [LIST]\n"
                     "Writes the leap-second table ls.ini in the current folder from LIST, a\n"
                     "published table of TAI-UTC (- reads it from standard input):\n"
                     "  leap-seconds.list  the IETF list: the IERS publishes it at\n"
                     "      https://hpiers.obspm.fr/iers/bul/bulc/ntp/leap-seconds.list\n"
                     "    and the NIST at ftp://ftp.boulder.nist.gov/pub/time/\n"
                     "  Leap_Second.dat    the IERS's, at\n"
                     "      https://hpiers.obspm.fr/iers/bul/bulc/Leap_Second.dat\n"
                     "  tai-utc.dat        the USNO's, with the rates of 1961-1971, at\n"
                     "      https://maia.usno.navy.mil/ser7/tai-utc.dat\n"
                     "told apart by their content. ";
  text += system_list.empty() ? "This system keeps no list: name one.\n\n"
                              : "By default LIST is\n" + std::string(system_list) + ".\n\n";
  text += kHelpRules;
  text += fresh_list() + "\n\nMore in README.md: " KW_README_PLACE ".\n";
  return text;
}

// The program's own lines begin with its name, as the converter's do.
constexpr std::string_view kPrefix = "KW_LSINI: ";
const std::string kTable = kTableFile.name;

void say(const std::string& text) {
  os::write_standard_error(std::string(kPrefix) + text + "\n");
}

// "28 entries, 1972-01-01 (10 s) to 2017-01-01 (37 s)".
std::string span_of(const PublishedTable& table) {
  const std::size_t n = table.entries.size();
  const auto when = [](const PublishedEntry& e) {
    return iso_date(e.mjd) + " (" + value_words(e) + ")";
  };
  return std::to_string(n) + (n == 1 ? " entry, " : " entries, ") + when(table.entries.front()) +
         " to " + when(table.entries.back());
}

// What the table `text` holds, when it holds other entries than the
// list's: "41 entries, 1961-01-01 (1.4228180 s) to 2017-01-01 (37 s), the
// list's 28 among them"; else what the list holds.
std::string span_of(std::string_view text, const PublishedTable& list) {
  LeapTable table;
  if (load_table_text(text, table) || static_cast<std::size_t>(table.LS_N) == list.entries.size()) {
    return span_of(list);
  }
  const std::size_t n = list.entries.size();
  return std::to_string(table.LS_N) + " entries, " +
         iso_date(static_cast<std::int64_t>(table.LS_MJD[0])) + " to " +
         iso_date(list.entries.back().mjd) + " (" + value_words(list.entries.back()) +
         "), the list's " + std::to_string(n) + " among them";
}

// Text that the help breaks into lines, as one line.
std::string one_line(std::string text) {
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at)) {
    const std::size_t end = text.find_first_not_of(' ', at + 1);
    text.replace(at, (end == std::string::npos ? text.size() : end) - at, 1, ' ');
  }
  return text;
}

// What the list is and when it expires, as its first line says.
std::string what_it_is(const PublishedTable& table) {
  std::string said(name_of(table.source));
  if (!table.updated.empty()) said += " of " + shown(table.updated);
  return said +
         (table.expires ? ", expires " + iso_date(*table.expires) : ", which gives no expiry");
}

// Reads, checks and shows the list; false once it is refused.
bool read_list(const std::string& path, std::int64_t now, bool since_1961, PublishedTable& table) {
  const std::string name = path == "-" ? "standard input" : shown(path);
  std::string content;
  std::string why;
  if (os::read_whole_file(path, kLongestTable, content, why) != os::ReadWhole::ok) {
    say("cannot read the list " + name + ": " + why + "; nothing written");
    return false;
  }
  if (!read_published(content, table, why)) {
    say(name + ": " + why + "; nothing written");
    return false;
  }
  say(name + ": " + what_it_is(table));
  // Days, not seconds: no product to overflow, whatever the clock says.
  constexpr auto kDay = static_cast<std::int64_t>(kSecondsPerDay);
  const std::int64_t today = kMjdOf1970 + now / kDay - (now % kDay < 0 ? 1 : 0);
  if (table.expires && *table.expires <= today) {
    say("warning: the list expired on " + iso_date(*table.expires) +
        ": the table may miss a leap second announced since; for a fresh list, " +
        one_line(fresh_list()));
  }
  const std::vector<PublishedEntry>& history = entries_of_1961_to_1971();
  if (since_1961 && table.entries.front().mjd > history.back().mjd) {
    table.entries.insert(table.entries.begin(), history.begin(), history.end());
  }
  return true;
}

// Another run may replace the table between the reading and the renaming:
// the table is then read and compared again, a few times at most.
constexpr int kAttempts = 5;

// One attempt to bring ls.ini up to date; `again` is set when another
// program replaced it meanwhile.
// Writes the new table of `update` in place of `table`, begun and read:
// again when the table changed under it, and the run may try once more.
int write_update(os::Replacement& table, const TableUpdate& update, const PublishedTable& published,
                 bool& again) {
  std::string why;
  std::size_t written = 0;
  const os::HeldSignals held;
  if (table.create(why) != os::OpenError::none) {
    // why says it
  } else if (!table.file().write(update.text, written)) {
    why = "cannot write the new file: " + table.file().error_text();
  } else if (table.commit(why)) {
    say("wrote " + kTable + ": " + span_of(update.text, published) + " (" +
        std::to_string(update.added) + " added)");
    return lsini_status::ok;
  } else {
    again = table.changed();
  }
  if (!again) say("cannot write " + kTable + ": " + why + "; " + kTable + " is as it was");
  return lsini_status::write_failed;
}

int try_update(const PublishedTable& published, bool& again) {
  again = false;
  os::Replacement table;
  std::string why;
  const os::OpenError error = table.begin(kTable, os::Links::follow, why);
  if (error != os::OpenError::none && table.changed()) {
    again = true;  // replaced between finding and opening: read again
    return lsini_status::write_failed;
  }
  if (error != os::OpenError::none) {
    say("cannot write " + kTable + ": " + shown(why) + "; " + kTable + " is left as it is");
    return table.found() || error == os::OpenError::untrusted ? lsini_status::table_kept
                                                              : lsini_status::write_failed;
  }
  std::string old_text;
  const os::ReadWhole read = table.read_old(kLongestTable, old_text, why);
  if (read != os::ReadWhole::ok && read != os::ReadWhole::missing) {
    say("cannot read " + kTable + ": " + why + "; " + kTable + " is left as it is");
    return lsini_status::table_kept;
  }
  const TableUpdate update = update_of(old_text, published);
  switch (update.kind) {
    case TableUpdate::Kind::kept:
      say(update.why + "; " + kTable + " is left as it is");
      return lsini_status::table_kept;
    case TableUpdate::Kind::unfit:
      say(update.why + "; nothing written");
      return lsini_status::list_refused;
    case TableUpdate::Kind::up_to_date:
      say(kTable + " is up to date: " + span_of(old_text, published) + "; left untouched");
      return lsini_status::ok;
    case TableUpdate::Kind::write:
      break;
  }
  // Only a table the list extends is written through a link: a blank file
  // there may be anybody's.
  if (table.through_link() && blank_table(old_text)) {
    say("cannot write " + kTable + ": a symbolic link, which is not written through; " + kTable +
        " is as it was");
    return lsini_status::write_failed;
  }
  return write_update(table, update, published, again);
}

int update_table(const std::string& path, std::int64_t now, bool since_1961) {
  PublishedTable published;
  if (!read_list(path, now, since_1961, published)) return lsini_status::list_refused;
  bool again = true;
  int status = lsini_status::write_failed;
  for (int attempt = 0; again && attempt < kAttempts; ++attempt) {
    status = try_update(published, again);
  }
  if (again) {
    say("cannot write " + kTable + ": other programs kept replacing it; " + kTable +
        " is as it was");
  }
  return status;
}

int print(std::string_view text) {
  std::string why;
  if (os::write_standard_output(text, why)) return lsini_status::ok;
  say("cannot write to standard output: " + why);
  return lsini_status::write_failed;
}

}  // namespace

int run_lsini(const std::vector<std::string>& arguments, std::int64_t now) {
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    return print(help_text());
  }
  if (arguments.size() == 1 && (arguments[0] == "--version" || arguments[0] == "-V")) {
    return print(std::string("kw_lsini ") + KW_VERSION + "\n");
  }
  std::vector<std::string> lists;
  bool options_end = false;
  bool since_1961 = false;
  for (const std::string& argument : arguments) {
    if (!options_end && argument == "--") {
      options_end = true;
    } else if (!options_end && argument == "--since-1961") {
      since_1961 = true;
    } else if (!options_end && argument.size() > 1 && argument[0] == '-') {
      say("unknown option " + shown(argument) + " (see --help)");
      return lsini_status::usage;
    } else {
      lists.push_back(argument);
    }
  }
  const std::string system_list(os::system_leap_list());
  if (lists.size() > 1 || (lists.empty() && system_list.empty())) {
    say("usage: kw_lsini [--since-1961] [--] [LIST] (see --help)");
    return lsini_status::usage;
  }
  try {
    return update_table(lists.empty() ? system_list : lists[0], now, since_1961);
  } catch (const std::bad_alloc&) {
    say("out of memory; " + kTable + " is as it was");
    return lsini_status::write_failed;
  }
}

}  // namespace kw

#include "lsini/lsini.h"

#include "build_info.h"

#include <cstdint>
#include <string_view>

#include "lsini/leap_list.h"
#include "lsini/table_text.h"
#include "platform/process.h"
#include "platform/whole_file.h"
#include "records/failure.h"
#include "records/run_files.h"
#include "timescale/table_reader.h"

namespace kw {
namespace {

// Where a fresh list comes from.
std::string fresh_list() {
  return std::string(os::system_leap_list().empty()
                         ? ""
                         : "the time-zone data package (tzdata) brings one, or\n") +
         "the IERS publishes it at\n  https://hpiers.obspm.fr/iers/bul/bulc/ntp/leap-seconds.list";
}

std::string help_text() {
  const std::string_view system_list = os::system_leap_list();
  std::string text = "Usage: " KW_LSINI_NAME
                     " [--] [LIST]\n"
                     "Writes the leap-second table ls.ini in the current folder from LIST, a\n"
                     "leap-second list in the IETF format (leap-seconds.list); - reads it from\n"
                     "standard input.";
  if (!system_list.empty()) text += " By default LIST is\n" + std::string(system_list) + ".";
  text +=
      "\n\n"
      "The list's SHA-1 hash is checked first: a list whose numbers do not match\n"
      "it is refused. The dates of its last update and of its expiry are shown;\n"
      "past the expiry, the table may miss a leap second announced since.\n\n"
      "An existing ls.ini whose entries are the list's first ones is replaced\n"
      "whole by the longer table, keeping its permissions (a symbolic link stays\n"
      "and the file it leads to is replaced); one that holds all of the list's\n"
      "entries is left untouched; one that the list contradicts, or that does not\n"
      "read as a table, is left as it is.\n\n"
      "  -h, --help     show this text and exit\n"
      "  -V, --version  show the version and exit\n"
      "  --             the next argument is the list, even if it begins with -\n\n"
      "Exit status:\n"
      "  0   ls.ini written, or already up to date\n"
      "  1   the list refused: unreadable, not a list, its hash does not match,\n"
      "      or it gives no table the converter reads\n"
      "  2   wrong arguments\n"
      "  3   the existing ls.ini kept: the list does not extend it\n"
      "  4   a write failed, or no memory: ls.ini is as it was\n\n"
      "A fresh list: " +
      fresh_list() + "\n\nMore in README.md: " KW_README_PLACE ".\n";
  return text;
}

// The program's own lines begin with its name, as the converter's do.
constexpr std::string_view kPrefix = "KW_LSINI: ";

void say(const std::string& text) {
  os::write_standard_error(std::string(kPrefix) + text + "\n");
}

std::string count_of(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " entry" : " entries");
}

std::string span_of(const LeapList& list) {
  const LeapListEntry& first = list.entries.front();
  const LeapListEntry& last = list.entries.back();
  return count_of(list.entries.size()) + ", " + iso_date(mjd_of_ntp(first.ntp)) + " (" +
         std::to_string(first.tai_utc) + " s) to " + iso_date(mjd_of_ntp(last.ntp)) + " (" +
         std::to_string(last.tai_utc) + " s)";
}

// Reads, checks and shows the list; false once it is refused.
bool read_list(const std::string& path, std::int64_t now, LeapList& list) {
  const std::string name = path == "-" ? "standard input" : shown(path);
  std::string content;
  std::string why;
  if (os::read_whole_file(path, kLongestList, content, why) != os::ReadWhole::ok) {
    say("cannot read the list " + name + ": " + why + "; nothing written");
    return false;
  }
  if (!read_leap_list(content, list, why)) {
    say(name + ": " + why + "; nothing written");
    return false;
  }
  if (!hash_matches(list)) {
    say(name + ": its numbers do not match its hash; nothing written");
    return false;
  }
  say(name + ": updated " + iso_date(mjd_of_ntp(list.updated)) + ", expires " +
      iso_date(mjd_of_ntp(list.expires)));
  if (static_cast<std::int64_t>(list.expires) <= ntp_of_posix(now)) {
    say("warning: the list expired on " + iso_date(mjd_of_ntp(list.expires)) +
        ": the table may miss a leap second announced since; for a fresh list, " + fresh_list());
  }
  return true;
}

enum class OldTable { none, shorter, same, kept };

// What the existing table, read as `read` gave `text`, is to the list:
// none (missing or empty), the list's first entries, all of them, or
// something to keep (with `why`).
OldTable compare_old_table(const LeapList& list, os::ReadWhole read, const std::string& text,
                           std::string& why) {
  if (read == os::ReadWhole::missing) return OldTable::none;
  if (read != os::ReadWhole::ok) {
    why = "cannot read ls.ini: " + why;
    return OldTable::kept;
  }
  if (text.empty()) return OldTable::none;
  LeapColumn mjd{};
  LeapColumn dt{};
  std::int32_t n = 0;
  if (const TableFault fault = load_table_text(text, mjd, dt, n)) {
    why = "ls.ini does not read as a table: " + describe(fault, kTableFile.name);
    return OldTable::kept;
  }
  for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) {
    const std::string entry =
        "ls.ini " + entry_words(k + 1, static_cast<std::int64_t>(mjd[k]), dt[k]);
    if (k >= list.entries.size()) {
      why = entry + " is not in the list";
      return OldTable::kept;
    }
    const LeapListEntry& listed = list.entries[k];
    if (mjd[k] != static_cast<double>(mjd_of_ntp(listed.ntp)) || dt[k] != listed.tai_utc) {
      why = entry + " differs from the list's " + iso_date(mjd_of_ntp(listed.ntp)) + ", " +
            std::to_string(listed.tai_utc) + " s";
      return OldTable::kept;
    }
  }
  return static_cast<std::size_t>(n) == list.entries.size() ? OldTable::same : OldTable::shorter;
}

// Another run may replace the table between the reading and the renaming:
// the table is then read and compared again, a few times at most.
constexpr int kAttempts = 5;

// One attempt to bring ls.ini up to date with `text`; `again` is set when
// another program replaced the table meanwhile.
int try_update(const LeapList& list, const std::string& text, bool& again) {
  again = false;
  os::Replacement table;
  std::string why;
  if (table.begin(kTableFile.name, os::Links::follow, why) != os::OpenError::none) {
    say("cannot write ls.ini: " + why + "; ls.ini is left as it is");
    return table.found() ? lsini_status::table_kept : lsini_status::write_failed;
  }
  std::string old_text;
  const os::ReadWhole read = table.read_old(kLongestTable, old_text, why);
  const OldTable old = compare_old_table(list, read, old_text, why);
  switch (old) {
    case OldTable::kept:
      say(why + "; ls.ini is left as it is");
      return lsini_status::table_kept;
    case OldTable::same:
      say("ls.ini is up to date: " + span_of(list) + "; left untouched");
      return lsini_status::ok;
    case OldTable::none:
    case OldTable::shorter:
      break;
  }
  // Only a table the list extends is written through a link.
  if (table.through_link() && old != OldTable::shorter) {
    say("cannot write ls.ini: a symbolic link, which is not written through; ls.ini is as it was");
    return lsini_status::write_failed;
  }
  std::size_t written = 0;
  const os::HeldSignals held;
  if (table.create(why) != os::OpenError::none) {
    // why says it
  } else if (!table.file().write(text, written)) {
    why = "cannot write the new file: " + table.file().error_text();
  } else if (table.commit(why)) {
    say("wrote ls.ini: " + span_of(list));
    return lsini_status::ok;
  } else {
    again = table.changed();
  }
  if (!again) say("cannot write ls.ini: " + why + "; ls.ini is as it was");
  return lsini_status::write_failed;
}

int update_table(const std::string& path, std::int64_t now) {
  LeapList list;
  if (!read_list(path, now, list)) return lsini_status::list_refused;
  std::string text;
  std::string why;
  if (!table_text(list, text, why)) {
    say(why + "; nothing written");
    return lsini_status::list_refused;
  }
  bool again = true;
  int status = lsini_status::write_failed;
  for (int attempt = 0; again && attempt < kAttempts; ++attempt)
    status = try_update(list, text, again);
  if (again) say("cannot write ls.ini: other programs kept replacing it; ls.ini is as it was");
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
  for (const std::string& argument : arguments) {
    if (!options_end && argument == "--") {
      options_end = true;
    } else if (!options_end && argument.size() > 1 && argument[0] == '-') {
      say("unknown option " + shown(argument) + " (see --help)");
      return lsini_status::usage;
    } else {
      lists.push_back(argument);
    }
  }
  const std::string system_list(os::system_leap_list());
  if (lists.size() > 1 || (lists.empty() && system_list.empty())) {
    say("usage: kw_lsini [--] [LIST] (see --help)");
    return lsini_status::usage;
  }
  return update_table(lists.empty() ? system_list : lists[0], now);
}

}  // namespace kw

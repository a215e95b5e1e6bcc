// KW_TAI2UTC: adds TAI-UTC to the third value of every dated record.
// With no arguments, every file name is fixed and relative to the current
// directory; with a data file named, it converts that file to another one
// or to standard output (see --help and README.md).
#include "build_info.h"

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/lsconv.h"
#include "conversion/named_form.h"
#include "conversion/tiers/simd.h"
#include "platform/file.h"
#include "platform/process.h"
#include "records/failure.h"
#include "records/run_files.h"

namespace {

// The help text's parts that are the same on every system.
constexpr const char kHelpForms[] =
    "), writes the\n"
    "records to new.txt, and logs the run's start and end to lsconv.lst: every\n"
    "file name is fixed.\n\n"
    "With INPUT it converts that file (- for standard input) to OUTPUT, or to\n"
    "standard output when OUTPUT is - or left out, with the same records,\n"
    "rounding and messages, and no run log. A named OUTPUT is replaced whole,\n"
    "and only by a run that ends normally: after a failure it is as it was.\n\n";
constexpr const char kHelpOptions[] =
    "  --table FILE   the leap-second table (default: ls.ini in the current folder),\n"
    "                 or a published one: leap-seconds.list, Leap_Second.dat or\n"
    "                 tai-utc.dat, taken as kw_lsini would write it\n"
    "  --reverse      subtract TAI-UTC instead (UT1-UTC to UT1-TAI); the third\n"
    "                 value then has a blank more before it, so that the records\n"
    "                 read back. INPUT may then also be a daily series of the\n"
    "                 IERS, which gives UT1-UTC, each day made a record: 14 C04\n"
    "                 or 20 C04 (the IERS Earth Orientation Centre, Paris\n"
    "                 Observatory) or finals2000A (Bulletin A; the IERS Rapid\n"
    "                 Service/Prediction Centre, USNO)\n"
    "  -h, --help     show this text and exit\n"
    "  -V, --version  show the version and exit\n\n"
    "Examples:\n"
    "  cd examples/station/run && " KW_TAI2UTC_NAME
    "\n\n"
    "  " KW_TAI2UTC_NAME
    " --table ls.ini ut1-tai.txt ut1-utc.txt\n\n"
    "  " KW_TAI2UTC_NAME
    " --reverse - < ut1-utc.txt > ut1-tai.txt\n\n"
    "  " KW_TAI2UTC_NAME " --table ls.ini --reverse finals2000A.all ut1-tai.txt\n\n";
constexpr const char kHelpTable[] =
    "A table holds one line per change of TAI-UTC: year, month, day and the\n"
    "offset in seconds (\"1999 1 1 32.0\"); kw_lsini writes it from a\n"
    "published list, with the list's expiry on its last line and, for\n"
    "1961-1971, the rate of each entry (\"rate 0.0012960 s/day\"). At the end\n"
    "of a run, a line on standard error says how many records lie before the\n"
    "table's first entry, or on or after its expiry, and what they took; for a\n"
    "series, another how many were taken from predicted values.\n\n"
    "Exit status:\n"
    "  0   the run ended normally (possibly with output conversion errors, 63)\n"
    "  1   the table cannot be used (empty, more than 100 entries, out of date\n"
    "      order, larger than 1 MiB)\n"
    "  2   wrong arguments, or a series of UT1-UTC without --reverse\n"
    "  3   a path another user controls (their link, a folder others may write):\n"
    "      nothing read or written\n"
    "  4   out of memory\n"
    "  24, 38, 39, 43, 59, 64   run-time error N (the forrtl: line), as N\n  ";

// The help text, in this system's terms: the data file's name as the
// system takes it, the exit statuses as it reports them.
std::string help_text() {
  const auto status = [](int number) {
    return std::to_string(kw::os::exit_status_for_error(number));
  };
  std::string text = "Usage: " KW_TAI2UTC_NAME
                     "\n"
                     "  or:  " KW_TAI2UTC_NAME
                     " [--table FILE] [--reverse] INPUT [OUTPUT]\n"
                     "Adds to the third value of every daily record the TAI-UTC offset in force\n"
                     "on its date (UT1-TAI to UT1-UTC), from a leap-second table.\n\n"
                     "Without arguments it reads the table ls.ini in the current folder and the\n"
                     "data file KW_PVZ.DAT two folders above it (";
  text += kw::os::native_name(kw::kDataFile.name);
  text += kHelpForms;
  text += kHelpOptions;
  text += kHelpTable;
  text += status(600) + ", " + status(602) + ", " + status(603) +
          "   run-time errors 600, 602 and 603\n\n"
          "More in README.md: " KW_README_PLACE ".\n";
  return text;
}

int print(std::string_view text) {
  std::string why;
  if (kw::os::write_standard_output(text, why)) return 0;
  kw::os::write_standard_error(std::string(kw::kProgramPrefix) +
                               "cannot write to standard output: " + why + "\n");
  return kw::os::exit_status_for_error(kw::err::write_failed);
}

int usage(const std::string& what) {
  kw::os::write_standard_error(std::string(kw::kProgramPrefix) + what + " (see --help)\n");
  return 2;
}

// The named form's arguments, [--table FILE] [--reverse] [--] INPUT [OUTPUT],
// into `form`; returns 0, or the status of a usage error, said.
int parse_named_form(const std::vector<std::string>& arguments, kw::NamedForm& form) {
  std::vector<std::string> names;
  bool options_end = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (options_end || argument == "-" || !argument.starts_with("-")) {
      names.push_back(argument);
    } else if (argument == "--") {
      options_end = true;
    } else if (argument == "--reverse") {
      form.direction = kw::Direction::subtract;
    } else if (argument == "--table" && i + 1 < arguments.size()) {
      form.table = arguments[++i];
    } else if (argument.starts_with("--table=")) {
      form.table = argument.substr(8);
    } else {
      return usage("unknown option or missing value: " + kw::shown(argument));
    }
  }
  if (names.empty() || names.size() > 2) return usage("give one INPUT and at most one OUTPUT");
  form.input = names[0];
  if (names.size() == 2) form.output = names[1];
  return 0;
}

// Whether the kernels' set, where the environment forces one, is one this
// program has; if not, says so, and the run does not start.
bool instruction_set_known() {
  const char* name = std::getenv(kw::kInstructionSetVariable);
  if (name == nullptr || kw::named_instruction_set(name)) return true;
  kw::os::write_standard_error(std::string(kw::kProgramPrefix) + kw::kInstructionSetVariable +
                               " is \"" + kw::shown(name) + "\": not plain or sse2\n");
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view argument = argc > 1 ? argv[1] : "";
  if (argc == 2 && (argument == "--help" || argument == "-h")) return print(help_text());
  if (argc == 2 && (argument == "--version" || argument == "-V")) {
    return print(std::string("kw_tai2utc ") + KW_VERSION + "\n");
  }
  if (!instruction_set_known()) return 2;
  if (argc == 1) return kw::run_fixed();
  kw::NamedForm form;
  if (const int status = parse_named_form(std::vector<std::string>(argv + 1, argv + argc), form)) {
    return status;
  }
  return kw::run_named_form(form);
}

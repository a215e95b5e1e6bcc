// KW_TAI2UTC: adds TAI-UTC to the third value of every dated record.
// No arguments; every file name is fixed and relative to the current
// directory (see --help and README.md).
#include <string>
#include <string_view>

#include "conversion/lsconv.h"
#include "platform/process.h"
#include "records/failure.h"

namespace {

#ifdef _WIN32
#define KW_DATA_FILE "..\\..\\KW_PVZ.DAT"
#define KW_README_PLACE "README.md beside the program"
#else
#define KW_DATA_FILE "../../KW_PVZ.DAT"
#define KW_README_PLACE KW_DOC_DIR "/README.md"
#endif

constexpr std::string_view kHelp =
    "Usage: kw_tai2utc\n"
    "Reads the leap-second table ls.ini in the current folder and the data file\n"
    "KW_PVZ.DAT two folders above it (" KW_DATA_FILE
    "), adds to the third value\n"
    "of every record the TAI-UTC offset in force on its date, and writes the\n"
    "records to new.txt; the run's start and end go to lsconv.lst. It takes no\n"
    "arguments: every file name is fixed. A failure is one line on standard\n"
    "error and a nonzero exit status.\n\n"
    "ls.ini holds one line per change of TAI-UTC: year, month, day and the\n"
    "offset in seconds (\"1999 1 1 32.0\"); kw_lsini writes it from a\n"
    "leap-second list.\n\n"
    "  -h, --help     show this text and exit\n"
    "  -V, --version  show the version and exit\n\n"
    "Exit status:\n"
    "  0   the run ended normally (possibly with output conversion errors, 63)\n"
    "  1   ls.ini cannot be used (empty, more than 100 entries, out of order)\n"
    "  2   wrong arguments\n"
    "  other: the run-time error of the line on standard error, "
#ifdef _WIN32
    "its number\n"
    "  (24, 38, 39, 43, 59, 64, 600, 602, 603)\n\n"
#else
    "its number's\n"
    "  low 8 bits (24, 38, 39, 43, 59, 64; 88 for 600, 90 for 602, 91 for 603)\n\n"
#endif
    "More in " KW_README_PLACE ".\n";

int print(std::string_view text) {
  std::string why;
  if (kw::os::write_standard_output(text, why)) return 0;
  kw::os::write_standard_error("KW_TAI2UTC: cannot write to standard output: " + why + "\n");
  return kw::os::exit_status_for_error(kw::err::write_failed);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) return kw::run_program();
  const std::string_view argument = argv[1];
  if (argc == 2 && (argument == "--help" || argument == "-h")) return print(kHelp);
  if (argc == 2 && (argument == "--version" || argument == "-V")) {
    return print(std::string("kw_tai2utc ") + KW_VERSION + "\n");
  }
  kw::os::write_standard_error("KW_TAI2UTC: the program takes no arguments (see --help)\n");
  return 2;
}

// KW_TAI2UTC: adds TAI-UTC to the third value of every dated record.
// No arguments; every file name is fixed and relative to the current
// directory (see --help and README.md).
#include <cstdio>
#include <string_view>

#include "conversion/lsconv.h"
#include "platform/process.h"

namespace {

constexpr const char* kHelp =
    "Usage: kw_tai2utc\n"
    "Reads the leap-second table ls.ini in the current folder and the data file\n"
    "KW_PVZ.DAT two folders above it (..\\..\\KW_PVZ.DAT), adds to the third value\n"
    "of every record the TAI-UTC offset in force on its date, and writes the\n"
    "records to new.txt; the run's start and end go to lsconv.lst. It takes no\n"
    "arguments: every file name is fixed. A failure is one line on standard\n"
    "error and a nonzero exit status (see README.md).\n\n"
    "ls.ini holds one line per change of TAI-UTC: year, month, day and the\n"
    "offset in seconds (\"1999 1 1 32.0\"); kw_lsini writes it from a\n"
    "leap-second list.\n\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 1) return kw::run_program();
  const std::string_view argument = argv[1];
  if (argc == 2 && argument == "--help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc == 2 && argument == "--version") {
    std::printf("kw_tai2utc %s\n", KW_VERSION);
    return 0;
  }
  kw::os::write_standard_error("KW_TAI2UTC: the program takes no arguments (see --help)\n");
  return 2;
}

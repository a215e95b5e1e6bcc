#include <array>
#include <string>

#include "records/failure.h"
#include "records/free_format.h"
#include "records/units.h"
#include "timescale/lsconv_s.h"

namespace kw {
namespace {

constexpr int kTableUnit = 3;
constexpr const char* kTableFile = "ls.ini";

[[noreturn]] void stop_on_line(ReadStatus status) {
  // A short line is malformed too: it is not completed from the next line.
  stop_unit(status == ReadStatus::conversion ? err::input_conversion : err::syntax, kTableUnit,
            kTableFile);
}

}  // namespace

void LS_L(LeapColumn& ls_mjd, LeapColumn& ls_dt, std::int32_t& ls_n) {
  InputUnit unit(kTableUnit, kTableFile);
  std::array<long long, LS_MAX> line_of{};  // line number of each entry, for messages
  std::string line;
  long long line_number = 0;
  int i = 1;
  while (!unit.at_end()) {
    unit.read_record(line);
    ++line_number;
    if (line.find_first_not_of(" \t") == std::string::npos) continue;

    ListReader reader(line);
    std::int32_t iy = 0;
    std::int32_t im = 0;
    std::int32_t id = 0;
    double value = 0.0;
    ReadStatus status = reader.next_integer(iy);
    if (status == ReadStatus::ok) status = reader.next_integer(im);
    if (status == ReadStatus::ok) status = reader.next_integer(id);
    if (status == ReadStatus::ok) status = reader.next_real(value);
    if (status != ReadStatus::ok) stop_on_line(status);

    if (i > LS_MAX) {
      unit.close();
      stop_table("\"ls.ini\" holds more than " + std::to_string(LS_MAX) +
                 " leap-second entries (line " + std::to_string(line_number) + " is entry " +
                 std::to_string(i) + "); no record converted");
    }
    ls_dt[i - 1] = value;
    double year = iy;
    double month = im;
    const double day = id;
    JUDDY(ls_mjd[i - 1], year, month, day);
    line_of[i - 1] = line_number;
    ++i;
  }
  unit.close();
  ls_n = i - 1;

  if (ls_n == 0) {
    stop_table(
        "\"ls.ini\" holds no leap-second entry (the file is missing or empty); "
        "no record converted");
  }
  for (int k = 1; k < ls_n; ++k) {
    if (ls_mjd[k] < ls_mjd[k - 1]) {
      stop_table("\"ls.ini\", line " + std::to_string(line_of[k]) +
                 ": the date lies before the date of the entry above it (line " +
                 std::to_string(line_of[k - 1]) + "); no record converted");
    }
  }
}

}  // namespace kw

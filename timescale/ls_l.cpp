#include <string>

#include "records/failure.h"
#include "records/units.h"
#include "timescale/lsconv_s.h"
#include "timescale/table_reader.h"

namespace kw {
namespace {

constexpr int kTableUnit = 3;
constexpr const char* kTableFile = "ls.ini";

[[noreturn]] void stop_on(const TableFault& fault) {
  switch (fault.kind) {
    case TableFault::Kind::syntax:
      stop_unit(err::syntax, kTableUnit, kTableFile);
    case TableFault::Kind::conversion:
      stop_unit(err::input_conversion, kTableUnit, kTableFile);
    default:
      stop_table(describe(fault) + "; no record converted");
  }
}

}  // namespace

void LS_L(LeapColumn& ls_mjd, LeapColumn& ls_dt, std::int32_t& ls_n) {
  InputUnit unit(kTableUnit, kTableFile);
  TableReader reader(ls_mjd, ls_dt, ls_n);
  std::string line;
  while (!unit.at_end()) {
    unit.read_record(line);
    if (const TableFault fault = reader.add_line(line)) {
      unit.close();
      stop_on(fault);
    }
  }
  unit.close();
  if (const TableFault fault = reader.finish()) stop_on(fault);
}

}  // namespace kw

#include <string>

#include "records/failure.h"
#include "records/units.h"
#include "timescale/lsconv_s.h"
#include "timescale/table_reader.h"

namespace kw {
namespace {

[[noreturn]] void stop_on(const TableFault& fault, const InputUnit& unit) {
  switch (fault.kind) {
    case TableFault::Kind::syntax:
      stop_unit(err::syntax, unit.unit(), unit.name());
    case TableFault::Kind::conversion:
      stop_unit(err::input_conversion, unit.unit(), unit.name());
    default:
      stop_table(describe(fault, unit.name()) + "; no record converted");
  }
}

}  // namespace

void load_leap_table(InputUnit& unit, LeapColumn& ls_mjd, LeapColumn& ls_dt, std::int32_t& ls_n) {
  TableReader reader(ls_mjd, ls_dt, ls_n);
  std::string line;
  while (!unit.at_end()) {
    unit.read_record(line);
    if (const TableFault fault = reader.add_line(line)) {
      unit.close();
      stop_on(fault, unit);
    }
  }
  unit.close();
  if (const TableFault fault = reader.finish()) stop_on(fault, unit);
}

void LS_L(LeapColumn& ls_mjd, LeapColumn& ls_dt, std::int32_t& ls_n) {
  constexpr int kTableUnit = 3;
  InputUnit unit(kTableUnit, "ls.ini");
  load_leap_table(unit, ls_mjd, ls_dt, ls_n);
}

}  // namespace kw

#include "timescale/load_leap_table.h"

#include <string>

#include "platform/file.h"
#include "records/failure.h"
#include "records/run_files.h"
#include "records/units.h"
#include "timescale/published/published_table.h"
#include "timescale/table_reader.h"

namespace kw {
namespace {

[[noreturn]] void stop_on(const TableFault& fault, const InputUnit& unit, bool named_form) {
  switch (fault.kind) {
    case TableFault::Kind::syntax:
      stop_unit_at(UnitError::syntax, unit.unit(), unit.name(),
                   std::string(kProgramPrefix) + describe(fault, unit.name()));
    case TableFault::Kind::conversion:
      stop_unit_at(UnitError::input_conversion, unit.unit(), unit.name(),
                   std::string(kProgramPrefix) + describe(fault, unit.name()));
    case TableFault::Kind::too_many:
    case TableFault::Kind::out_of_order:
    case TableFault::Kind::empty:
    case TableFault::Kind::note:
    case TableFault::Kind::expiry:
    case TableFault::Kind::none:
      break;
  }
  std::string what = describe(fault, unit.name()) + "; no record converted";
  if (fault.kind == TableFault::Kind::empty) what += ": " + no_table_remedy(named_form);
  stop_table(what);
}

}  // namespace

void load_leap_table(InputUnit& unit, LeapTable& table, TableForms forms,
                     const std::string& missing) {
  // Read whole, with a bound: no table, however large or endless, takes
  // more memory than that.
  std::string text;
  const bool whole = unit.read_rest(kLongestTable, text);
  unit.close();
  if (!whole) {
    stop_table(quoted(unit.name()) + " is larger than " + std::to_string(kLongestTable) +
               " bytes, more than any table holds; no record converted");
  }
  if (forms == TableForms::published && looks_published(text)) {
    PublishedTable published;
    std::string why;
    std::string own;
    if (!read_published(text, published, why) || !table_text(published, own, why)) {
      stop_table(quoted(unit.name()) + " is not a table the program can use: " + why +
                 "; no record converted");
    }
    text = own;
  }
  if (TableFault fault = load_table_text(text, table)) {
    if (fault.kind == TableFault::Kind::empty) fault.detail = missing;
    stop_on(fault, unit, forms == TableForms::published);
  }
}

void load_leap_table(LeapTable& table) {
  // A missing table is made empty, as any missing input is.
  const bool missing = !os::identity_of(kTableFile.name).found;
  InputUnit unit(kTableFile.unit, kTableFile.name);
  load_leap_table(unit, table, TableForms::own, missing ? "missing (made empty)" : "");
}

}  // namespace kw

#include "conversion/filter.h"

#include <optional>

#include "conversion/convert_records.h"
#include "conversion/lsconv.h"
#include "platform/process.h"
#include "platform/whole_file.h"
#include "records/failure.h"
#include "records/run_files.h"
#include "records/units.h"
#include "timescale/table_reader.h"

namespace kw {
namespace {

constexpr int kTableUnit = 3;

// A file named on the command line, or standard input; a missing one is
// not made. `missing` is called when the name names no file.
template <class Missing>
os::File open_named(int unit, const std::string& name, const Missing& missing) {
  if (name == "-") return os::File::standard_input();
  os::OpenError error = os::OpenError::none;
  os::File file = os::File::open_to_read(name, error);
  if (error == os::OpenError::path_not_found) missing();
  if (error != os::OpenError::none) stop_open(error, unit, name);
  return file;
}

LeapTable load_table(const std::string& name) {
  LeapTable table;
  InputUnit unit(
      kTableUnit, name, open_named(kTableUnit, name, [&name] {
        stop_table(describe({.kind = TableFault::Kind::empty}, name) + "; no record converted");
      }));
  load_leap_table(unit, table.LS_MJD, table.LS_DT, table.LS_N);
  return table;
}

void convert(const FilterRun& run, std::optional<os::Replacement>& replacement) {
  const DateOffsets offsets(load_table(run.table), run.direction);
  InputUnit data(kDataUnit, run.input, open_named(kDataUnit, run.input, [] {
                   stop_severe(err::file_not_found, "file not found");
                 }));
  if (run.output == "-") {
    os::File standard_output = os::File::standard_output();
    OutputUnit out(kOutputUnit, run.output, standard_output);
    convert_records(data, out, offsets, worker_count());
    data.close();
    out.close();
    return;
  }
  std::string why;
  replacement.emplace();
  if (!replacement->begin(run.output, os::Links::follow, why)) {
    stop_severe(err::access_not_allowed, "access not allowed");
  }
  OutputUnit out(kOutputUnit, run.output, replacement->file());
  convert_records(data, out, offsets, worker_count());
  data.close();
  out.close();
  if (!replacement->commit(why)) {
    stop_severe(err::write_failed,
                unit_message("error during write", kOutputUnit, run.output) + " (" + why + ")");
  }
}

}  // namespace

int run_filter(const FilterRun& run) {
  std::optional<os::Replacement> replacement;
  const int status = run_and_report([&] { convert(run, replacement); });
  if (status != 0 && run.output != "-") {
    replacement.reset();  // the new file goes
    os::write_standard_error("KW_TAI2UTC: " + run.output + " is left as it was\n");
  }
  return status;
}

}  // namespace kw

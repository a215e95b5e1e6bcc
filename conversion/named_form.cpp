#include "conversion/named_form.h"

#include <optional>
#include <utility>

#include "conversion/convert_records.h"
#include "conversion/run.h"
#include "platform/process.h"
#include "platform/whole_file.h"
#include "records/failure.h"
#include "records/run_files.h"
#include "records/units.h"
#include "timescale/load_leap_table.h"
#include "timescale/table_reader.h"

namespace kw {
namespace {

// A file named on the command line, or standard input ("-"); a missing one
// is not made. `missing` is called when the name names no file.
template <class Missing>
os::File open_named(int unit, const std::string& name, const Missing& missing) {
  os::OpenError error = os::OpenError::none;
  std::string why;
  os::File file =
      name == "-" ? os::File::standard_input(error, why) : os::File::open_to_read(name, error, why);
  if (error == os::OpenError::path_not_found) missing(why);
  if (error != os::OpenError::none) stop_open(error, unit, name, why);
  return file;
}

LeapTable load_table(const std::string& name) {
  LeapTable table;
  InputUnit unit(
      kTableFile.unit, name,
      open_named(kTableFile.unit, name,
                 [&name](const std::string&) {
                   stop_table(
                       describe({.kind = TableFault::Kind::empty, .detail = "missing"}, name) +
                       "; no record converted: " + no_table_remedy(true));
                 }),
      name != "-");
  load_leap_table(unit, table, TableForms::published);
  return table;
}

// Converts `data` into `out`; what the table does not know is said once
// the records are written, when the run fails too, if `out` keeps them
// (`kept`); otherwise it is left in `counts`.
void convert_to(OutputUnit& out, InputUnit& data, const DateOffsets& offsets, bool kept,
                ZoneCounts& counts) {
  try {
    convert_records(data, out, offsets, worker_count(), counts);
    data.close();
    out.close();
  } catch (...) {
    if (kept) os::write_standard_error(outside_the_table(counts, offsets.table()));
    throw;
  }
  if (kept) os::write_standard_error(outside_the_table(counts, offsets.table()));
}

// The file standard input or output is, when it is a regular one.
os::Identity standard_identity(bool output) {
  os::OpenError error = os::OpenError::none;
  std::string why;
  const os::File file =
      output ? os::File::standard_output(error, why) : os::File::standard_input(error, why);
  return file.identity();
}

os::Identity identity_of(const std::string& name, bool output) {
  return name == "-" ? standard_identity(output) : os::identity_of(name);
}

// A data file converted into itself would be lost, and a second run would
// convert it twice: INPUT and OUTPUT that are one file, whatever their
// names, are refused.
void refuse_one_file(const NamedForm& form, const os::Identity& input, const os::Identity& output) {
  if (!os::same_file(input, output)) return;
  throw RunStop(std::string(kProgramPrefix) + "INPUT " + shown(form.input) + " and OUTPUT " +
                    shown(form.output) +
                    " are the same file: nothing read or written (name another OUTPUT)",
                usage_status);
}

void convert_named(const NamedForm& form, std::optional<os::Replacement>& replacement) {
  std::string why;
  const os::Identity output = identity_of(form.output, true);
  refuse_one_file(form, identity_of(form.input, false), output);
  if (form.output != "-") {
    // The output's folder is held from here to the rename.
    replacement.emplace();
    const os::OpenError error = replacement->begin(form.output, os::Links::follow, why);
    if (error != os::OpenError::none) stop_open(error, kOutputFile.unit, form.output, why);
  }
  const DateOffsets offsets(load_table(form.table), form.direction);
  // A file named is read from its start; standard input from wherever it
  // stands, perhaps shared with another program.
  os::File data_file = open_named(kDataFile.unit, form.input, [&form](const std::string& why) {
    stop_severe(err::file_not_found, "file not found", about(form.input, why));
  });
  // Named again since it was looked at: still not the output?
  refuse_one_file(form, data_file.identity(), output);
  InputUnit data(kDataFile.unit, form.input, std::move(data_file), form.input != "-");
  os::OpenError error = os::OpenError::none;
  if (!replacement) {
    os::File standard_output = os::File::standard_output(error, why);
    if (error != os::OpenError::none) stop_open(error, kOutputFile.unit, form.output, why);
    OutputUnit out(kOutputFile.unit, form.output, standard_output);
    ZoneCounts counts;
    convert_to(out, data, offsets, true, counts);
    return;
  }
  error = replacement->create(why);
  if (error != os::OpenError::none) stop_open(error, kOutputFile.unit, form.output, why);
  OutputUnit out(kOutputFile.unit, form.output, replacement->file());
  ZoneCounts counts;
  convert_to(out, data, offsets, false, counts);
  if (!replacement->commit(why)) {
    stop_write(kOutputFile.unit, form.output, why);
  }
  // The records are in OUTPUT now: what the table does not know of them.
  os::write_standard_error(outside_the_table(counts, offsets.table()));
}

}  // namespace

int run_named_form(const NamedForm& form) {
  std::optional<os::Replacement> replacement;
  const int status = run_and_report([&] { convert_named(form, replacement); }, Details::written);
  if (status != 0 && replacement) {
    const bool existed = replacement->found();
    replacement.reset();  // the new file goes
    const std::string said = about(form.output, "");
    os::write_standard_error(said.substr(0, said.size() - 2) +
                             (existed ? " is left as it was\n" : " was not written\n"));
  }
  return status;
}

}  // namespace kw

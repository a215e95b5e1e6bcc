#include "conversion/named_form.h"

#include <optional>
#include <utility>

#include "conversion/convert_records.h"
#include "conversion/iers_series.h"
#include "conversion/run.h"
#include "conversion/tiers/record_tiers.h"
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

// What a published series read as the input leaves to be said once its
// records are written: how many of them were taken from predicted values,
// and how many days at its end gave none.
struct SeriesNotes {
  const Series* series = nullptr;  // none: the input is the program's own records

  // The lines for standard error, the first `written` records written.
  std::string lines(const OutputUnit& out) const {
    if (series == nullptr) return {};
    const std::uint64_t written = out.whole_bytes() / output_record_bytes(Direction::subtract);
    std::uint64_t predicted = 0;
    for (std::uint64_t i = 0; i < written && i < series->days.size(); ++i) {
      predicted += static_cast<std::uint64_t>(series->days[i].predicted);
    }
    std::string said;
    if (predicted > 0) {
      said += std::string(kProgramPrefix) + with_thousands(predicted) +
              (predicted == 1 ? " record" : " records") +
              " taken from predicted values (flag P), not from observed ones\n";
    }
    const std::uint64_t left = series->days_without_values;
    if (left > 0 && written == series->days.size()) {
      said += std::string(kProgramPrefix) + with_thousands(left) + (left == 1 ? " day" : " days") +
              " at the series' end without Bulletin A's x, y and UT1-UTC gave no record\n";
    }
    return said;
  }
};

// Converts `data` into `out`; what the table does not know is said once
// the records are written, when the run fails too, if `out` keeps them
// (`kept`); otherwise it is left in `counts`.
void convert_to(OutputUnit& out, InputUnit& data, const DateOffsets& offsets, bool kept,
                ZoneCounts& counts, const SeriesNotes& notes) {
  try {
    convert_records(data, out, offsets, worker_count(), counts);
    data.close();
    out.close();
  } catch (...) {
    if (kept)
      os::write_standard_error(outside_the_table(counts, offsets.table()) + notes.lines(out));
    throw;
  }
  if (kept) os::write_standard_error(outside_the_table(counts, offsets.table()) + notes.lines(out));
}

// A published series is at most this large (finals2000A.all and the C04
// series since 1962 hold a few MiB).
constexpr std::size_t kMostSeriesBytes = std::size_t{64} << 20;
// A series is told from the start of the input, at most these bytes.
constexpr std::size_t kSeriesStartBytes = std::size_t{64} << 10;

// The first bytes of `file`, read to tell what it holds: up to
// kSeriesStartBytes, and no more than that takes (a pipe, a FIFO, a
// terminal is not waited on for more).
std::string read_start(os::File& file, const std::string& name) {
  std::string start(kSeriesStartBytes, '\0');
  std::size_t size = 0;
  while (size < start.size() && !series_layout_told(std::string_view(start.data(), size))) {
    const std::ptrdiff_t n = file.read(start.data() + size, start.size() - size);
    if (n < 0) {
      stop_read(kDataFile.unit, name, file.error_text());
    }
    if (n == 0) break;
    size += static_cast<std::size_t>(n);
  }
  start.resize(size);
  return start;
}

// The records of the published series `data` holds: every line read and
// checked before any record is made; a line that does not read stops the
// run as a malformed record does, a day a two-digit year cannot hold as a
// number that does not fit.
std::string series_records(InputUnit& data, SeriesLayout layout, Series& series) {
  std::string text;
  if (!data.read_rest(kMostSeriesBytes, text)) {
    stop_unit_at(UnitError::syntax, data.unit(), data.name(),
                 about(data.name(), std::string(series_name(layout)) + " is larger than " +
                                        with_thousands(kMostSeriesBytes >> 20) +
                                        " MiB, more than any published one holds"));
  }
  SeriesRefusal refusal;
  if (!read_series(text, layout, series, refusal)) {
    stop_unit_at(refusal.beyond_two_digit_years ? UnitError::input_conversion : UnitError::syntax,
                 data.unit(), data.name(),
                 std::string(kProgramPrefix) + "line " + with_thousands(refusal.line) + " of " +
                     quoted(data.name()) + " (" + std::string(series_name(layout)) +
                     "): " + refusal.reason);
  }
  std::string records;
  records.reserve(series.days.size() * 32);
  for (const SeriesDay& day : series.days) records += record_of(day);
  return records;
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
  throw RunStop(std::string(kProgramPrefix) + "INPUT " + quoted(form.input) + " and OUTPUT " +
                    quoted(form.output) +
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
  std::string start = read_start(data_file, form.input);
  const SeriesLayout layout = series_layout(start);
  if (layout != SeriesLayout::none && form.direction == Direction::add) {
    throw RunStop(std::string(kProgramPrefix) + "INPUT " + quoted(form.input) + " is " +
                      std::string(series_name(layout)) +
                      ", which gives UT1-UTC: use --reverse to make UT1-TAI records of it; "
                      "nothing converted",
                  usage_status);
  }
  InputUnit read(kDataFile.unit, form.input, std::move(data_file), form.input != "-",
                 std::move(start));
  Series series;
  SeriesNotes notes;
  std::optional<InputUnit> records;
  if (layout != SeriesLayout::none) {
    // The series' days, as the program's own records, go through the same
    // conversion.
    records.emplace(kDataFile.unit, form.input, os::File(), false,
                    series_records(read, layout, series));
    read.close();
    notes.series = &series;
  }
  InputUnit& data = records ? *records : read;
  os::OpenError error = os::OpenError::none;
  if (!replacement) {
    os::File standard_output = os::File::standard_output(error, why);
    if (error != os::OpenError::none) stop_open(error, kOutputFile.unit, form.output, why);
    OutputUnit out(kOutputFile.unit, form.output, standard_output);
    ZoneCounts counts;
    convert_to(out, data, offsets, true, counts, notes);
    return;
  }
  error = replacement->create(why);
  if (error != os::OpenError::none) stop_open(error, kOutputFile.unit, form.output, why);
  OutputUnit out(kOutputFile.unit, form.output, replacement->file());
  ZoneCounts counts;
  convert_to(out, data, offsets, false, counts, notes);
  if (!replacement->commit(why)) {
    stop_write(kOutputFile.unit, form.output, why);
  }
  // The records are in OUTPUT now: what the table does not know of them.
  os::write_standard_error(outside_the_table(counts, offsets.table()) + notes.lines(out));
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

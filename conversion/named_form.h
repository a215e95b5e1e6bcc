// The converter in a chain of programs: a named data file or standard
// input, converted to a named file or standard output, with the table of
// a name of its own, in either direction. No run log.
#pragma once

#include <string>

#include "records/run_files.h"
#include "timescale/date_offsets.h"

namespace kw {

// A run of the named form: what its arguments name.
struct NamedForm {
  std::string table = kTableFile.name;  // the leap-second table
  Direction direction = Direction::add;
  std::string input;         // the data file; "-": standard input
  std::string output = "-";  // the converted file; "-": standard output
};

// Converts form.input into form.output as the fixed run converts its files:
// the same records, rounding, error 63 and failure lines, naming the files
// as given ("-" for standard input or output). A named output is replaced
// whole, and only when the run ends normally; after a failure it is as it
// was, and a second line says so. Returns the process exit status.
int run_named_form(const NamedForm& form);

}  // namespace kw

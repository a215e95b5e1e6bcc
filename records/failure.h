// How the run ends when something fails, and the lines the user sees.
//
// Every failed open, read or write ends the run with one line on standard
// error of the form
//   forrtl: severe (N): message
// after which the open units are flushed and closed. An output field too
// narrow for its value is only an error: its line begins "forrtl: error" and
// the run goes on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "records/free_format.h"

namespace kw {

// Error numbers of the run-time's failure reports.
namespace err {
inline constexpr int end_of_file = 24;          // a read that runs out of input
inline constexpr int read_failed = 39;          // the system failed a read
inline constexpr int write_failed = 38;         // the system failed a write
inline constexpr int bad_file_name = 43;        // open: the name is invalid
inline constexpr int syntax = 59;               // a malformed free-format value
inline constexpr int output_conversion = 63;    // a value too wide for its field
inline constexpr int input_conversion = 64;     // a value that cannot be converted
inline constexpr int access_not_allowed = 600;  // open refused by the system
inline constexpr int file_not_found = 602;      // open: a directory on the path is missing
inline constexpr int too_many_files = 603;      // open: no handle left
}  // namespace err

// The program's own lines on standard error begin with its name.
inline constexpr std::string_view kProgramPrefix = "KW_TAI2UTC: ";

// Exit statuses of the program's own stops (the run-time's failures exit
// with their error number, see os::exit_status_for_error).
inline constexpr int table_problem_status = 1;  // the leap-second table cannot be used
inline constexpr int usage_status = 2;          // wrong arguments
inline constexpr int untrusted_status = 3;      // a path another user controls
inline constexpr int out_of_memory_status = 4;  // no memory for the run

// Thrown to end the run; main() writes `line()` to standard error and exits
// with `status()`. `detail` is a line saying more (a reason, the line of a
// bad record), which the named form writes after it. Units close
// themselves (flushing) while it unwinds. Not a std::exception: nothing on
// the failure path needs a dynamic type, which keeps it working when the
// process has no file handle left.
class RunStop {
 public:
  RunStop(std::string line, int status, std::string detail = {}, bool located = false)
      : line_(std::move(line)), status_(status), detail_(std::move(detail)), located_(located) {}
  const char* line() const { return line_.c_str(); }
  int status() const { return status_; }
  const std::string& detail() const { return detail_; }
  // Whether the detail names the line of a file that stopped the run,
  // which every form of the run writes.
  bool located() const { return located_; }

 private:
  std::string line_;
  int status_;
  std::string detail_;
  bool located_;
};

// A name as it may be shown in the program's own lines: control
// characters written as \xNN, so that none reaches a terminal: C0 and
// DEL, C1 as UTF-8 encodes it (C2 80 to C2 9F), and bytes 80 to 9F that
// are not part of a well-formed UTF-8 character (a terminal of 8-bit
// characters takes 9B for the start of a control sequence). Other text,
// UTF-8 or not, is shown as it is.
std::string shown(std::string_view name);

// 12345678 as "12,345,678".
std::string with_thousands(std::uint64_t n);

// A file's name as every line of the program gives it: shown, between
// double quotes ("" for an empty name).
std::string quoted(std::string_view name);

// "KW_TAI2UTC: "NAME": text", NAME quoted and the text shown.
std::string about(std::string_view name, std::string_view text);

// "message, unit U, file F", the body that names a unit and its file.
std::string unit_message(std::string_view text, int unit, std::string_view file);

// Ends the run with "forrtl: severe (number): message"; `detail` as for
// RunStop.
[[noreturn]] void stop_severe(int number, std::string_view message, std::string detail = {});

// The failures that name their unit and file.
enum class UnitError {
  end_of_file = err::end_of_file,            // 24: a read that runs out of input
  bad_file_name = err::bad_file_name,        // 43: open: the name is invalid
  syntax = err::syntax,                      // 59: a malformed free-format value
  input_conversion = err::input_conversion,  // 64: a value that does not fit its item
};

// End the run with error 39, "error during read, unit U, file F (reason)",
// or 38, "error during write, …": the system failed a read, or a write, a
// flush or the final rename.
[[noreturn]] void stop_read(int unit, std::string_view file, std::string_view reason);
[[noreturn]] void stop_write(int unit, std::string_view file, std::string_view reason);

// Ends the run with "forrtl: severe (N): message, unit U, file F";
// `detail` as for RunStop.
[[noreturn]] void stop_unit(UnitError error, int unit, std::string_view file,
                            std::string detail = {});

// As stop_unit, with a detail that names the line of `file` that stopped
// the run and what it holds: written by every form of the run.
[[noreturn]] void stop_unit_at(UnitError error, int unit, std::string_view file,
                               std::string detail);

// What a line that does not read as numbers holds, in a few words, for the
// line that says where the run stopped: a byte-order mark or UTF-16 text
// (`first` line of its file), a comment line, a header or text line, the
// first word that is not a number, or else how many values it has.
std::string found_in_line(std::string_view line, bool first);

// What a record that stops the run with error 64 holds: the first value
// that does not fit the item it is read for, and what was expected
// ("\"1.5\" as the day, where a whole number of at most 32 bits was
// expected").
std::string misfit_in_line(std::string_view line);

// Ends the run because the leap-second table cannot be used; `what` says
// why, and the line begins with the program's name.
[[noreturn]] void stop_table(std::string_view what);

// The error a record's read status raises: 24 for a missing value, 64 for
// one that does not fit its item, 59 for a malformed one. `ok` raises
// none, and is not asked.
UnitError error_for(ReadStatus status);

// Writes "forrtl: error (63): output conversion error, unit U, file F" to
// standard error; the run goes on.
void report_output_conversion(int unit, std::string_view file);

}  // namespace kw

// How the run ends when something fails, and the lines the user sees.
//
// Every failed open, read or write ends the run with one line on standard
// error of the form
//   forrtl: severe (N): message
// after which the open units are flushed and closed. An output field too
// narrow for its value is only an error: its line begins "forrtl: error" and
// the run goes on.
#pragma once

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

// Exit status of a run stopped because the leap-second table is unusable.
inline constexpr int table_problem_status = 1;

// Thrown to end the run; main() writes `line()` to standard error and exits
// with `status()`. Units close themselves (flushing) while it unwinds. Not
// a std::exception: nothing on the failure path needs a dynamic type, which
// keeps it working when the process has no file handle left.
class RunStop {
 public:
  RunStop(std::string line, int status) : line_(std::move(line)), status_(status) {}
  const char* line() const { return line_.c_str(); }
  int status() const { return status_; }

 private:
  std::string line_;
  int status_;
};

// "message, unit U, file F", the body that names a unit and its file.
std::string unit_message(std::string_view text, int unit, std::string_view file);

// Ends the run with "forrtl: severe (number): message".
[[noreturn]] void stop_severe(int number, std::string_view message);

// Ends the run with "forrtl: severe (number): message, unit U, file F" for
// the failures that name their unit: 24, 43, 59 and 64.
[[noreturn]] void stop_unit(int number, int unit, std::string_view file);

// Ends the run because the leap-second table cannot be used; `what` says
// why, and the line begins with the program's name.
[[noreturn]] void stop_table(std::string_view what);

// The error a record's read status raises: 24 for a missing value, 64 for
// one that does not fit its item, 59 for a malformed one.
int error_for(ReadStatus status);

// Writes "forrtl: error (63): output conversion error, unit U, file F" to
// standard error; the run goes on.
void report_output_conversion(int unit, std::string_view file);

}  // namespace kw

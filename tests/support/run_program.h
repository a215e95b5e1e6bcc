// Runs the built program as a child process, the way a user would.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kw::test {

struct RunOptions {
  int max_open_files = 0;  // RLIMIT_NOFILE for the child when > 0
  // RLIMIT_FSIZE for the child when > 0, or 0 with no_file_growth (SIGXFSZ
  // as a shell leaves it); its standard error is then captured through a
  // pipe, which the limit does not reach.
  long max_file_size = 0;
  // When running as root, run the child as "nobody" (a copy of the
  // program, in a folder that user can reach).
  bool as_unprivileged = false;
  int timeout_seconds = 120;               // the child is killed after this long
  std::vector<std::string> arguments{};    // after the program's name
  std::filesystem::path standard_input{};  // the child's standard input; empty: none
  // POSIX only:
  int input_descriptor = -1;   // the child's standard input, when >= 0
  int output_descriptor = -1;  // the child's standard output, when >= 0
  std::filesystem::path
      standard_output{};                // where the child's standard output goes, if not captured
  bool append_output = false;           // ... opened to append, as ">>" does
  bool closed_standard_error = false;   // the child starts without one, as after "2>&-"
  bool no_file_growth = false;          // RLIMIT_FSIZE 0, as after "ulimit -f 0"
  bool closed_standard_input = false;   // ... as after "<&-"
  bool closed_standard_output = false;  // ... as after ">&-"
  // A signal sent to the child this long after it started (none when 0).
  int signal = 0;
  int signal_after_microseconds = 0;
  std::vector<std::string> environment{};  // NAME=VALUE pairs added to the child's
};

struct RunResult {
  int exit_status = -1;  // -1 when the child did not start or exit normally
  int end_signal = 0;    // the signal that ended the child, if one did
  bool timed_out = false;
  std::string standard_output;
  std::string standard_error;  // without a child: why it did not start
};

// Lets the unprivileged user of `as_unprivileged` make files in `folder`:
// as root the folder is given to that user (a folder that every user may
// write is refused by the program's rules of trust); otherwise the user
// running the tests owns it already.
void let_unprivileged_write(const std::filesystem::path& folder);

// Runs `program` with `options.arguments` in `working_directory`.
RunResult run_program(const std::filesystem::path& program,
                      const std::filesystem::path& working_directory,
                      const RunOptions& options = {});

}  // namespace kw::test

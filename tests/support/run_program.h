// Runs the built program as a child process, the way a user would.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kw::test {

struct RunOptions {
  int max_open_files = 0;  // RLIMIT_NOFILE for the child when > 0
  long max_file_size = 0;  // RLIMIT_FSIZE for the child when > 0 (SIGXFSZ as a shell leaves it)
  bool as_unprivileged = false;            // when running as root, run the child as "nobody"
  int timeout_seconds = 120;               // the child is killed after this long
  std::vector<std::string> arguments{};    // after the program's name
  std::filesystem::path standard_input{};  // the child's standard input; empty: none
};

struct RunResult {
  int exit_status = -1;  // -1 when the child did not start or exit normally
  bool timed_out = false;
  std::string standard_output;
  std::string standard_error;  // without a child: why it did not start
};

// Runs `program` with `options.arguments` in `working_directory`.
RunResult run_program(const std::filesystem::path& program,
                      const std::filesystem::path& working_directory,
                      const RunOptions& options = {});

}  // namespace kw::test

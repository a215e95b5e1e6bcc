#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/run_program.h"

namespace kw::test {

RunResult run_program(const std::filesystem::path& program,
                      const std::filesystem::path& working_directory, const RunOptions& options) {
  TempDir capture;
  const std::filesystem::path err_file = capture.path() / "stderr";
  const std::string out_path = (capture.path() / "stdout").string();
  std::vector<char*> argv;
  std::string program_name = program.string();
  argv.push_back(program_name.data());
  std::vector<std::string> arguments = options.arguments;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const std::string program_path = program.string();
  const std::string err_path = err_file.string();
  const std::string cwd = working_directory.string();
  const std::string in_path =
      options.standard_input.empty() ? std::string("/dev/null") : options.standard_input.string();

  const pid_t child = ::fork();
  if (child == 0) {
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = ::open(in_path.c_str(), O_RDONLY);
    if (err < 0 || out < 0 || null < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(127);
    ::dup2(null, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::close(err);
    ::close(out);
    ::close(null);
    if (options.as_unprivileged && ::geteuid() == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(126);
    }
    if (options.max_file_size > 0) {
      // Writes beyond the limit fail with EFBIG instead of killing the child.
      const rlimit limit{static_cast<rlim_t>(options.max_file_size),
                         static_cast<rlim_t>(options.max_file_size)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(125);
    }
    if (options.max_open_files > 0) {
      const rlimit limit{static_cast<rlim_t>(options.max_open_files),
                         static_cast<rlim_t>(options.max_open_files)};
      if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(125);
    }
    ::execv(program_path.c_str(), argv.data());
    ::_exit(124);
  }
  RunResult result;
  if (child < 0) return result;
  int status = 0;
  // Poll, so that a child that hangs is killed instead of hanging the test.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  for (;;) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (done < 0) return result;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      result.timed_out = true;
      return result;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  result.standard_error = read_file(err_file);
  result.standard_output = read_file(out_path);
  return result;
}

}  // namespace kw::test

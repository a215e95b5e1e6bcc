#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/run_program.h"

extern char** environ;

namespace kw::test {

namespace {

constexpr uid_t kNobody = 65534;

// In the child, before exec: its standard files, its folder, its user and
// its limits; exits with 125-127 when one cannot be had.
void prepare_child(const RunOptions& options, const std::string& cwd, const std::string& in_path,
                   const std::string& out_path, const std::string& err_path, int err_pipe) {
  const int err =
      err_pipe >= 0 ? err_pipe : ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int out =
      options.output_descriptor >= 0
          ? options.output_descriptor
          : ::open(out_path.c_str(),
                   O_WRONLY | O_CREAT | (options.append_output ? O_APPEND : O_TRUNC), 0644);
  const int in =
      options.input_descriptor >= 0 ? options.input_descriptor : ::open(in_path.c_str(), O_RDONLY);
  if (err < 0 || out < 0 || in < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(127);
  ::dup2(in, 0);
  ::dup2(out, 1);
  ::dup2(err, 2);
  // Nothing of the test's own: limits on descriptors count the child's.
  ::close_range(3, ~0U, 0);
  if (options.closed_standard_error) ::close(2);
  if (options.closed_standard_input) ::close(0);
  if (options.closed_standard_output) ::close(1);
  if (options.as_unprivileged && ::geteuid() == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(126);
  }
  if (options.max_file_size > 0 || options.no_file_growth) {
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
}

}  // namespace

void let_unprivileged_write(const std::filesystem::path& folder) {
  if (::geteuid() == 0 && ::chown(folder.c_str(), kNobody, kNobody) != 0) {
    throw std::runtime_error("cannot give " + folder.string() + " to nobody");
  }
}

RunResult run_program(const std::filesystem::path& program,
                      const std::filesystem::path& working_directory, const RunOptions& options) {
  TempDir capture;
  const std::filesystem::path err_file = capture.path() / "stderr";
  const std::filesystem::path out_file =
      options.standard_output.empty() ? capture.path() / "stdout" : options.standard_output;
  // Another user may not reach the build tree (root's home is 0700): that
  // user runs a copy of the program from a folder anybody may enter.
  std::filesystem::path runnable = program;
  if (options.as_unprivileged && ::geteuid() == 0) {
    runnable = capture.path() / program.filename();
    std::filesystem::copy_file(program, runnable);
    std::filesystem::permissions(capture.path(), std::filesystem::perms::owner_all |
                                                     std::filesystem::perms::group_exec |
                                                     std::filesystem::perms::others_exec);
  }
  std::vector<std::string> arguments = options.arguments;
  std::string program_name = program.string();
  std::vector<char*> argv{program_name.data()};
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = options.environment;
  std::vector<char*> envp;
  for (char** e = environ; *e != nullptr; ++e) envp.push_back(*e);
  for (std::string& pair : environment) envp.push_back(pair.data());
  envp.push_back(nullptr);
  const std::string program_path = runnable.string();
  const std::string in_path =
      options.standard_input.empty() ? std::string("/dev/null") : options.standard_input.string();

  // Under a file-size limit standard error comes through a pipe, drained
  // while the child runs.
  int err_pipe[2] = {-1, -1};
  const bool limited = options.max_file_size > 0 || options.no_file_growth;
  if (limited && ::pipe2(err_pipe, O_CLOEXEC) != 0) return {};
  std::string piped_error;
  const auto drain = [&err_pipe, &piped_error] {
    char buffer[4096];
    ssize_t n = 0;
    while (err_pipe[0] >= 0 && (n = ::read(err_pipe[0], buffer, sizeof buffer)) > 0) {
      piped_error.append(buffer, static_cast<std::size_t>(n));
    }
  };
  const pid_t child = ::fork();
  if (child == 0) {
    prepare_child(options, working_directory.string(), in_path, out_file.string(),
                  err_file.string(), err_pipe[1]);
    ::execve(program_path.c_str(), argv.data(), envp.data());
    ::_exit(124);
  }
  if (err_pipe[1] >= 0) {
    ::close(err_pipe[1]);
    ::fcntl(err_pipe[0], F_SETFL, O_NONBLOCK);
  }
  RunResult result;
  if (child < 0) return result;
  int status = 0;
  const auto started = std::chrono::steady_clock::now();
  bool signalled = options.signal == 0;
  // Poll, so that a child that hangs is killed instead of hanging the test.
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  for (;;) {
    drain();
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (!signalled && std::chrono::steady_clock::now() - started >=
                          std::chrono::microseconds(options.signal_after_microseconds)) {
      ::kill(child, options.signal);
      signalled = true;
      continue;  // at once: the run may be that short
    }
    if (done < 0) return result;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      if (err_pipe[0] >= 0) ::close(err_pipe[0]);
      result.timed_out = true;
      return result;
    }
    const auto now = std::chrono::steady_clock::now();
    auto pause = std::chrono::microseconds(2000);
    if (!signalled) {
      pause = std::min(
          pause, std::chrono::duration_cast<std::chrono::microseconds>(
                     started + std::chrono::microseconds(options.signal_after_microseconds) - now));
    }
    std::this_thread::sleep_for(pause);
  }
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.end_signal = WTERMSIG(status);
  if (err_pipe[0] >= 0) {
    ::fcntl(err_pipe[0], F_SETFL, 0);
    drain();
    ::close(err_pipe[0]);
    result.standard_error = piped_error;
  } else if (std::filesystem::exists(
                 err_file)) {  // not when a signal came before the child made it
    result.standard_error = read_file(err_file);
  }
  if (options.standard_output.empty() && options.output_descriptor < 0 &&
      std::filesystem::exists(out_file)) {
    result.standard_output = read_file(out_file);
  }
  return result;
}

}  // namespace kw::test

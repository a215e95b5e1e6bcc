// Runs a command and prints its wall-clock time in seconds, its peak
// resident memory in KiB and the processor time it used (user and system)
// in seconds, as "seconds kib cpu_seconds". The command's own output goes
// where this program's goes.
//
//   kw_timed_run DIR COMMAND [ARG...]     (runs COMMAND in DIR)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: kw_timed_run DIR COMMAND [ARG...]\n", stderr);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(argv[1]) != 0) ::_exit(127);
    ::execvp(argv[2], argv + 2);
    ::_exit(127);
  }
  if (child < 0) return 1;
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) return 1;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  std::printf("%.6f %ld %.6f\n", elapsed.count(), usage.ru_maxrss,
              seconds(usage.ru_utime) + seconds(usage.ru_stime));
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

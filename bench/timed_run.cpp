// Runs a command and prints its wall-clock time in seconds and its peak
// resident memory in KiB, as "seconds kib". The command's own output goes
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
  std::printf("%.6f %ld\n", elapsed.count(), usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

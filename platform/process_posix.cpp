// POSIX side of the process layer.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/process.h"

namespace kw::os {

static_assert(sizeof(sigset_t) <= sizeof(unsigned long long[16]), "room for the signal mask");

void prepare_process() {
  // The lowest free descriptor is what open gives: a closed 0, 1 or 2 is
  // taken by the null device, not by the run's files.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
      const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
      if (null >= 0 && null != fd) ::close(null);  // fd is open by now, or cannot be
    }
  }
  std::signal(SIGXFSZ, SIG_IGN);
}

HeldSignals::HeldSignals() {
  sigset_t held;
  sigset_t previous;
  sigemptyset(&held);
  for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ}) sigaddset(&held, s);
  ::pthread_sigmask(SIG_BLOCK, &held, &previous);
  std::memcpy(previous_, &previous, sizeof previous);
}

HeldSignals::~HeldSignals() {
  sigset_t previous;
  std::memcpy(&previous, previous_, sizeof previous);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void write_standard_error(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool write_standard_output(std::string_view text, std::string& why) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) {
    return true;
  }
  why = errno != 0 ? std::strerror(errno) : "write failed";
  return false;
}

int exit_status_for_error(int number) {
  return number & 0xFF;
}

}  // namespace kw::os

// POSIX side of the process layer.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/process.h"

namespace kw::os {

static_assert(sizeof(sigset_t) <= sizeof(unsigned long long[16]), "room for the signal mask");

namespace {

// Which of descriptors 0-2 the process was started without.
bool g_started_without[3] = {};

// The signals that end a run and that a record write waits for: the count
// of writes under way, and the signal that came during one (0: none).
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
std::atomic<int> g_writing{0};
std::atomic<int> g_noted{0};
static_assert(std::atomic<int>::is_always_lock_free, "used by a signal handler");

// Ends the process by `signal`'s default action. Safe in a handler.
[[noreturn]] void end_by(int signal) {
  ::signal(signal, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);  // not reached: the default action of these ends the process
}

// Noted first, then the writes asked: a write that begins after this sees
// the signal and does not start, one under way ends the process when done.
extern "C" void note_ending_signal(int signal) {
  g_noted.store(signal);
  if (g_writing.load() == 0) end_by(signal);
}

}  // namespace

void prepare_process() {
  // The lowest free descriptor is what open gives: a closed 0, 1 or 2 is
  // taken by the null device, not by the run's files; "-" does not name it.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
      g_started_without[fd] = true;
      const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
      if (null >= 0 && null != fd) ::close(null);  // fd is open by now, or cannot be
    }
  }
  std::signal(SIGXFSZ, SIG_IGN);
  for (const int s : kEndingSignals) {
    struct sigaction previous {};
    ::sigaction(s, nullptr, &previous);
    if (previous.sa_handler == SIG_IGN) continue;  // as the process was told (nohup)
    struct sigaction action {};
    action.sa_handler = note_ending_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a write waiting on a pipe stops waiting
    ::sigaction(s, &action, nullptr);
  }
}

bool started_without(Standard which) {
  return g_started_without[static_cast<int>(which)];
}

std::string started_without_reason(Standard which) {
  constexpr const char* kNames[] = {"standard input", "standard output", "standard error"};
  return std::string(kNames[static_cast<int>(which)]) + " was closed when the program started";
}

RecordWrite::RecordWrite() {
  g_writing.fetch_add(1);
  if (g_noted.load() != 0) {
    g_writing.fetch_sub(1);
    end_if_signalled();
  }
}

RecordWrite::~RecordWrite() {
  if (g_writing.fetch_sub(1) == 1) end_if_signalled();
}

bool ending_signal_noted() {
  return g_noted.load() != 0;
}

void end_if_signalled() {
  const int signal = g_noted.load();
  if (signal != 0) end_by(signal);
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
  if (started_without(Standard::output)) {
    why = started_without_reason(Standard::output);
    return false;
  }
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

// Preloaded into the program under test (LD_PRELOAD): the process stops
// itself (SIGSTOP) just before it makes its first new file (an open with
// O_TMPFILE, or with O_CREAT and O_EXCL), once it has found and read the
// file it replaces. A test then changes the files around it at that
// moment, as another program could, and lets it go on (SIGCONT): a race
// taken at its worst point every time.
#include <dlfcn.h>
#include <fcntl.h>

#include <atomic>
#include <csignal>
#include <cstdarg>

namespace {

std::atomic<bool> stopped{false};

template <const char* Name>
int open_stopping_once(int folder, const char* path, int flags, mode_t mode) {
  const bool makes =
      (flags & O_TMPFILE) == O_TMPFILE || (flags & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL);
  if (makes && !stopped.exchange(true)) ::raise(SIGSTOP);
  using Openat = int (*)(int, const char*, int, ...);
  static const auto next = reinterpret_cast<Openat>(::dlsym(RTLD_NEXT, Name));
  return next(folder, path, flags, mode);
}

bool takes_a_mode(int flags) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

constexpr char kOpenat[] = "openat";
constexpr char kOpenat64[] = "openat64";

}  // namespace

// Both names: a program built for large files calls openat64. (The names
// of the parameters are not the C library's reserved ones.)
// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" int openat(int folder, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (takes_a_mode(flags)) {
    va_list rest;
    va_start(rest, flags);
    mode = va_arg(rest, mode_t);
    va_end(rest);
  }
  return open_stopping_once<kOpenat>(folder, path, flags, mode);
}

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
extern "C" int openat64(int folder, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (takes_a_mode(flags)) {
    va_list rest;
    va_start(rest, flags);
    mode = va_arg(rest, mode_t);
    va_end(rest);
  }
  return open_stopping_once<kOpenat64>(folder, path, flags, mode);
}

// Preloaded into the program under test (LD_PRELOAD), makes every open of
// an unnamed file (O_TMPFILE) fail as it does on file systems that have
// none (NFS, CIFS, vfat, many FUSE ones): the program then makes its new
// files with names of their own.
#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>

namespace {

template <const char* Name>
int open_without_unnamed_files(int folder, const char* path, int flags, mode_t mode) {
  if ((flags & O_TMPFILE) == O_TMPFILE) {
    errno = EOPNOTSUPP;
    return -1;
  }
  using Openat = int (*)(int, const char*, int, ...);
  static const auto next = reinterpret_cast<Openat>(::dlsym(RTLD_NEXT, Name));
  return next(folder, path, flags, mode);
}

mode_t mode_of(int flags, va_list rest) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(rest, mode_t) : 0;
}

constexpr char kOpenat[] = "openat";
constexpr char kOpenat64[] = "openat64";

}  // namespace

// Both names: a program built for large files calls openat64.
extern "C" int openat(int folder, const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  const mode_t mode = mode_of(flags, rest);
  va_end(rest);
  return open_without_unnamed_files<kOpenat>(folder, path, flags, mode);
}

extern "C" int openat64(int folder, const char* path, int flags, ...) {
  va_list rest;
  va_start(rest, flags);
  const mode_t mode = mode_of(flags, rest);
  va_end(rest);
  return open_without_unnamed_files<kOpenat64>(folder, path, flags, mode);
}

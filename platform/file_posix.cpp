// POSIX side of the operating-system file layer.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

#include "platform/file.h"
#include "platform/place_posix.h"
#include "platform/process.h"

namespace kw::os {
namespace {

// Opens the entry `place` found, in its held folder, never through a link.
int open_at(const Place& place, int flags) {
  int fd = -1;
  do {
    fd = ::openat(place.folder.get(), place.name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                  0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

void set_blocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

// Waits until `fd` is ready for `events`: a descriptor the process was
// handed in non-blocking mode is used as a blocking one.
void wait_for(int fd, short events) {
  pollfd wanted{fd, events, 0};
  while (::poll(&wanted, 1, -1) < 0 && errno == EINTR) {
  }
}

// A name whose entry changes under every attempt to open it is refused.
constexpr int kAttempts = 8;

int fd_of(std::intptr_t handle) {
  return static_cast<int>(handle);
}

// Opens the entry `place` found for reading and writing, or for reading
// only where the system lets the process read it but not write it (the
// run may only need to read it). Without blocking: a FIFO without a
// writer would otherwise wait forever; one written to must have a reader,
// or what is written would be lost. A file that was not there is made
// here, never one put there since.
int open_to_use(const Place& place, bool fifo_output, bool& writable) {
  const int make = place.exists ? 0 : O_CREAT | O_EXCL;
  int fd = open_at(place, (fifo_output ? O_WRONLY : O_RDWR | make) | O_NONBLOCK);
  writable = true;
  if (fd < 0 && !fifo_output &&
      (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)) {
    const int write_error = errno;
    fd = open_at(place, O_RDONLY | O_NONBLOCK);
    writable = false;
    if (fd < 0) errno = write_error;
  }
  return fd;
}

// The outcome of one attempt to open the entry `place` found: an open
// descriptor, a failure (error set), or -1 with error none when the entry
// changed in between and the name is to be resolved again.
int open_found(const Place& place, Use use, bool& writable, OpenError& error, std::string& why) {
  if (place.exists && S_ISDIR(place.entry.st_mode)) {
    error = OpenError::access_denied;
    why = "a folder, not a file";
    return -1;
  }
  const bool fifo_output = use == Use::output && place.exists && S_ISFIFO(place.entry.st_mode);
  const int fd = open_to_use(place, fifo_output, writable);
  if (fd < 0) {
    if (errno == ELOOP || errno == EEXIST) return -1;  // an entry put there since: resolve again
    error = errno == ENXIO && fifo_output ? OpenError::no_reader : open_error_of(errno);
    why = errno == ENXIO && fifo_output ? "a FIFO that no program reads" : system_reason();
    return -1;
  }
  struct stat info {};
  // A hard link added since the entry was judged: judged again.
  const bool changed = ::fstat(fd, &info) != 0 || (place.exists && !same_entry(fd, place)) ||
                       (!fifo_output && use == Use::output && S_ISFIFO(info.st_mode)) ||
                       (place.exists && info.st_nlink > place.entry.st_nlink);
  if (changed) {
    ::close(fd);
    return -1;
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    error = OpenError::access_denied;
    why = "a folder, not a file";
    return -1;
  }
  set_blocking(fd);
  return fd;
}

}  // namespace

// "..\..\KW_PVZ.DAT" names ../../KW_PVZ.DAT here: the backslash is the
// program's separator, the slash the system's.
std::string_view system_leap_list() {
  return "/usr/share/zoneinfo/leap-seconds.list";  // the time-zone data's
}

std::string native_name(std::string_view name) {
  std::string path(name);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

File File::open(std::string_view name, Use use, OpenError& error, std::string& why) {
  const std::string path = native_name(name);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    Place place;
    error = locate(path, use, place, why);
    if (error != OpenError::none) return {};
    // An input that a link names but that is not there is not made.
    if (!place.exists && place.through_link && use == Use::input) return {};
    bool writable = false;
    const int fd = open_found(place, use, writable, error, why);
    if (fd >= 0) return {fd, writable};
    if (error != OpenError::none) return {};
  }
  error = OpenError::access_denied;
  why = "its entry changed at every attempt to open it";
  return {};
}

File File::open_to_read(std::string_view name, OpenError& error, std::string& why) {
  const std::string path = native_name(name);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    Place place;
    error = locate(path, Use::input, place, why);
    if (error != OpenError::none) return {};
    if (!place.exists) {
      error = OpenError::path_not_found;
      why = "no such file";
      return {};
    }
    if (S_ISDIR(place.entry.st_mode)) {
      error = OpenError::access_denied;
      why = "a folder, not a file";
      return {};
    }
    // Without O_NONBLOCK: a FIFO opened before its writer would read as
    // empty at once.
    const int fd = open_at(place, O_RDONLY);
    if (fd < 0 && errno != ELOOP) {
      error = open_error_of(errno);
      why = system_reason();
      return {};
    }
    if (fd >= 0 && same_entry(fd, place)) return {fd, false};
    if (fd >= 0) ::close(fd);
  }
  error = OpenError::access_denied;
  why = "its entry changed at every attempt to open it";
  return {};
}

namespace {
Identity identity_of_stat(const struct stat& info) {
  if (!S_ISREG(info.st_mode)) return {};
  return {.device = static_cast<std::uint64_t>(info.st_dev),
          .number = static_cast<std::uint64_t>(info.st_ino),
          .known = true};
}
}  // namespace

Identity identity_of(std::string_view name) {
  Place place;
  std::string why;
  if (locate(native_name(name), Use::input, place, why) != OpenError::none || !place.exists) {
    return {};
  }
  Identity identity = identity_of_stat(place.entry);
  identity.found = true;
  return identity;
}

Identity File::identity() const {
  struct stat info {};
  if (!is_open() || ::fstat(fd_of(handle_), &info) != 0) return {};
  return identity_of_stat(info);
}

namespace {
int copy_of(int fd, OpenError& error, std::string& why) {
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  error = copy >= 0 ? OpenError::none : open_error_of(errno);
  if (copy < 0) why = system_reason();
  return copy;
}

// The standard file `which`, unless the process was started without it.
int standard_copy(Standard which, OpenError& error, std::string& why) {
  if (started_without(which)) {
    error = OpenError::access_denied;
    why = started_without_reason(which);
    return -1;
  }
  return copy_of(static_cast<int>(which), error, why);
}
}  // namespace

File File::standard_input(OpenError& error, std::string& why) {
  return {standard_copy(Standard::input, error, why), false};
}

File File::standard_output(OpenError& error, std::string& why) {
  const int fd = standard_copy(Standard::output, error, why);
  return {fd, fd >= 0};
}

void File::record_error() {
  error_text_ = std::strerror(errno);
}

std::ptrdiff_t File::read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd_of(handle_), buffer, size);
    if (n >= 0) return n;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      wait_for(fd_of(handle_), POLLIN);
    } else if (errno != EINTR) {
      record_error();
      return -1;
    }
  }
}

namespace {

// How long finish() waits for a stream, and how often a write waiting on
// one looks for a signal that came to another thread.
constexpr int kFinishMilliseconds = 500;
constexpr int kSignalLookMilliseconds = 50;

// When a write to a stream stops waiting.
enum class Until { signal, deadline };

// How much a write to the pipe `fd` that poll() found writable may hand
// it without waiting inside the system: PIPE_BUF, or where the system
// tells the pipe's capacity and what it holds, the room left less two
// pages (the one the reader is reading and the one last written may each
// be part full), in whole pages.
std::size_t pipe_room(int fd) {
#if defined(F_GETPIPE_SZ) && defined(FIONREAD)
  const long page = ::sysconf(_SC_PAGESIZE);
  const int capacity = ::fcntl(fd, F_GETPIPE_SZ);
  int unread = 0;
  if (page > 0 && capacity > 0 && ::ioctl(fd, FIONREAD, &unread) == 0 && unread >= 0) {
    const long room = (capacity - unread) / page * page - 2 * page;
    if (room > static_cast<long>(PIPE_BUF)) return static_cast<std::size_t>(room);
  }
#endif
  return PIPE_BUF;
}

// Writes `data` to the stream `fd` (a pipe, a socket, a device): it waits
// only in poll(), so that a signal that ends the process (or, with
// `until` deadline, the time) stops it. A pipe is handed only what it has
// room for: a blocking write of more would wait inside the system.
bool write_stream(int fd, bool pipe, std::string_view data, std::size_t& written, Until until) {
  int waited = 0;  // milliseconds, for `until` deadline
  while (!data.empty()) {
    if (until == Until::signal && ending_signal_noted()) {
      errno = EINTR;
      return false;
    }
    pollfd wanted{fd, POLLOUT, 0};
    const int ready = ::poll(&wanted, 1, kSignalLookMilliseconds);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) {
      waited += kSignalLookMilliseconds;
      if (until == Until::deadline && waited >= kFinishMilliseconds) {
        errno = EAGAIN;
        return false;
      }
      continue;
    }
    const std::size_t piece = pipe ? std::min(data.size(), pipe_room(fd)) : data.size();
    const ssize_t n = ::write(fd, data.data(), piece);
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
    written += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool File::write(std::string_view data, std::size_t& written) {
  written = 0;
  struct stat info {};
  if (::fstat(fd_of(handle_), &info) == 0 && !S_ISREG(info.st_mode)) {
    const bool pipe = S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode);
    if (write_stream(fd_of(handle_), pipe, data, written, Until::signal)) return true;
    if (errno == EINTR) {
      error_text_ = "ended by a signal";
    } else {
      record_error();
    }
    return false;
  }
  while (!data.empty()) {
    const ssize_t n = ::write(fd_of(handle_), data.data(), data.size());
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        wait_for(fd_of(handle_), POLLOUT);
        continue;
      }
      if (errno == EINTR) continue;
      record_error();
      return false;
    }
    if (n == 0) {
      errno = EIO;
      record_error();
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
    written += static_cast<std::size_t>(n);
  }
  return true;
}

bool File::finish(std::string_view data, std::size_t& written) {
  written = 0;
  struct stat info {};
  if (::fstat(fd_of(handle_), &info) == 0 && !S_ISREG(info.st_mode)) {
    const bool pipe = S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode);
    if (write_stream(fd_of(handle_), pipe, data, written, Until::deadline)) return true;
    record_error();
    return false;
  }
  return write(data, written);
}

std::uint64_t File::size() const {
  struct stat info {};
  if (::fstat(fd_of(handle_), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

bool File::write_offset(std::uint64_t& offset, bool& appends) const {
  struct stat info {};
  const int flags = ::fcntl(fd_of(handle_), F_GETFL);
  if (::fstat(fd_of(handle_), &info) != 0 || !S_ISREG(info.st_mode) || flags < 0) return false;
  appends = (flags & O_APPEND) != 0;
  const off_t here = appends ? info.st_size : ::lseek(fd_of(handle_), 0, SEEK_CUR);
  if (here < 0) return false;
  offset = static_cast<std::uint64_t>(here);
  return true;
}

namespace {
// Whether `fd` is a regular file, the only kind that can be cut; false
// with errno set when the system cannot say.
bool is_regular(int fd, bool& regular) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  regular = S_ISREG(info.st_mode);
  return true;
}
}  // namespace

bool File::cut_here() {
  bool regular = false;
  if (!is_regular(fd_of(handle_), regular)) {
    record_error();
    return false;
  }
  if (!regular) return true;
  const off_t here = ::lseek(fd_of(handle_), 0, SEEK_CUR);
  if (here < 0 || ::ftruncate(fd_of(handle_), here) != 0) {
    record_error();
    return false;
  }
  return true;
}

bool File::cut_at(std::uint64_t size) {
  bool regular = false;
  if (!is_regular(fd_of(handle_), regular)) {
    record_error();
    return false;
  }
  if (!regular) return true;
  const auto offset = static_cast<off_t>(size);
  if (::ftruncate(fd_of(handle_), offset) != 0 || ::lseek(fd_of(handle_), offset, SEEK_SET) < 0) {
    record_error();
    return false;
  }
  return true;
}

bool File::close() {
  if (handle_ == kNoHandle) return true;
  const int fd = fd_of(handle_);
  handle_ = kNoHandle;
  if (::close(fd) != 0 && errno != EINTR) {
    record_error();
    return false;
  }
  return true;
}

}  // namespace kw::os

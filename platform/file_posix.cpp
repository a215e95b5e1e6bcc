// POSIX side of the operating-system file layer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/file.h"

namespace kw::os {
namespace {

// "..\..\KW_PVZ.DAT" names ../../KW_PVZ.DAT here: the backslash is the
// program's separator, the slash the system's.
std::string system_path(std::string_view name) {
  std::string path(name);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

OpenError classify(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return OpenError::path_not_found;
    case EMFILE:
    case ENFILE:
      return OpenError::too_many_files;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
    case ELOOP:
      return OpenError::invalid_name;
    default:
      return OpenError::access_denied;
  }
}

// Opens without blocking (a FIFO without a writer would otherwise wait
// forever), then turns blocking back on for the reads and writes.
int open_flags(const std::string& path, int flags) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    int status = ::fcntl(fd, F_GETFL);
    if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  }
  return fd;
}

// The descriptor held in a File's handle.
int fd_of(std::intptr_t handle) {
  return static_cast<int>(handle);
}

}  // namespace

File File::open(std::string_view name, OpenError& error) {
  const std::string path = system_path(name);
  File file;
  int fd = open_flags(path, O_RDWR | O_CREAT);
  bool writable = true;
  if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)) {
    // Readable but not writable: the run may only need to read it.
    const int write_error = errno;
    fd = open_flags(path, O_RDONLY);
    writable = false;
    if (fd < 0) errno = write_error;
  }
  file.adopt(fd, writable, error);
  return file;
}

File File::open_to_read(std::string_view name, OpenError& error) {
  // Without O_NONBLOCK: a FIFO opened before its writer would read as
  // empty at once.
  const std::string path = system_path(name);
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  File file;
  file.adopt(fd, false, error);
  return file;
}

void File::adopt(Handle handle, bool writable, OpenError& error) {
  const int fd = fd_of(handle);
  if (fd < 0) {
    error = classify(errno);
    return;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    // A directory opened for reading is no file of records.
    ::close(fd);
    error = OpenError::access_denied;
    return;
  }
  handle_ = handle;
  writable_ = writable;
  error = OpenError::none;
}

File File::standard_input() {
  File file;
  const int fd = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
  if (fd >= 0) file.handle_ = static_cast<Handle>(fd);
  return file;
}

File File::standard_output() {
  File file;
  const int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
  if (fd >= 0) {
    file.handle_ = static_cast<Handle>(fd);
    file.writable_ = true;
  }
  return file;
}

bool File::sync() {
  if (::fsync(fd_of(handle_)) == 0 || errno == EINVAL || errno == EROFS)
    return true;  // pipes, devices
  record_error();
  return false;
}

void File::record_error() {
  error_text_ = std::strerror(errno);
}

std::ptrdiff_t File::read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(fd_of(handle_), buffer, size);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    record_error();
    return -1;
  }
}

bool File::write(std::string_view data, std::size_t& written) {
  written = 0;
  while (!data.empty()) {
    const ssize_t n = ::write(fd_of(handle_), data.data(), data.size());
    if (n < 0) {
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

std::uint64_t File::size() const {
  struct stat info {};
  if (::fstat(fd_of(handle_), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

bool File::cut_here() {
  struct stat info {};
  if (::fstat(fd_of(handle_), &info) != 0) {
    record_error();
    return false;
  }
  if (!S_ISREG(info.st_mode)) return true;
  const off_t here = ::lseek(fd_of(handle_), 0, SEEK_CUR);
  if (here < 0 || ::ftruncate(fd_of(handle_), here) != 0) {
    record_error();
    return false;
  }
  return true;
}

bool File::cut_at(std::uint64_t size) {
  struct stat info {};
  if (::fstat(fd_of(handle_), &info) != 0) {
    record_error();
    return false;
  }
  if (!S_ISREG(info.st_mode)) return true;
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

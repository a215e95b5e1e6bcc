// POSIX side of whole-file reading and replacing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>

#include "platform/whole_file.h"

namespace kw::os {
namespace {

std::string reason() {
  return std::strerror(errno);
}

// Reads `fd` to its end, at most limit + 1 bytes.
ReadWhole read_all(int fd, std::size_t limit, std::string& content, std::string& why) {
  content.clear();
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = reason();
      return ReadWhole::failed;
    }
    if (n == 0) return ReadWhole::ok;
    content.append(buffer, static_cast<std::size_t>(n));
    if (content.size() > limit) {
      why = "larger than " + std::to_string(limit) + " bytes";
      return ReadWhole::too_large;
    }
  }
}

// Closes a descriptor when it goes.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now; false (errno set) when the system reports a failure.
  bool close() {
    if (fd_ < 0) return true;
    return ::close(std::exchange(fd_, -1)) == 0 || errno == EINTR;
  }

 private:
  int fd_;
};

// Holds back the signals that end a process by default (a user's ^C, a
// hang-up, a terminate) until the object goes; one pending is then taken.
class HeldSignals {
 public:
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGXFSZ}) sigaddset(&held, s);
    ::sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;
  ~HeldSignals() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_{};
};

// The file a path leads to: the path itself, or where its links end.
bool final_target(const std::string& path, Links links, std::string& target, std::string& why) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
    target = path;
    return true;
  }
  if (links == Links::refuse) {
    why = "a symbolic link, which is not written through";
    return false;
  }
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    why = "a symbolic link that leads to no file (" + reason() + ")";
    return false;
  }
  target = resolved;
  std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc): realpath's allocation
  return true;
}

std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a new file beside `target`, exclusively, never through a link.
int make_beside(const std::string& target, mode_t mode, std::string& made) {
  static unsigned counter = 0;
  const auto seed = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ULL ^
                    static_cast<std::uint64_t>(std::time(nullptr));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::uint64_t tag = seed + 0x2545F4914F6CDD1DULL * ++counter;
    made = target + "." + std::to_string(tag % 1000000000000ULL) + ".tmp";
    const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void flush_folder(const std::string& folder) {
  const Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());  // some file systems cannot: nothing to do then
}

}  // namespace

ReadWhole read_whole_file(std::string_view path, std::size_t limit, std::string& content,
                          std::string& why) {
  if (path == "-") return read_all(STDIN_FILENO, limit, content, why);
  const std::string name(path);
  // Without blocking: a FIFO without a writer would otherwise wait forever.
  Descriptor fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    why = reason();
    return errno == ENOENT ? ReadWhole::missing : ReadWhole::failed;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    why = reason();
    return ReadWhole::failed;
  }
  if (!S_ISREG(info.st_mode)) {
    why = S_ISDIR(info.st_mode) ? "a directory, not a file" : "not a regular file";
    return ReadWhole::not_regular;
  }
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  return read_all(fd.get(), limit, content, why);
}

bool replace_file(std::string_view path, std::string_view content, Links links, std::string& why) {
  std::string target;
  if (!final_target(std::string(path), links, target, why)) return false;
  struct stat old {};
  const bool has_old = ::lstat(target.c_str(), &old) == 0;
  if (has_old && !S_ISREG(old.st_mode)) {
    why = "not a regular file";
    return false;
  }
  const mode_t mode = has_old ? (old.st_mode & 07777) : 0666;  // umask applies to a new one

  const HeldSignals held;
  std::string made;
  Descriptor fd(make_beside(target, has_old ? 0600 : mode, made));
  if (fd.get() < 0) {
    why = "cannot make a new file beside it: " + reason();
    return false;
  }
  const auto fail = [&](const char* step) {
    why = std::string(step) + ": " + reason();
    fd.close();
    ::unlink(made.c_str());
    return false;
  };
  if (has_old) {
    // The owner stays where the caller may give it (as root); the
    // permissions always.
    if (::geteuid() == 0 && ::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
      return fail("cannot give the new file its owner");
    }
    if (::fchmod(fd.get(), mode) != 0) return fail("cannot give the new file its permissions");
  }
  if (!write_all(fd.get(), content)) return fail("cannot write the new file");
  if (::fsync(fd.get()) != 0) return fail("cannot flush the new file to disk");
  if (!fd.close()) return fail("cannot close the new file");
  if (::rename(made.c_str(), target.c_str()) != 0) return fail("cannot rename the new file");
  flush_folder(folder_of(target));
  return true;
}

}  // namespace kw::os

// POSIX side of whole-file reading and replacing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// The process's file-mode mask, read without changing it for long.
mode_t current_umask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
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

// A name beside `target` that no file has yet, for the new file: made
// exclusively by `make(name)`, which returns false with errno EEXIST when
// the name is taken.
template <class Make>
bool name_beside(const std::string& target, std::string& made, const Make& make) {
  static unsigned counter = 0;
  const auto seed = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ULL ^
                    static_cast<std::uint64_t>(std::time(nullptr));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::uint64_t tag = seed + 0x2545F4914F6CDD1DULL * ++counter;
    made = target + "." + std::to_string(tag % 1000000000000ULL) + ".tmp";
    if (make(made)) return true;
    if (errno != EEXIST) return false;
  }
  return false;
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
  const HeldSignals held;
  Replacement replacement;
  std::size_t written = 0;
  if (!replacement.begin(path, links, why)) return false;
  if (!replacement.file().write(content, written)) {
    why = "cannot write the new file: " + replacement.file().error_text();
    return false;
  }
  return replacement.commit(why);
}

bool Replacement::begin(std::string_view path, Links links, std::string& why) {
  if (!final_target(std::string(path), links, target_, why)) return false;
  struct stat old {};
  const bool has_old = ::lstat(target_.c_str(), &old) == 0;
  if (has_old && !S_ISREG(old.st_mode)) {
    why = "not a regular file";
    return false;
  }
  // The old file's permissions, and its owner where the caller may give
  // it (as root); a new file gets the usual ones (the umask applies).
  mode_ = has_old ? (old.st_mode & 07777) : 0666 & ~current_umask();
  keep_owner_ = has_old && ::geteuid() == 0;
  owner_ = old.st_uid;
  group_ = old.st_gid;
  int fd = -1;
#ifdef O_TMPFILE
  fd = ::open(folder_of(target_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
#endif
  if (fd < 0) {  // no unnamed files here: one with a name of its own
    name_beside(target_, made_, [&fd](const std::string& name) {
      fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      return fd >= 0;
    });
  }
  if (fd < 0) {
    why = "cannot make a new file beside it: " + reason();
    made_.clear();
    return false;
  }
  file_.handle_ = fd;
  file_.writable_ = true;
  return true;
}

bool Replacement::commit(std::string& why) {
  const HeldSignals held;
  const int fd = static_cast<int>(file_.handle_);
  const auto fail = [&](const char* step) {
    why = std::string(step) + ": " + reason();
    discard();
    return false;
  };
  if (keep_owner_ && ::fchown(fd, owner_, group_) != 0) {
    return fail("cannot give the new file its owner");
  }
  if (::fchmod(fd, static_cast<mode_t>(mode_)) != 0) {
    return fail("cannot give the new file its permissions");
  }
  if (::fsync(fd) != 0) return fail("cannot flush the new file to disk");
  if (made_.empty()) {
    // Named now, through the process's view of its descriptor.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (!name_beside(target_, made_, [&self, fd](const std::string& name) {
          if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return true;
          }
#ifdef AT_EMPTY_PATH
          // Without /proc: the descriptor itself (a privilege on Linux).
          if (errno == ENOENT) return ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
#endif
          return false;
        })) {
      made_.clear();
      return fail("cannot give the new file a name");
    }
  }
  if (!file_.close()) return fail("cannot close the new file");
  if (::rename(made_.c_str(), target_.c_str()) != 0) return fail("cannot rename the new file");
  committed_ = true;
  flush_folder(folder_of(target_));
  return true;
}

void Replacement::discard() {
  file_.close();
  if (!made_.empty()) ::unlink(made_.c_str());
  made_.clear();
}

Replacement::~Replacement() {
  if (!committed_) discard();
}

}  // namespace kw::os

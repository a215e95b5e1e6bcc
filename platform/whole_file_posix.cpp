// POSIX side of whole-file reading and replacing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>
#include <utility>

#include "platform/place_posix.h"
#include "platform/process.h"
#include "platform/whole_file.h"

namespace kw::os {
namespace {

// The process's file-mode mask, read without changing it for long.
mode_t current_umask() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// Reads `fd` from `offset` (or from where it stands, for -1) to its end,
// at most limit + 1 bytes.
ReadWhole read_all(int fd, off_t offset, std::size_t limit, std::string& content,
                   std::string& why) {
  content.clear();
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n =
        offset < 0 ? ::read(fd, buffer, sizeof buffer) : ::pread(fd, buffer, sizeof buffer, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = system_reason();
      return ReadWhole::failed;
    }
    if (n == 0) return ReadWhole::ok;
    if (offset >= 0) offset += n;
    content.append(buffer, static_cast<std::size_t>(n));
    if (content.size() > limit) {
      why = "larger than " + std::to_string(limit) + " bytes";
      return ReadWhole::too_large;
    }
  }
}

ReadWhole not_regular(const struct stat& info, std::string& why) {
  why = S_ISDIR(info.st_mode) ? "a directory, not a file" : "not a regular file";
  return ReadWhole::not_regular;
}

// The one new file with a name on disk, removed by a signal that ends the
// process before the signal takes its course. Set and cleared with those
// signals held; read only by the handler.
volatile std::sig_atomic_t g_armed = 0;
int g_folder = AT_FDCWD;
char g_name[256];

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction g_previous[std::size(kEndingSignals)];

extern "C" void remove_new_file_and_end(int signal) {
  if (g_armed != 0) ::unlinkat(g_folder, g_name, 0);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Called with the signals held.
void arm(int folder, const std::string& name) {
  g_folder = folder;
  std::memcpy(g_name, name.c_str(), name.size() + 1);
  g_armed = 1;
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    struct sigaction action {};
    action.sa_handler = remove_new_file_and_end;
    sigemptyset(&action.sa_mask);
    ::sigaction(kEndingSignals[i], nullptr, &g_previous[i]);
    // A signal the process was told to ignore stays ignored.
    if (g_previous[i].sa_handler != SIG_IGN) ::sigaction(kEndingSignals[i], &action, nullptr);
  }
}

void disarm() {
  if (g_armed == 0) return;
  const HeldSignals held;
  g_armed = 0;
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    ::sigaction(kEndingSignals[i], &g_previous[i], nullptr);
  }
}

// A short name of its own for the new file, beside the target `name`:
// "NAME.<12 digits>.tmp", NAME cut to 64 bytes so that any legal name has
// one.
std::string name_beside(const std::string& name) {
  static unsigned counter = 0;
  const auto seed = static_cast<std::uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ULL ^
                    static_cast<std::uint64_t>(std::time(nullptr));
  const std::uint64_t tag = seed + 0x2545F4914F6CDD1DULL * ++counter;
  return name.substr(0, 64) + "." + std::to_string(tag % 1000000000000ULL) + ".tmp";
}

// Gives the unnamed file `fd` a name beside `target` in `folder`, in
// `made`: false, with errno, when it cannot.
bool link_beside(int fd, int folder, const std::string& target, std::string& made) {
  // Through the process's view of its descriptor.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = name_beside(target);
    bool linked = ::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
#ifdef AT_EMPTY_PATH
    // Without /proc: the descriptor itself (a privilege on Linux).
    linked =
        linked || (errno == ENOENT && ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0);
#endif
    if (linked) {
      made = name;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// Gives the new file `fd` the permissions of the old file `old` (and its
// owner, where the process may: as root), or the usual ones for a first
// file, and flushes it: the step that failed, or nullptr.
const char* settle_new_file(int fd, const struct stat* old) {
  if (old != nullptr && ::geteuid() == 0 && ::fchown(fd, old->st_uid, old->st_gid) != 0) {
    return "cannot give the new file its owner";
  }
  const mode_t mode = old != nullptr ? old->st_mode & 07777 : 0666 & ~current_umask();
  if (::fchmod(fd, mode) != 0) return "cannot give the new file its permissions";
  if (::fsync(fd) != 0) return "cannot flush the new file to disk";
  return nullptr;
}

// Standard input, read whole: refused when the process was started
// without it (the null device in its place is not what "-" names).
ReadWhole read_standard_input(std::size_t limit, std::string& content, std::string& why) {
  if (started_without(Standard::input)) {
    why = started_without_reason(Standard::input);
    return ReadWhole::failed;
  }
  return read_all(STDIN_FILENO, -1, limit, content, why);
}

}  // namespace

struct Replacement::State {
  Place place;
  Links links = Links::follow;
  Descriptor old;            // the file replaced, when there is one
  bool old_regular = false;  // it is a regular file (the only kind replaced)
  std::string made;          // the new file's name in the folder, empty while it has none
  File file;                 // the new file
  bool committed = false;
  bool changed = false;
};

ReadWhole read_whole_file(std::string_view path, std::size_t limit, std::string& content,
                          std::string& why) {
  if (path == "-") return read_standard_input(limit, content, why);
  Place place;
  if (const OpenError error = locate(path, Use::input, place, why); error != OpenError::none) {
    return error == OpenError::path_not_found ? ReadWhole::missing : ReadWhole::failed;
  }
  if (!place.exists) {
    why = "no such file";
    return ReadWhole::missing;
  }
  if (!S_ISREG(place.entry.st_mode)) return not_regular(place.entry, why);
  const Descriptor fd(::openat(place.folder.get(), place.name.c_str(),
                               O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) {
    why = system_reason();
    return ReadWhole::failed;
  }
  if (!same_entry(fd.get(), place)) {
    why = "it changed while it was opened";
    return ReadWhole::failed;
  }
  return read_all(fd.get(), 0, limit, content, why);
}

Replacement::Replacement() : state_(std::make_unique<State>()) {}

Replacement::~Replacement() {
  if (!state_->committed) discard();
}

bool Replacement::found() const {
  return state_->place.exists;
}

bool Replacement::through_link() const {
  return state_->place.through_link;
}

bool Replacement::changed() const {
  return state_->changed;
}

File& Replacement::file() {
  return state_->file;
}

OpenError Replacement::begin(std::string_view path, Links links, std::string& why) {
  State& s = *state_;
  s.links = links;
  if (const OpenError error = locate(path, Use::output, s.place, why); error != OpenError::none)
    return error;
  if (s.place.through_link && links == Links::refuse) {
    why = "a symbolic link, which is not written through";
    return OpenError::access_denied;
  }
  if (s.place.exists && S_ISDIR(s.place.entry.st_mode)) {
    why = "a directory, not a file";
    return OpenError::access_denied;
  }
  s.old_regular = s.place.exists && S_ISREG(s.place.entry.st_mode);
  if (!s.old_regular) return OpenError::none;
  s.old = Descriptor(::openat(s.place.folder.get(), s.place.name.c_str(),
                              O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  // Replaced by a link or another file since it was found: changed(), as
  // when it is replaced before the rename.
  s.changed =
      (!s.old.valid() && errno == ELOOP) || (s.old.valid() && !same_entry(s.old.get(), s.place));
  if (s.changed) {
    why = "it changed while it was opened";
    return OpenError::access_denied;
  }
  if (!s.old.valid()) {
    why = system_reason();
    return open_error_of(errno);
  }
  return OpenError::none;
}

ReadWhole Replacement::read_old(std::size_t limit, std::string& content, std::string& why) const {
  const State& s = *state_;
  content.clear();
  if (!s.place.exists) return ReadWhole::missing;
  if (!s.old_regular) return not_regular(s.place.entry, why);
  return read_all(s.old.get(), 0, limit, content, why);
}

OpenError Replacement::create(std::string& why) {
  State& s = *state_;
  if (s.place.exists && !s.old_regular) {
    why = "not a regular file";
    return OpenError::access_denied;
  }
  const int folder = s.place.folder.get();
  int fd = -1;
#ifdef O_TMPFILE
  fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
#endif
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    // No unnamed files here: one with a name of its own, which a signal
    // that ends the process removes.
    const HeldSignals held;
    s.made = name_beside(s.place.name);
    fd = ::openat(folder, s.made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  0600);
    if (fd >= 0) {
      arm(folder, s.made);
    } else {
      s.made.clear();
      if (errno != EEXIST) break;
    }
  }
  if (fd < 0) {
    why = "cannot make a new file beside it: " + system_reason();
    return open_error_of(errno);
  }
  s.file = File(fd, true);
  return OpenError::none;
}

bool Replacement::commit(std::string& why) {
  State& s = *state_;
  const HeldSignals held;
  const int fd = static_cast<int>(s.file.handle_);
  const int folder = s.place.folder.get();
  const auto fail = [&](const char* step) {
    why = std::string(step) + ": " + system_reason();
    discard();
    return false;
  };
  // The old file's permissions and owner, from the file held.
  struct stat old {};
  if (s.old_regular && ::fstat(s.old.get(), &old) != 0) return fail("cannot read the old file");
  if (const char* step = settle_new_file(fd, s.old_regular ? &old : nullptr)) return fail(step);
  if (s.made.empty() && !link_beside(fd, folder, s.place.name, s.made)) {
    return fail("cannot give the new file a name");
  }
  if (!s.file.close()) return fail("cannot close the new file");
  // The entry replaced must be the file held, or still none.
  struct stat now {};
  const bool present = ::fstatat(folder, s.place.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
  if (!present && errno != ENOENT) return fail("cannot look at the file replaced");
  const bool same =
      s.old_regular ? present && now.st_dev == old.st_dev && now.st_ino == old.st_ino : !present;
  if (!same) {
    s.changed = true;
    why = "another program replaced it meanwhile";
    discard();
    return false;
  }
  if (::renameat(folder, s.made.c_str(), folder, s.place.name.c_str()) != 0) {
    return fail("cannot rename the new file");
  }
  s.committed = true;
  s.made.clear();
  disarm();
  // The rename reaches the disk; some file systems cannot say so.
  const Descriptor flushed(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (flushed.valid()) ::fsync(flushed.get());
  return true;
}

void Replacement::discard() {
  State& s = *state_;
  s.file.close();
  if (!s.made.empty()) ::unlinkat(s.place.folder.get(), s.made.c_str(), 0);
  s.made.clear();
  disarm();
}

}  // namespace kw::os

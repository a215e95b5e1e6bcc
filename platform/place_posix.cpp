#include "platform/place_posix.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/trust_posix.h"

namespace kw::os {

Descriptor::Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
  if (this != &other) {
    reset();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

int Descriptor::release() {
  return std::exchange(fd_, -1);
}

void Descriptor::reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::string system_reason() {
  return std::strerror(errno);
}

OpenError open_error_of(int err) {
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

bool same_entry(int fd, const Place& place) {
  struct stat info {};
  return ::fstat(fd, &info) == 0 && info.st_dev == place.entry.st_dev &&
         info.st_ino == place.entry.st_ino;
}

namespace {

constexpr int kMostLinks = 40;  // the kernel's own limit

// Puts the parts of `path` on `pending` so that its first part is taken
// next ("" and "." parts are nothing to take).
void push_parts(std::string_view path, std::vector<std::string>& pending) {
  std::vector<std::string> parts;
  for (std::size_t at = 0; at <= path.size();) {
    const std::size_t slash = std::min(path.find('/', at), path.size());
    const std::string_view part = path.substr(at, slash - at);
    if (!part.empty() && part != ".") parts.emplace_back(part);
    at = slash + 1;
  }
  pending.insert(pending.end(), parts.rbegin(), parts.rend());
}

Descriptor root_folder() {
  return Descriptor(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// The text of the link open as `link` (an O_PATH descriptor of the link
// itself, so that the link read is the one whose owner was checked).
bool link_text(int link, std::string& text) {
  char buffer[4096];
  const ssize_t n = ::readlinkat(link, "", buffer, sizeof buffer);
  if (n < 0) return false;
  if (static_cast<std::size_t>(n) == sizeof buffer) {
    errno = ENAMETOOLONG;
    return false;
  }
  text.assign(buffer, static_cast<std::size_t>(n));
  return true;
}

// `part` after the folder `where` walked so far, for the lines that name
// an entry.
std::string joined(const std::string& where, const std::string& part) {
  std::string text = where;
  if (!text.empty() && text.back() != '/') text += '/';
  text += part;
  return text;
}

}  // namespace

namespace {

// A walk down a path a part at a time, each folder reached held, each
// step checked by the rules of trust (trust_posix.h) before it is taken:
// how locate resolves a path once.
class PathWalk {
 public:
  PathWalk(std::string_view path, Use use, Place& place, std::string& why)
      : place_(place), why_(why), use_(use), folder_wanted_(path.back() == '/') {
    push_parts(path, pending_);
    if (pending_.empty()) pending_.emplace_back(".");  // the folder itself
    // (assign(1, c): GCC 12 warns of an overlap in a one-byte literal's copy)
    if (path.front() == '/') {
      folder_ = root_folder();
      here_.name.assign(1, '/');
      where_.assign(1, '/');
    } else {
      // Named in lines by its path, where the system can say it.
      folder_ = Descriptor(AT_FDCWD);
      char buffer[4096];
      if (::getcwd(buffer, sizeof buffer) != nullptr) {
        here_.name = buffer;
        where_ = here_.name;
      } else {
        here_.name.assign(1, '.');
      }
    }
  }

  OpenError run() {
    if (!folder_.valid() || ::fstatat(folder_.get(), "", &here_.info, AT_EMPTY_PATH) != 0) {
      return fail();
    }
    last_ = here_;
    OpenError result = OpenError::none;
    while (!pending_.empty()) {
      const std::string part = std::move(pending_.back());
      pending_.pop_back();
      if (take(part, result)) return result;
    }
    return result;  // not reached: the walk ends at the last part
  }

 private:
  OpenError fail(const char* what = nullptr) {
    const int err = errno;
    why_ = what != nullptr ? what : system_reason();
    return open_error_of(err);
  }

  OpenError fail_with(int err) {
    errno = err;
    return fail();
  }

  // Takes one part: true when the walk ends there, with `result`.
  bool take(const std::string& part, OpenError& result) {
    Descriptor entry(::openat(folder_.get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!entry.valid()) {
      // A last part that does not exist yet: the place of a new file.
      result =
          errno == ENOENT && pending_.empty() && !folder_wanted_ ? found(part, nullptr) : fail();
      return true;
    }
    trust::Entry next{joined(where_, part), {}};
    if (::fstat(entry.get(), &next.info) != 0) {
      result = fail();
      return true;
    }
    if (!trust::may_step(last_, next, why_)) {
      result = OpenError::untrusted;
      return true;
    }
    last_ = next;
    if (S_ISLNK(next.info.st_mode)) {
      result = follow(entry, next);
      return result != OpenError::none;
    }
    if (pending_.empty()) {
      result =
          folder_wanted_ && !S_ISDIR(next.info.st_mode) ? fail_with(ENOTDIR) : found(part, &next);
      return true;
    }
    if (!S_ISDIR(next.info.st_mode)) {
      result = fail_with(ENOTDIR);
      return true;
    }
    folder_ = std::move(entry);
    where_ = next.name;
    here_ = std::move(next);
    return false;
  }

  OpenError found(const std::string& part, const trust::Entry* entry) {
    if (!trust::may_use(here_, entry, use_, why_)) return OpenError::untrusted;
    place_.folder = std::move(folder_);
    place_.name = part;
    place_.through_link = through_link_;
    if (entry != nullptr) {
      place_.exists = true;
      place_.entry = entry->info;
    }
    return OpenError::none;
  }

  // The link `link` (held): its text goes on the parts to take when the
  // rules let it be followed.
  OpenError follow(const Descriptor& link, const trust::Entry& entry) {
    if (++links_ > kMostLinks) return fail_with(ELOOP);
    if (!trust::may_follow(here_, entry, why_)) return OpenError::untrusted;
    std::string target;
    if (!link_text(link.get(), target)) return fail();
    if (target.empty()) return fail_with(ENOENT);
    if (target.front() == '/') {
      // The walk goes on from the root folder, itself a step from the link.
      folder_ = root_folder();
      trust::Entry root{"/", {}};
      if (!folder_.valid() || ::fstat(folder_.get(), &root.info) != 0) return fail();
      if (!trust::may_step(last_, root, why_)) return OpenError::untrusted;
      last_ = root;
      here_ = std::move(root);
      where_.assign(1, '/');
    }
    const std::size_t before = pending_.size();
    push_parts(target, pending_);
    if (pending_.size() == before) pending_.emplace_back(".");
    through_link_ = true;
    return OpenError::none;
  }

  Place& place_;
  std::string& why_;
  const Use use_;
  const bool folder_wanted_;  // "name/" must name a folder
  std::vector<std::string> pending_;
  Descriptor folder_;
  trust::Entry here_;  // the folder held, as the walk reached it
  trust::Entry last_;  // the entry the walk stepped onto last
  std::string where_;  // the folder's path as walked, for the lines that name an entry
  int links_ = 0;
  bool through_link_ = false;
};

}  // namespace

OpenError locate(std::string_view path, Use use, Place& place, std::string& why) {
  place = Place{};
  if (path.empty()) {
    why = "an empty name";
    return OpenError::invalid_name;
  }
  return PathWalk(path, use, place, why).run();
}

}  // namespace kw::os

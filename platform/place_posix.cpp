#include "platform/place_posix.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

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

// Whether a link of owner `link_owner` in a folder of owner `folder_owner`
// may be followed.
bool trusted(uid_t link_owner, uid_t folder_owner) {
  return link_owner == ::geteuid() || link_owner == 0 || link_owner == folder_owner;
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

}  // namespace

OpenError locate(std::string_view path, Place& place, std::string& why) {
  place = Place{};
  if (path.empty()) {
    why = "an empty name";
    return OpenError::invalid_name;
  }
  const auto fail = [&why](const char* what = nullptr) {
    const int err = errno;
    why = what != nullptr ? what : system_reason();
    return open_error_of(err);
  };
  std::vector<std::string> pending;
  push_parts(path, pending);
  if (pending.empty()) pending.emplace_back(".");  // the folder itself
  // "name/" must name a folder.
  const bool folder_wanted = path.back() == '/';
  Descriptor folder = path.front() == '/' ? root_folder() : Descriptor(AT_FDCWD);
  if (!folder.valid()) return fail();
  int links = 0;
  bool through_link = false;
  while (!pending.empty()) {
    const std::string part = std::move(pending.back());
    pending.pop_back();
    Descriptor entry(::openat(folder.get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!entry.valid()) {
      if (errno == ENOENT && pending.empty() && !folder_wanted) {
        place.folder = std::move(folder);
        place.name = part;
        place.through_link = through_link;
        return OpenError::none;
      }
      return fail();
    }
    struct stat info {};
    if (::fstat(entry.get(), &info) != 0) return fail();
    if (S_ISLNK(info.st_mode)) {
      if (++links > kMostLinks) {
        errno = ELOOP;
        return fail();
      }
      struct stat folder_info {};
      if (::fstatat(folder.get(), "", &folder_info, AT_EMPTY_PATH) != 0) return fail();
      if (!trusted(info.st_uid, folder_info.st_uid)) {
        why = "the symbolic link \"" + part + "\" belongs to user " + std::to_string(info.st_uid) +
              ", in a folder of user " + std::to_string(folder_info.st_uid) +
              ": not followed (links are followed when the user, the folder's owner or root made "
              "them)";
        return OpenError::untrusted_link;
      }
      std::string target;
      if (!link_text(entry.get(), target)) return fail();
      if (target.empty()) {
        errno = ENOENT;
        return fail();
      }
      if (target.front() == '/') {
        folder = root_folder();
        if (!folder.valid()) return fail();
      }
      const std::size_t before = pending.size();
      push_parts(target, pending);
      if (pending.size() == before) pending.emplace_back(".");
      through_link = true;
      continue;
    }
    if (pending.empty()) {
      if (folder_wanted && !S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return fail();
      }
      place.folder = std::move(folder);
      place.name = part;
      place.exists = true;
      place.through_link = through_link;
      place.entry = info;
      return OpenError::none;
    }
    if (!S_ISDIR(info.st_mode)) {
      errno = ENOTDIR;
      return fail();
    }
    folder = std::move(entry);
  }
  return OpenError::none;  // not reached: the loop returns at the last part
}

}  // namespace kw::os

// Where a named file lies, resolved once: the folder that holds it, open,
// and its name in that folder. Everything done to the file afterwards is
// done relative to the held folder, never through the name again, so that
// nobody can swap a link or a folder on the path in between. POSIX side of
// the platform layer only (Linux: O_PATH).
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <string>
#include <string_view>

#include "platform/file.h"

namespace kw::os {

// A descriptor that closes itself; AT_FDCWD (the process's current
// folder, which the process holds anyway) is kept but never closed.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept;
  Descriptor& operator=(Descriptor&& other) noexcept;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0 || fd_ == AT_FDCWD; }
  int release();
  void reset();

 private:
  int fd_ = -1;
};

struct Place {
  Descriptor folder;          // the folder the file lies in, held
  std::string name;           // its name there: never a symbolic link when it exists
  bool exists = false;        // whether an entry of that name was there
  bool through_link = false;  // the path led there through a symbolic link
  struct stat entry {};       // the entry found, when it exists
};

// Resolves `path` ("/" separates folders) one part at a time, for `use`,
// from the working folder (or "/"): every step, into a folder, up with
// "..", through a symbolic link, onto the last part, is checked by the
// rules of trust (trust_posix.h), and a refusal is untrusted, with `why`
// naming the entry, its owner and the rule. The last part may be missing
// (exists false: the process will make it, so it is its own); a missing
// folder on the way is path_not_found, more than 40 links invalid_name.
OpenError locate(std::string_view path, Use use, Place& place, std::string& why);

// Whether the open descriptor `fd` is the entry `place` found.
bool same_entry(int fd, const Place& place);

// The OpenError of a failed system call's errno.
OpenError open_error_of(int err);

// errno as text.
std::string system_reason();

}  // namespace kw::os

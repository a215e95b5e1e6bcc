// Whole small files: reading one with a bound on its size, and replacing
// one whole so that no reader ever sees half of it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace kw::os {

enum class ReadWhole {
  ok,
  missing,      // no file of that name (or a symbolic link to none)
  not_regular,  // a directory, a FIFO, a device, ...
  too_large,    // more than the limit
  failed,       // the system refused or failed the open or a read, or a link is not followed
};

// Reads the whole of the regular file `path`, or of standard input when
// `path` is "-", into `content`. Never blocks on opening a FIFO, never
// reads more than `limit` + 1 bytes; links are followed as File::open
// follows them. Anything but `ok` leaves the system's reason, or the rule
// broken, in `why`.
ReadWhole read_whole_file(std::string_view path, std::size_t limit, std::string& content,
                          std::string& why);

// Whether a replacement may write through a symbolic link.
enum class Links {
  follow,  // the file the link leads to is replaced, and the link stays
  refuse,  // a link at the path is not replaced, nor what it leads to
};

// Replaces a file whole. begin() resolves the path once (following links
// as File::open does, and as `links` allows) and holds the folder the file
// lies in and the file there, if any; everything after acts on what is
// held, never on the name again:
//  - read_old() reads the file held;
//  - create() makes the new file in the held folder, exclusively and never
//    through a link: on Linux one without a name where the file system
//    has them, so that even a killed run leaves nothing behind; elsewhere
//    one with a short name of its own, which a signal that ends the
//    process (SIGINT, SIGTERM, SIGHUP, SIGQUIT) removes first;
//  - file() is written;
//  - commit() flushes it to disk, gives it the owner (where the process
//    may) and permissions of the file held, and renames it over the path
//    in the held folder, provided the entry there is still the file held
//    (or still none); otherwise nothing is replaced and changed() is true,
//    as it is when begin() finds the file replaced before it is opened.
// Until commit() succeeds the target is as it was; an uncommitted new file
// is removed when the object goes. Every failure leaves the reason in
// `why`; on Windows a read-only file is refused too.
class Replacement {
 public:
  Replacement();
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();

  OpenError begin(std::string_view path, Links links, std::string& why);
  // Whether begin() found an entry at the path (whatever it is), and
  // whether the path led to it through a symbolic link.
  bool found() const;
  bool through_link() const;
  ReadWhole read_old(std::size_t limit, std::string& content, std::string& why) const;
  OpenError create(std::string& why);
  File& file();
  bool commit(std::string& why);
  bool changed() const;

 private:
  struct State;
  void discard();
  std::unique_ptr<State> state_;
};

// begin(), create(), one write of `content`, commit(): false, with the
// reason in `why`, when any of them fails; the target is then as it was.
// Signals that would end the process wait until the file is in place or
// removed.
bool replace_file(std::string_view path, std::string_view content, Links links, std::string& why);

}  // namespace kw::os

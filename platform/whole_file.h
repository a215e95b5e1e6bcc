// Whole small files: reading one with a bound on its size, and replacing
// one whole so that no reader ever sees half of it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace kw::os {

enum class ReadWhole {
  ok,
  missing,      // no file of that name (or a symbolic link to none)
  not_regular,  // a directory, a FIFO, a device, ...
  too_large,    // more than the limit
  failed,       // the system refused or failed the open or a read
};

// Reads the whole of the regular file `path`, or of standard input when
// `path` is "-", into `content`. Never blocks on opening a FIFO, never
// reads more than `limit` + 1 bytes. Anything but `ok` leaves the system's
// reason, or the rule broken, in `why`.
ReadWhole read_whole_file(std::string_view path, std::size_t limit, std::string& content,
                          std::string& why);

// Whether replace_file may write through a symbolic link.
enum class Links {
  follow,  // the file the link leads to is replaced, and the link stays
  refuse,  // a link at `path` is not replaced, nor what it leads to
};

// Replaces the file `path` with `content`, whole:
//  - a new file is made beside it under a name no other file has, made
//    exclusively and never through a link, with the old file's
//    permissions (a new one gets the usual ones);
//  - `content` is written to it and flushed to the disk;
//  - it is renamed over `path`, and the rename is flushed too.
// Where `path` is a symbolic link, `links` says what is done; a link that
// leads nowhere is always refused, and so is, on Windows, a read-only
// file. On any failure
// the new file is removed (this call made it, nobody else's file is
// touched), `path` is as it was, and `why` holds the system's reason.
// Signals that would end the process wait until the file is in place or
// removed.
bool replace_file(std::string_view path, std::string_view content, Links links, std::string& why);

// The same for a file written a piece at a time: begin() makes the new
// file (on Linux one without a name, so that even a process killed halfway
// leaves nothing behind), file() writes it, commit() flushes it to disk and
// puts it in the target's place. Until commit() succeeds the target is as
// it was; an uncommitted new file is removed when the object goes.
class Replacement {
 public:
  Replacement() = default;
  Replacement(const Replacement&) = delete;
  Replacement& operator=(const Replacement&) = delete;
  ~Replacement();

  bool begin(std::string_view path, Links links, std::string& why);
  File& file() { return file_; }
  bool commit(std::string& why);

 private:
  void discard();

  std::string target_;  // the file replaced (where a link leads)
  std::string made_;    // the new file's name, empty while it has none
  File file_;           // the new file
  unsigned mode_ = 0;   // the permissions it gets
  bool keep_owner_ = false;
  unsigned owner_ = 0;
  unsigned group_ = 0;
  bool committed_ = false;
};

}  // namespace kw::os

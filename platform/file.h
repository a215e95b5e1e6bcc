// Operating-system file layer: the only place that talks to the system's
// file interface. Everything above it sees whole-file operations on an open
// handle and a small set of outcomes, never errno or system handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kw::os {

// Why an open was refused, in the terms the run-time reports to the user.
enum class OpenError {
  none,
  path_not_found,  // a directory on the path does not exist
  access_denied,   // refused by the system (permission, a directory, ...)
  too_many_files,  // no handle left for the process
  invalid_name,    // the name cannot name a file (too long, ...)
  untrusted,       // a path another user controls (the rules of trust)
  no_reader,       // a FIFO opened to be written that no program reads
};

// What a file named by the program is opened for.
enum class Use {
  input,   // to be read
  output,  // to be written: a FIFO must have a reader
};

// `name` as this system takes it: the program writes its folders with
// backslashes, which are slashes on POSIX systems.
std::string native_name(std::string_view name);

// The leap-second list this system keeps, or empty where it keeps none.
std::string_view system_leap_list();

// Which regular file a name or a handle leads to, whatever the names and
// links on the way: the system's device and file number. Known only for a
// regular file; two unknown identities are never the same file.
struct Identity {
  std::uint64_t device = 0;
  std::uint64_t number = 0;
  bool known = false;
  bool found = false;  // identity_of: the name names an entry, regular or not
};

inline bool same_file(const Identity& a, const Identity& b) {
  return a.known && b.known && a.device == b.device && a.number == b.number;
}

// The identity of the regular file `name` leads to, resolved as
// File::open_to_read resolves it, without opening it (a FIFO is not
// waited on); unknown when it names nothing, or no regular file.
Identity identity_of(std::string_view name);

// An open file. Move-only; closes itself when destroyed.
class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  ~File();

  // Opens `name` for reading and writing, creating it empty when it does not
  // exist; an existing file keeps its contents and the position is at its
  // start. A file the system lets the process read but not write is opened
  // for reading only (see writable()). Backslashes in the name are the
  // program's directory separators; on Windows the name goes to the system
  // as it stands. Never blocks on a FIFO; a FIFO opened as an output must
  // have a reader. POSIX: the name is resolved once, and a symbolic link is
  // followed only when the user, the owner of its folder or root made it;
  // an input named by a link that leads to no file is not made, and the
  // result is then a File that is not open (an empty input). Any failure
  // leaves the system's reason, or the rule broken, in `why`.
  static File open(std::string_view name, Use use, OpenError& error, std::string& why);

  // Opens an existing file for reading only: a missing one is not made. A
  // FIFO is waited on until its writer opens it, as any reader of one is,
  // so that it is read to its end. Links as for open().
  static File open_to_read(std::string_view name, OpenError& error, std::string& why);

  // The process's standard input and output, as files of their own:
  // closing them leaves the process's handles open. Bytes pass as they
  // stand (no CR LF translation on Windows). Not open, with `error` set,
  // when the process has no such handle or no handle left.
  static File standard_input(OpenError& error, std::string& why);
  static File standard_output(OpenError& error, std::string& why);

  bool is_open() const { return handle_ != kNoHandle; }

  // The identity of the file, when it is a regular one.
  Identity identity() const;
  bool writable() const { return writable_; }

  // Reads up to `size` bytes at the current position. Returns the count
  // (0 at the end of the data) or -1 on failure, with error_text() set.
  std::ptrdiff_t read(char* buffer, std::size_t size);

  // Writes all of `data` at the current position. False on failure, with
  // the count of bytes that did reach the file in `written`. A regular
  // file is written whole whatever signal comes; a pipe, a socket or a
  // device is written only while no signal that ends the process came
  // during a record write (RecordWrite): one that came makes it stop
  // waiting for the reader and return false at once.
  bool write(std::string_view data, std::size_t& written);

  // Writes what the file takes of `data` within half a second, whatever
  // signal came: the rest of a record begun when a signal stopped
  // write(). False, with `written` as for write(), when not all of it
  // arrived.
  bool finish(std::string_view data, std::size_t& written);

  // Size of the file in bytes; 0 for anything that is not a regular file
  // (pipes, devices), whose size the system does not know.
  std::uint64_t size() const;

  // Where the next byte is written, for a regular file: its size when
  // every write goes to its end (standard output opened to append).
  // False for anything else, or when the system cannot say.
  bool write_offset(std::uint64_t& offset, bool& appends) const;

  // Cuts a regular file at the current position; other kinds of file
  // cannot be cut and are left alone. False on failure.
  bool cut_here();

  // Cuts a regular file to `size` bytes and moves the position there;
  // other kinds of file are left alone. False on failure.
  bool cut_at(std::uint64_t size);

  // Closes the file. False when the system reports a failure.
  bool close();

  // The system's description of the last failed operation on this file.
  const std::string& error_text() const { return error_text_; }

 private:
  friend class Replacement;

  // A POSIX file descriptor or a Windows HANDLE; -1 is neither.
  using Handle = std::intptr_t;
  static constexpr Handle kNoHandle = -1;

  File(Handle handle, bool writable) : handle_(handle), writable_(writable) {}

  void record_error();

  Handle handle_ = kNoHandle;
  bool writable_ = false;
  std::string error_text_;
};

}  // namespace kw::os

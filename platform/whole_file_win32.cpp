// Windows side of whole-file reading and replacing. The folder of a file
// replaced is held by a handle that does not share deletion, so that it
// can be neither renamed nor removed while the replacement goes on, and
// the names used afterwards are built from that handle's final path; the
// file replaced is known by its file id.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/process.h"
#include "platform/whole_file.h"
#include "platform/win32_message.h"

namespace kw::os {
namespace {

std::string reason(DWORD code = ::GetLastError()) {
  return message_for(code);
}

// Closes a handle when it goes.
class HeldHandle {
 public:
  HeldHandle() = default;
  explicit HeldHandle(HANDLE handle) : handle_(handle) {}
  HeldHandle(const HeldHandle&) = delete;
  HeldHandle& operator=(const HeldHandle&) = delete;
  HeldHandle& operator=(HeldHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  ~HeldHandle() { close(); }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  void close() {
    if (valid()) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

ReadWhole read_all(HANDLE handle, std::size_t limit, std::string& content, std::string& why) {
  content.clear();
  char buffer[1 << 16];
  for (;;) {
    DWORD count = 0;
    if (::ReadFile(handle, buffer, sizeof buffer, &count, nullptr) == 0) {
      const DWORD code = ::GetLastError();
      if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return ReadWhole::ok;
      why = reason(code);
      return ReadWhole::failed;
    }
    if (count == 0) return ReadWhole::ok;
    content.append(buffer, count);
    if (content.size() > limit) {
      why = "larger than " + std::to_string(limit) + " bytes";
      return ReadWhole::too_large;
    }
  }
}

// The final path of an open handle ("\\?\C:\folder"), or false.
bool final_path(HANDLE handle, std::string& path) {
  char text[MAX_PATH * 4] = {};
  const DWORD length = ::GetFinalPathNameByHandleA(handle, text, sizeof text, 0);
  if (length == 0 || length >= sizeof text) return false;
  path.assign(text, length);
  return true;
}

bool same_file(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// The new file with a name on disk, removed when the console asks the
// process to end (Ctrl+C, Ctrl+Break, the window closed) before it does.
// The file is open with FILE_SHARE_DELETE, so the removal takes effect
// when the process's handle goes.
std::string g_pending;  // set and cleared on the thread that makes the file
volatile LONG g_armed = 0;

BOOL WINAPI remove_new_file(DWORD /*event*/) {
  if (g_armed != 0) ::DeleteFileA(g_pending.c_str());
  return FALSE;  // then the process ends as it would have
}

void arm(const std::string& name) {
  g_pending = name;
  ::InterlockedExchange(&g_armed, 1);
  ::SetConsoleCtrlHandler(remove_new_file, TRUE);
}

void disarm() {
  if (::InterlockedExchange(&g_armed, 0) != 0) ::SetConsoleCtrlHandler(remove_new_file, FALSE);
}

// The folder of `target`, held, its final path with a backslash after it
// (`in`), and the name in it.
OpenError hold_folder(const std::string& target, HeldHandle& folder, std::string& in,
                      std::string& name, std::string& why) {
  char full[MAX_PATH * 4] = {};
  char* leaf = nullptr;
  const DWORD length = ::GetFullPathNameA(target.c_str(), sizeof full, full, &leaf);
  if (length == 0 || length >= sizeof full || leaf == nullptr) {
    why = "not a file's name";
    return OpenError::invalid_name;
  }
  name = leaf;
  const std::string path(full, static_cast<std::size_t>(leaf - full));
  folder = HeldHandle(::CreateFileA(path.c_str(), FILE_LIST_DIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder.valid()) {
    const DWORD code = ::GetLastError();
    why = reason(code);
    return open_error_of(code);
  }
  if (!final_path(folder.get(), in)) {
    why = reason();
    return OpenError::access_denied;
  }
  if (in.back() != '\\') in += '\\';
  return OpenError::none;
}

// The file at `at`, if any, held and known by its id; none but a file.
OpenError hold_file(const std::string& at, HeldHandle& file, BY_HANDLE_FILE_INFORMATION& info,
                    bool& exists, bool& regular, std::string& why) {
  file = HeldHandle(::CreateFileA(at.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return OpenError::none;
    exists = true;
    why = reason(code);
    return open_error_of(code);
  }
  exists = true;
  if (::GetFileInformationByHandle(file.get(), &info) == 0) {
    why = reason();
    return OpenError::access_denied;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    why = "a directory, not a file";
    return OpenError::access_denied;
  }
  regular = ::GetFileType(file.get()) == FILE_TYPE_DISK;
  return OpenError::none;
}

// Standard input, read whole: refused when the process was started
// without it (the null device in its place is not what "-" names).
ReadWhole read_standard_input(std::size_t limit, std::string& content, std::string& why) {
  if (started_without(Standard::input)) {
    why = started_without_reason(Standard::input);
    return ReadWhole::failed;
  }
  return read_all(::GetStdHandle(STD_INPUT_HANDLE), limit, content, why);
}

}  // namespace

struct Replacement::State {
  HeldHandle folder;    // the held folder
  std::string in;       // its final path and a backslash
  std::string name;     // the file's name there
  bool exists = false;  // an entry of that name was there
  bool through_link = false;
  HeldHandle old;  // the file replaced, when there is one
  BY_HANDLE_FILE_INFORMATION old_info{};
  bool old_regular = false;
  std::string made;  // the new file's path, empty while there is none
  File file;
  bool committed = false;
  bool changed = false;
};

ReadWhole read_whole_file(std::string_view path, std::size_t limit, std::string& content,
                          std::string& why) {
  if (path == "-") return read_standard_input(limit, content, why);
  const std::string name(path);
  const HeldHandle file(::CreateFileA(name.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) {
    const DWORD code = ::GetLastError();
    why = reason(code);
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? ReadWhole::missing
                                                                        : ReadWhole::failed;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file.get()) != FILE_TYPE_DISK ||
      ::GetFileInformationByHandle(file.get(), &info) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    why = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? "a directory, not a file"
                                                                  : "not a regular file";
    return ReadWhole::not_regular;
  }
  return read_all(file.get(), limit, content, why);
}

Replacement::Replacement() : state_(std::make_unique<State>()) {}

Replacement::~Replacement() {
  if (!state_->committed) discard();
}

bool Replacement::found() const {
  return state_->exists;
}

bool Replacement::through_link() const {
  return state_->through_link;
}

bool Replacement::changed() const {
  return state_->changed;
}

File& Replacement::file() {
  return state_->file;
}

OpenError Replacement::begin(std::string_view path, Links links, std::string& why) {
  State& s = *state_;
  std::string target(path);
  if (target.empty()) {
    why = "an empty name";
    return OpenError::invalid_name;
  }
  const DWORD attributes = ::GetFileAttributesA(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    s.exists = true;
    if (links == Links::refuse) {
      why = "a symbolic link, which is not written through";
      return OpenError::access_denied;
    }
    const HeldHandle linked(
        ::CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!linked.valid() || !final_path(linked.get(), target)) {
      why = "a symbolic link that leads to no file (" + reason() + ")";
      return OpenError::access_denied;
    }
    s.through_link = true;
  }
  const OpenError error = hold_folder(target, s.folder, s.in, s.name, why);
  if (error != OpenError::none) return error;
  return hold_file(s.in + s.name, s.old, s.old_info, s.exists, s.old_regular, why);
}

ReadWhole Replacement::read_old(std::size_t limit, std::string& content, std::string& why) const {
  const State& s = *state_;
  content.clear();
  if (!s.exists) return ReadWhole::missing;
  if (!s.old_regular) {
    why = "not a regular file";
    return ReadWhole::not_regular;
  }
  LARGE_INTEGER start{};
  if (::SetFilePointerEx(s.old.get(), start, nullptr, FILE_BEGIN) == 0) {
    why = reason();
    return ReadWhole::failed;
  }
  return read_all(s.old.get(), limit, content, why);
}

OpenError Replacement::create(std::string& why) {
  State& s = *state_;
  if (s.exists && !s.old_regular) {
    why = "not a regular file";
    return OpenError::access_denied;
  }
  // Windows keeps a read-only file from being replaced; so does this, the
  // same way on every version and under Wine.
  if (s.exists && (s.old_info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    why = "a read-only file";
    return OpenError::access_denied;
  }
  static unsigned counter = 0;
  HANDLE made = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::uint64_t tag = (std::uint64_t{::GetCurrentProcessId()} << 20) +
                              ::GetTickCount() * 7919ULL + 0x9E3779B9ULL * ++counter;
    s.made = s.in + s.name.substr(0, 64) + "." + std::to_string(tag % 1000000000000ULL) + ".tmp";
    // CREATE_NEW: made here and now, never an existing file or link.
    made = ::CreateFileA(s.made.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (made != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (made == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    why = "cannot make a new file beside it: " + reason(code);
    s.made.clear();
    return open_error_of(code);
  }
  arm(s.made);
  s.file = File(reinterpret_cast<File::Handle>(made), true);
  return OpenError::none;
}

bool Replacement::commit(std::string& why) {
  State& s = *state_;
  const auto fail = [&](const char* step) {
    why = std::string(step) + ": " + reason();
    discard();
    return false;
  };
  if (::FlushFileBuffers(reinterpret_cast<HANDLE>(s.file.handle_)) == 0) {
    return fail("cannot flush the new file to disk");
  }
  if (!s.file.close()) return fail("cannot close the new file");
  // The entry replaced must be the file held, or still none.
  const std::string at = s.in + s.name;
  HeldHandle now(::CreateFileA(at.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const DWORD look = ::GetLastError();
  BY_HANDLE_FILE_INFORMATION info{};
  const bool same = s.old_regular
                        ? now.valid() && ::GetFileInformationByHandle(now.get(), &info) != 0 &&
                              same_file(info, s.old_info)
                        : !now.valid() && look == ERROR_FILE_NOT_FOUND;
  // No handle of this process's stays on the file replaced.
  now.close();
  s.old.close();
  if (!same) {
    s.changed = true;
    why = "another program replaced it meanwhile";
    discard();
    return false;
  }
  if (::MoveFileExA(s.made.c_str(), at.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    return fail("cannot rename the new file");
  }
  s.committed = true;
  s.made.clear();
  disarm();
  return true;
}

void Replacement::discard() {
  State& s = *state_;
  s.file.close();
  if (!s.made.empty()) ::DeleteFileA(s.made.c_str());
  s.made.clear();
  disarm();
}

}  // namespace kw::os

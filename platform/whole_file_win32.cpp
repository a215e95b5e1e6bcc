// Windows side of whole-file reading and replacing.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/whole_file.h"
#include "platform/win32_message.h"

namespace kw::os {
namespace {

std::string reason(DWORD code = ::GetLastError()) {
  return message_for(code);
}

// Closes a handle when it goes.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { close(); }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  bool close() {
    if (!valid()) return true;
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return ::CloseHandle(handle) != 0;
  }

 private:
  HANDLE handle_;
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

// Where `target` is a symbolic link: refused, or the name of the file it
// leads to.
bool final_target(Links links, std::string& target, std::string& why) {
  const DWORD attributes = ::GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return true;
  }
  if (links == Links::refuse) {
    why = "a symbolic link, which is not written through";
    return false;
  }
  const Handle file(::CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  char final_name[MAX_PATH * 4] = {};
  const DWORD length =
      file.valid() ? ::GetFinalPathNameByHandleA(file.get(), final_name, sizeof final_name, 0) : 0;
  if (length == 0 || length >= sizeof final_name) {
    why = "a symbolic link that leads to no file (" + reason() + ")";
    return false;
  }
  target.assign(final_name, length);
  return true;
}

}  // namespace

ReadWhole read_whole_file(std::string_view path, std::size_t limit, std::string& content,
                          std::string& why) {
  if (path == "-") return read_all(::GetStdHandle(STD_INPUT_HANDLE), limit, content, why);
  const std::string name(path);
  const Handle file(::CreateFileA(name.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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

bool replace_file(std::string_view path, std::string_view content, Links links, std::string& why) {
  Replacement replacement;
  if (!replacement.begin(path, links, why)) return false;
  std::size_t written = 0;
  if (!replacement.file().write(content, written)) {
    why = "cannot write the new file: " + replacement.file().error_text();
    return false;
  }
  return replacement.commit(why);
}

bool Replacement::begin(std::string_view path, Links links, std::string& why) {
  target_ = std::string(path);
  if (!final_target(links, target_, why)) return false;
  // Windows keeps a read-only file from being replaced; so does this, the
  // same way on every version and under Wine.
  const DWORD attributes = ::GetFileAttributesA(target_.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    why = "a read-only file";
    return false;
  }
  static unsigned counter = 0;
  HANDLE made = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::uint64_t tag = (std::uint64_t{::GetCurrentProcessId()} << 20) +
                              ::GetTickCount() * 7919ULL + 0x9E3779B9ULL * ++counter;
    made_ = target_ + "." + std::to_string(tag % 1000000000000ULL) + ".tmp";
    // CREATE_NEW: made here and now, never an existing file or link.
    made = ::CreateFileA(made_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (made != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (made == INVALID_HANDLE_VALUE) {
    why = "cannot make a new file beside it: " + reason();
    made_.clear();
    return false;
  }
  file_.handle_ = reinterpret_cast<File::Handle>(made);
  file_.writable_ = true;
  return true;
}

bool Replacement::commit(std::string& why) {
  const auto fail = [&](const char* step) {
    why = std::string(step) + ": " + reason();
    discard();
    return false;
  };
  if (!file_.sync()) return fail("cannot flush the new file to disk");
  if (!file_.close()) return fail("cannot close the new file");
  if (::MoveFileExA(made_.c_str(), target_.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    return fail("cannot rename the new file");
  }
  committed_ = true;
  return true;
}

void Replacement::discard() {
  file_.close();
  if (!made_.empty()) ::DeleteFileA(made_.c_str());
  made_.clear();
}

Replacement::~Replacement() {
  if (!committed_) discard();
}

}  // namespace kw::os

// Windows side of the operating-system file layer. Files are opened in
// binary: every byte the program writes, CR LF included, reaches the file
// as it stands.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/file.h"
#include "platform/win32_message.h"

namespace kw::os {
namespace {

HANDLE native(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);  // NOLINT(performance-no-int-to-ptr)
}

OpenError classify(DWORD code) {
  switch (code) {
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return OpenError::path_not_found;
    case ERROR_TOO_MANY_OPEN_FILES:
      return OpenError::too_many_files;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_PARAMETER:
      return OpenError::invalid_name;
    default:  // access denied, sharing and lock violations, write protection
      return OpenError::access_denied;
  }
}

HANDLE open_handle(const std::string& name, DWORD access, DWORD disposition) {
  return ::CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool is_directory(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  return ::GetFileType(handle) == FILE_TYPE_DISK &&
         ::GetFileInformationByHandle(handle, &info) != 0 &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Reads and writes are made in pieces a DWORD can count.
constexpr std::size_t kMaxPiece = std::size_t{1} << 30;

}  // namespace

File File::open(std::string_view name, OpenError& error) {
  const std::string path(name);
  File file;
  HANDLE handle = open_handle(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  bool writable = true;
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD write_error = ::GetLastError();
    if (write_error == ERROR_ACCESS_DENIED || write_error == ERROR_SHARING_VIOLATION ||
        write_error == ERROR_WRITE_PROTECT) {
      // Readable but not writable: the run may only need to read it.
      handle = open_handle(path, GENERIC_READ, OPEN_EXISTING);
      writable = false;
    }
    if (handle == INVALID_HANDLE_VALUE) ::SetLastError(write_error);
  }
  file.adopt(reinterpret_cast<Handle>(handle), writable, error);
  return file;
}

File File::open_to_read(std::string_view name, OpenError& error) {
  File file;
  file.adopt(reinterpret_cast<Handle>(open_handle(std::string(name), GENERIC_READ, OPEN_EXISTING)),
             false, error);
  return file;
}

void File::adopt(Handle handle, bool writable, OpenError& error) {
  if (handle == kNoHandle) {
    error = classify(::GetLastError());
    return;
  }
  if (is_directory(native(handle))) {
    // A directory opened for reading is no file of records.
    ::CloseHandle(native(handle));
    error = OpenError::access_denied;
    return;
  }
  handle_ = handle;
  writable_ = writable;
  error = OpenError::none;
}

namespace {
// A handle of this process's own to the same file as standard handle `which`.
HANDLE copy_of_standard(DWORD which) {
  HANDLE original = ::GetStdHandle(which);
  HANDLE copy = INVALID_HANDLE_VALUE;
  if (original == nullptr || original == INVALID_HANDLE_VALUE ||
      ::DuplicateHandle(::GetCurrentProcess(), original, ::GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS) == 0) {
    return INVALID_HANDLE_VALUE;
  }
  return copy;
}
}  // namespace

File File::standard_input() {
  File file;
  file.handle_ = reinterpret_cast<Handle>(copy_of_standard(STD_INPUT_HANDLE));
  return file;
}

File File::standard_output() {
  File file;
  file.handle_ = reinterpret_cast<Handle>(copy_of_standard(STD_OUTPUT_HANDLE));
  file.writable_ = file.is_open();
  return file;
}

bool File::sync() {
  if (::GetFileType(native(handle_)) != FILE_TYPE_DISK ||
      ::FlushFileBuffers(native(handle_)) != 0) {
    return true;
  }
  record_error();
  return false;
}

void File::record_error() {
  error_text_ = message_for(::GetLastError());
}

std::ptrdiff_t File::read(char* buffer, std::size_t size) {
  DWORD count = 0;
  if (::ReadFile(native(handle_), buffer, static_cast<DWORD>(std::min(size, kMaxPiece)), &count,
                 nullptr) == 0) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) return 0;  // the writer is gone
    record_error();
    return -1;
  }
  return static_cast<std::ptrdiff_t>(count);
}

bool File::write(std::string_view data, std::size_t& written) {
  written = 0;
  while (!data.empty()) {
    DWORD count = 0;
    if (::WriteFile(native(handle_), data.data(),
                    static_cast<DWORD>(std::min(data.size(), kMaxPiece)), &count, nullptr) == 0) {
      record_error();
      return false;
    }
    if (count == 0) {
      ::SetLastError(ERROR_WRITE_FAULT);
      record_error();
      return false;
    }
    data.remove_prefix(count);
    written += count;
  }
  return true;
}

std::uint64_t File::size() const {
  LARGE_INTEGER size{};
  if (::GetFileType(native(handle_)) != FILE_TYPE_DISK ||
      ::GetFileSizeEx(native(handle_), &size) == 0 || size.QuadPart < 0) {
    return 0;
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool File::cut_here() {
  if (::GetFileType(native(handle_)) != FILE_TYPE_DISK) return true;
  if (::SetEndOfFile(native(handle_)) == 0) {
    record_error();
    return false;
  }
  return true;
}

bool File::cut_at(std::uint64_t size) {
  if (::GetFileType(native(handle_)) != FILE_TYPE_DISK) return true;
  LARGE_INTEGER offset{};
  offset.QuadPart = static_cast<LONGLONG>(size);
  if (::SetFilePointerEx(native(handle_), offset, nullptr, FILE_BEGIN) == 0 ||
      ::SetEndOfFile(native(handle_)) == 0) {
    record_error();
    return false;
  }
  return true;
}

bool File::close() {
  if (handle_ == kNoHandle) return true;
  HANDLE handle = native(handle_);
  handle_ = kNoHandle;
  if (::CloseHandle(handle) == 0) {
    record_error();
    return false;
  }
  return true;
}

}  // namespace kw::os

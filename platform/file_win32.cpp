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
#include "platform/process.h"
#include "platform/win32_message.h"

namespace kw::os {
namespace {

HANDLE native(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);  // NOLINT(performance-no-int-to-ptr)
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

namespace {

// The handle of an open that may have failed (INVALID_HANDLE_VALUE, the
// system's error still set), as a File's: a directory is refused and
// closed.
std::intptr_t checked(HANDLE handle, OpenError& error, std::string& why) {
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    error = open_error_of(code);
    // As the POSIX side says it, whatever the system's language.
    why = code == ERROR_FILE_NOT_FOUND ? "no such file" : message_for(code);
    return -1;
  }
  if (is_directory(handle)) {
    // A directory opened for reading is no file of records.
    ::CloseHandle(handle);
    error = OpenError::access_denied;
    why = "a folder, not a file";
    return -1;
  }
  error = OpenError::none;
  return reinterpret_cast<std::intptr_t>(handle);
}

}  // namespace

std::string_view system_leap_list() {
  return {};  // Windows keeps none
}

std::string native_name(std::string_view name) {
  return std::string(name);  // Windows takes the program's names as they stand
}

File File::open(std::string_view name, Use /*use*/, OpenError& error, std::string& why) {
  const std::string path(name);
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
  return {checked(handle, error, why), writable};
}

File File::open_to_read(std::string_view name, OpenError& error, std::string& why) {
  return {checked(open_handle(std::string(name), GENERIC_READ, OPEN_EXISTING), error, why), false};
}

namespace {
Identity identity_of_handle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(handle) != FILE_TYPE_DISK || ::GetFileInformationByHandle(handle, &info) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {};
  }
  return {.device = info.dwVolumeSerialNumber,
          .number = (std::uint64_t{info.nFileIndexHigh} << 32U) | info.nFileIndexLow,
          .known = true};
}
}  // namespace

Identity identity_of(std::string_view name) {
  const HANDLE handle = ::CreateFileA(std::string(name).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  Identity identity = identity_of_handle(handle);
  identity.found = true;
  ::CloseHandle(handle);
  return identity;
}

Identity File::identity() const {
  return is_open() ? identity_of_handle(native(handle_)) : Identity{};
}

namespace {
// A handle of this process's own to the same file as standard handle `which`.
HANDLE copy_of_standard(DWORD which, OpenError& error, std::string& why) {
  HANDLE original = ::GetStdHandle(which);
  if (original == nullptr || original == INVALID_HANDLE_VALUE) {
    error = OpenError::access_denied;
    why = started_without_reason(which == STD_INPUT_HANDLE ? Standard::input : Standard::output);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE copy = INVALID_HANDLE_VALUE;
  if (original == nullptr || original == INVALID_HANDLE_VALUE ||
      ::DuplicateHandle(::GetCurrentProcess(), original, ::GetCurrentProcess(), &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS) == 0) {
    const DWORD code = original == nullptr ? ERROR_INVALID_HANDLE : ::GetLastError();
    error = open_error_of(code);
    why = message_for(code);
    return INVALID_HANDLE_VALUE;
  }
  error = OpenError::none;
  return copy;
}
}  // namespace

File File::standard_input(OpenError& error, std::string& why) {
  return {reinterpret_cast<Handle>(copy_of_standard(STD_INPUT_HANDLE, error, why)), false};
}

File File::standard_output(OpenError& error, std::string& why) {
  HANDLE handle = copy_of_standard(STD_OUTPUT_HANDLE, error, why);
  return {reinterpret_cast<Handle>(handle), handle != INVALID_HANDLE_VALUE};
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

bool File::finish(std::string_view data, std::size_t& written) {
  return write(data, written);  // no signal stops write() here
}

std::uint64_t File::size() const {
  LARGE_INTEGER size{};
  if (::GetFileType(native(handle_)) != FILE_TYPE_DISK ||
      ::GetFileSizeEx(native(handle_), &size) == 0 || size.QuadPart < 0) {
    return 0;
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool File::write_offset(std::uint64_t& offset, bool& appends) const {
  LARGE_INTEGER here{};
  if (::GetFileType(native(handle_)) != FILE_TYPE_DISK ||
      ::SetFilePointerEx(native(handle_), LARGE_INTEGER{}, &here, FILE_CURRENT) == 0 ||
      here.QuadPart < 0) {
    return false;
  }
  appends = false;  // a handle opened to append writes where it is told
  offset = static_cast<std::uint64_t>(here.QuadPart);
  return true;
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

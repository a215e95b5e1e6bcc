// Windows side of the process layer.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/process.h"
#include "platform/win32_message.h"

namespace kw::os {

// Handles are never taken by a later open as POSIX descriptors are, and no
// signal stands for a file-size limit: nothing to prepare.
void prepare_process() {}

HeldSignals::HeldSignals() = default;
HeldSignals::~HeldSignals() = default;

void write_standard_error(std::string_view text) {
  // Straight to the handle: the C run-time's text mode would add a CR.
  HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  while (!text.empty()) {
    DWORD count = 0;
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1U << 20));
    if (::WriteFile(handle, text.data(), piece, &count, nullptr) == 0 || count == 0) return;
    text.remove_prefix(count);
  }
}

bool write_standard_output(std::string_view text, std::string& why) {
  // Straight to the handle, in binary, like standard error.
  HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
  while (!text.empty()) {
    DWORD count = 0;
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1U << 20));
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        ::WriteFile(handle, text.data(), piece, &count, nullptr) == 0 || count == 0) {
      why = message_for(::GetLastError());
      return false;
    }
    text.remove_prefix(count);
  }
  return true;
}

int exit_status_for_error(int number) {
  return number;
}

}  // namespace kw::os

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

namespace {
// Which standard handles the process was started without.
bool g_started_without[3] = {};
}  // namespace

// Handles are never taken by a later open as POSIX descriptors are, and no
// signal stands for a file-size limit: only which standard handles are
// missing is kept.
void prepare_process() {
  constexpr DWORD kWhich[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  for (int i = 0; i < 3; ++i) {
    HANDLE handle = ::GetStdHandle(kWhich[i]);
    g_started_without[i] = handle == nullptr || handle == INVALID_HANDLE_VALUE;
  }
}

bool started_without(Standard which) {
  return g_started_without[static_cast<int>(which)];
}

std::string started_without_reason(Standard which) {
  constexpr const char* kNames[] = {"standard input", "standard output", "standard error"};
  return std::string(kNames[static_cast<int>(which)]) + " was closed when the program started";
}

HeldSignals::HeldSignals() = default;
HeldSignals::~HeldSignals() = default;

RecordWrite::RecordWrite() = default;
RecordWrite::~RecordWrite() = default;

bool ending_signal_noted() {
  return false;
}

void end_if_signalled() {}

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
  if (started_without(Standard::output)) {
    why = started_without_reason(Standard::output);
    return false;
  }
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

// The Windows side's text for a system error code, for the platform's own
// files only.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace kw::os {

// The system's text for `code`, without the line end and full stop it
// comes with.
inline std::string message_for(DWORD code) {
  char text[512] = {};
  DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, text, sizeof text, nullptr);
  if (length > sizeof text) length = sizeof text;
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ' || text[length - 1] == '.')) {
    --length;
  }
  return length > 0 ? std::string(text, length) : "system error " + std::to_string(code);
}

}  // namespace kw::os

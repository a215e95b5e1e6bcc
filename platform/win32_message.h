// The Windows side's text and kind for a system error code, for the
// platform's own files only.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "platform/file.h"

namespace kw::os {

// What kind of refusal a system error code is, for the open that got it.
inline OpenError open_error_of(DWORD code) {
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

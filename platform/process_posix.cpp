// POSIX side of the process layer.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "platform/process.h"

namespace kw::os {

void prepare_process() {
  std::signal(SIGXFSZ, SIG_IGN);
}

void write_standard_error(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

bool write_standard_output(std::string_view text, std::string& why) {
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) {
    return true;
  }
  why = errno != 0 ? std::strerror(errno) : "write failed";
  return false;
}

int exit_status_for_error(int number) {
  return number & 0xFF;
}

}  // namespace kw::os

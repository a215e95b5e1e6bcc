// POSIX side of the process layer.
#include <csignal>
#include <cstdio>

#include "platform/process.h"

namespace kw::os {

void prepare_process() {
  std::signal(SIGXFSZ, SIG_IGN);
}

void write_standard_error(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

int exit_status_for_error(int number) {
  return number & 0xFF;
}

}  // namespace kw::os

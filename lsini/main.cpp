// kw_lsini: writes "ls.ini" from a leap-second list (see --help).
#include <chrono>
#include <string>
#include <vector>

#include "lsini/lsini.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  kw::os::prepare_process();
  const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
  return kw::run_lsini(std::vector<std::string>(argv + 1, argv + argc),
                       now.time_since_epoch().count());
}

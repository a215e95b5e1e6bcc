// kw_lsini: writes "ls.ini" from a leap-second list (see --help).
#include <chrono>
#include <string>
#include <vector>

#include "lsini/lsini.h"

int main(int argc, char** argv) {
  constexpr long long kMjdOf1970 = 40587;
  const auto days = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
  const long long today = days.time_since_epoch().count() + kMjdOf1970;
  return kw::run_lsini(std::vector<std::string>(argv + 1, argv + argc), today);
}

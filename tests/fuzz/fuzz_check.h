// Shared parts of the fuzz targets: a check that stops the fuzzer with a
// message, and a scratch directory that is the current directory. (Files
// are read and written with the tests' own helpers, support/files.h.)
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>

// A property every input must keep; a broken one aborts, so that the fuzzer
// keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)

namespace kw::fuzz {

// A directory of this process's own, made once and entered; kept for the
// life of the process (the fuzzer runs many inputs in it).
inline const std::filesystem::path& scratch_directory() {
  static const std::filesystem::path dir = [] {
    auto path = std::filesystem::temp_directory_path() /
                ("kw_fuzz_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(path);
    std::filesystem::current_path(path);
    return path;
  }();
  return dir;
}

}  // namespace kw::fuzz

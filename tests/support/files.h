// Temporary directory trees and whole-file helpers for the tests.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>

namespace kw::test {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Changes the current directory for the lifetime of the object.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::filesystem::path& dir);
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;
  ~ScopedCwd();

 private:
  std::filesystem::path previous_;
};

void write_file(const std::filesystem::path& file, std::string_view bytes);

// The names of the entries of `dir`.
std::set<std::string> names_in(const std::filesystem::path& dir);
std::string read_file(const std::filesystem::path& file);

}  // namespace kw::test

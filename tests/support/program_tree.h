// A working tree as the program expects it, for running the built program
// the way a user does: root/site/run holds "ls.ini" (the shipped one), and
// the data file is root/KW_PVZ.DAT, two levels above.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/leap_tables.h"
#include "support/run_log.h"
#include "support/run_program.h"

namespace kw::test {

// The records, each followed by CR LF.
inline std::string lines(const std::vector<std::string>& records) {
  std::string text;
  for (const auto& r : records) text += r + "\r\n";
  return text;
}

// Whether `text` is nothing but whole copies of `record` (CR LF and all):
// an output that ends at a whole record, none of them cut or mixed.
inline bool whole_records_of(const std::string& text, const std::string& record) {
  if (text.size() % record.size() != 0) return false;
  for (std::size_t at = 0; at < text.size(); at += record.size()) {
    if (text.compare(at, record.size(), record) != 0) return false;
  }
  return true;
}

class Tree {
 public:
  Tree() {
    std::filesystem::create_directories(work());
    write_file(work() / "ls.ini", shipped_table_text());
  }
  std::filesystem::path root() const { return dir_.path(); }
  std::filesystem::path work() const { return dir_.path() / "site" / "run"; }
  std::filesystem::path data() const { return dir_.path() / "KW_PVZ.DAT"; }

  std::string output() const { return read_file(work() / "new.txt"); }
  std::string log() const { return read_file(work() / "lsconv.lst"); }

  RunResult run(const RunOptions& options = {}) const {
    return run_program(KW_TAI2UTC_PATH, work(), options);
  }

 private:
  TempDir dir_;
};

}  // namespace kw::test

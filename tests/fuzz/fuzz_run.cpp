// Fuzz target: the whole run on a generated data file, with the real
// leap-second table.
//
// Properties: the run ends normally or with one failure line; "new.txt"
// holds only whole records of 36 printable characters and CR LF; the log
// holds the start line, and the end line exactly when the run ended
// normally; a normal run writes one record for every non-blank line; the
// data file is not changed.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "conversion/lsconv.h"
#include "fuzz_check.h"
#include "records/failure.h"
#include "support/files.h"
#include "support/leap_tables.h"
#include "support/run_log.h"

namespace {

namespace fs = std::filesystem;

using kw::test::kEnd;
using kw::test::kStart;

// Lines with something in the first 38 columns.
std::size_t records_in(std::string_view data) {
  std::size_t count = 0;
  while (!data.empty()) {
    const std::size_t end = data.find('\n');
    std::string_view line = data.substr(0, end);
    if (end != std::string_view::npos && !line.empty() && line.back() == '\r' &&
        line.size() <= 39) {
      line.remove_suffix(1);
    }
    line = line.substr(0, 38);
    if (line.find_first_not_of(" \t") != std::string_view::npos) ++count;
    if (end == std::string_view::npos) break;
    data.remove_prefix(end + 1);
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fs::path work = [] {
    const fs::path& root = kw::fuzz::scratch_directory();
    fs::create_directories(root / "site" / "run");
    fs::current_path(root / "site" / "run");
    kw::test::write_file("ls.ini", kw::test::shipped_table_text());
    return root / "site" / "run";
  }();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  kw::test::write_file("../../KW_PVZ.DAT", bytes);
  fs::remove("new.txt");
  fs::remove("lsconv.lst");

  bool ended_normally = true;
  try {
    kw::KW_TAI2UTC();
  } catch (const kw::RunStop& stop) {
    ended_normally = false;
    const std::string line = stop.line();
    FUZZ_CHECK(line.rfind("forrtl: severe (", 0) == 0);
    FUZZ_CHECK(stop.status() == 24 || stop.status() == 59 || stop.status() == 64);
    FUZZ_CHECK(line.find(", unit 1, file ..\\..\\KW_PVZ.DAT") != std::string::npos);
  }

  const std::string log = kw::test::read_file("lsconv.lst");
  FUZZ_CHECK(log == (ended_normally ? kStart + kEnd : kStart));
  const std::string out = fs::exists("new.txt") ? kw::test::read_file("new.txt") : std::string();
  FUZZ_CHECK(out.size() % 38 == 0);
  for (std::size_t at = 0; at < out.size(); at += 38) {
    for (std::size_t i = 0; i < 36; ++i) FUZZ_CHECK(out[at + i] >= ' ' && out[at + i] <= '~');
    FUZZ_CHECK(out.compare(at + 36, 2, "\r\n") == 0);
  }
  if (ended_normally) FUZZ_CHECK(out.size() / 38 == records_in(bytes));
  FUZZ_CHECK(kw::test::read_file("../../KW_PVZ.DAT") == bytes);
  return 0;
}

// Record units on real files: where a record ends, what is kept of it, the
// end-of-file test, and where an output file is cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "records/failure.h"
#include "records/units.h"
#include "support/files.h"

namespace kw {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;

std::vector<std::string> records_of(const std::string& bytes, std::size_t width) {
  TempDir dir;
  const auto file = dir.path() / "data";
  write_file(file, bytes);
  InputUnit unit(1, file.string());
  std::vector<std::string> records;
  while (!unit.at_end()) {
    std::string line(width, '?');
    unit.read_record(line.data(), width);
    records.push_back(line);
  }
  unit.close();
  return records;
}

std::string pad(std::string s, std::size_t width = 8) {
  s.resize(width, ' ');
  return s;
}

struct SplitCase {
  std::string bytes;
  std::vector<std::string> records;  // as kept, before padding to 8
};

TEST(InputUnit, SplitsRecordsAndKeepsOnlyTheirStart) {
  const SplitCase cases[] = {
      {"", {}},
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"abc", {"abc"}},              // no line end after the last record
      {"a\r", {"a\r"}},              // a CR at the end of the data is kept
      {"a\r\r\n", {"a\r"}},          // only the CR before the LF goes
      {"a\rb\rc\r", {"a\rb\rc\r"}},  // CR-only line ends are no line ends
      {"\n\n", {"", ""}},
      {"123456789xyz\r\nq", {"12345678", "q"}},
      {"1234567\r\n", {"1234567"}},
      {"12345678\r\n", {"12345678"}},  // the CR is the ninth character
      {std::string("\0\0\n", 3), {std::string("\0\0", 2)}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> expected;
    for (const auto& r : c.records) expected.push_back(pad(r));
    EXPECT_EQ(records_of(c.bytes, 8), expected) << '"' << c.bytes << '"';
  }
}

TEST(InputUnit, RecordLongerThanAnyBufferKeepsItsStart) {
  std::string bytes = "start";
  bytes.append(3'000'000, 'x');
  bytes += "\r\nnext\r\n";
  const std::vector<std::string> expected = {pad("startxxx"), pad("next")};
  EXPECT_EQ(records_of(bytes, 8), expected);
}

// Records as a batch reads them: whole ones straight into its store, as
// they stand, the rest one at a time; each kept as its first 38 columns
// (a carriage return before its line feed left out), then blanks.
std::vector<std::string> records_read_whole(const std::string& bytes, std::size_t room) {
  TempDir dir;
  const auto file = dir.path() / "data";
  write_file(file, bytes);
  InputUnit unit(1, file.string());
  std::vector<char> store(room);
  std::vector<std::string> records;
  for (;;) {
    bool ended = false;
    const std::size_t taken = unit.read_whole_records(store.data(), room, ended);
    for (std::size_t at = 0; at < taken;) {
      const auto* end = static_cast<const char*>(std::memchr(&store[at], '\n', taken - at));
      EXPECT_NE(end, nullptr) << "a record without its line feed";
      if (end == nullptr) break;
      std::string record(static_cast<const char*>(store.data() + at), end);
      if (!record.empty() && record.back() == '\r') record.pop_back();
      records.push_back(pad(record.substr(0, 38), 38));
      at = static_cast<std::size_t>(end - store.data()) + 1;
    }
    if (taken > 0) continue;
    if (ended || unit.at_end()) break;
    std::string line(39, '?');
    unit.read_record(line.data(), 39);
    records.push_back(line.substr(0, 38));
  }
  unit.close();
  return records;
}

TEST(InputUnit, RecordsTakenInBulkAreTheRecordsReadOneByOne) {
  std::vector<std::string> inputs = {
      "",
      "a\nb\n",
      "a\r\nb\r\n",
      "abc",
      "a\r",
      "a\r\r\n",
      "\n\n",
      "\r\n",
      std::string(37, '7') + "\r\n" + std::string(38, '8') + "\r\n" + std::string(39, '9') + "\r\n",
      std::string(47, 'x') + "\n" + std::string(48, 'y') + "\n" + std::string(64, 'z') + "\n" +
          std::string(200, 'w') + "\r\nlast"};
  // Records of every length to 120, either line end, some CRs inside, over
  // several fills of the input buffer, ending with and without a line end.
  std::uint32_t state = 12345;
  const auto next = [&state](std::uint32_t n) {
    state = state * 1103515245U + 12345U;
    return (state >> 8) % n;
  };
  for (const bool last_line_end : {true, false}) {
    std::string bytes;
    while (bytes.size() < 700'000) {
      const std::uint32_t length = next(4) == 0 ? next(121) : 36 + next(5);
      for (std::uint32_t i = 0; i < length; ++i) bytes += "0123456789 .-\r"[next(14)];
      bytes += next(3) == 0 ? "\n" : "\r\n";
    }
    if (!last_line_end) bytes += "61 02 03 0.1 0.2 0.3\r";
    inputs.push_back(bytes);
  }
  for (const auto& bytes : inputs) {
    std::vector<std::string> expected;
    for (const auto& r : records_of(bytes, 39)) expected.push_back(r.substr(0, 38));
    // A store of a few records, and of many.
    for (const std::size_t room : {100, 1 << 17}) {
      const auto got = records_read_whole(bytes, room);
      const std::string context =
          std::to_string(bytes.size()) + " bytes, " + std::to_string(room) + " at a time";
      ASSERT_EQ(got.size(), expected.size()) << context;
      const auto diff = std::mismatch(got.begin(), got.end(), expected.begin());
      EXPECT_TRUE(diff.first == got.end())
          << context << ", record " << (diff.first - got.begin()) << ": \"" << *diff.first
          << "\" instead of \"" << *diff.second << '"';
    }
  }
}

TEST(InputUnit, ReadingPastTheEndIsAnEndOfFileFailure) {
  TempDir dir;
  const auto file = dir.path() / "data";
  write_file(file, "x\n");
  InputUnit unit(1, file.string());
  char line[4];
  unit.read_record(line, 4);
  EXPECT_TRUE(unit.at_end());
  try {
    unit.read_record(line, 4);
    FAIL() << "no failure";
  } catch (const RunStop& stop) {
    EXPECT_EQ(std::string(stop.line()),
              "forrtl: severe (24): end-of-file during read, unit 1, file " + file.string());
    EXPECT_EQ(stop.status(), 24);
  }
}

// A file of 20,000 records of 36 bytes (720,000 bytes, more than the
// input buffer holds), whose size changes once the first record is read,
// read one record at a time or in bulk, as a unit opened by name or as a
// file named on the command line (a stream read from its start): a file cut short is a failed read
// (error 39) where the reading finds it cut, and the record cut is not
// taken (the bytes a read took before the cut are records read); a file
// that grows is read to its new end.
struct ChangedWhileReadCase {
  const char* what;
  std::uint64_t new_size;
  bool fails;  // the read fails
};

constexpr std::size_t kChangedRecordSize = 36;

// Record i of the file: its number, blanks, x's, CR LF.
std::string changed_record(std::size_t i) {
  std::string text = std::to_string(1'000'000 + i).substr(1) + " ";
  text.resize(kChangedRecordSize - 2, 'x');
  return text + "\r\n";
}

// Reads `unit` to its end, one record at a time or in bulk, into `taken`
// (each record with CR LF), calling `change` after the first read; the
// line of the failure that stopped it, if one did.
std::string read_changing(InputUnit& unit, bool bulk, const std::function<void()>& change,
                          std::vector<std::string>& taken, std::size_t room) {
  std::vector<char> store(room);
  try {
    for (bool first = true;; first = false) {
      bool ended = false;
      const std::size_t count = bulk ? unit.read_whole_records(store.data(), room, ended) : 0;
      for (std::size_t at = 0; at < count; at += kChangedRecordSize) {
        taken.emplace_back(&store[at], kChangedRecordSize);
      }
      if (count == 0) {
        if (ended || unit.at_end()) return "";
        std::string line(kChangedRecordSize, '?');
        unit.read_record(line.data(), kChangedRecordSize);
        taken.push_back(line.substr(0, kChangedRecordSize - 2) + "\r\n");
      }
      if (first) change();
    }
  } catch (const RunStop& stop) {
    return stop.line();
  }
}

TEST(InputUnit, AFileCutWhileReadIsAFailedRead) {
  constexpr std::size_t kCount = 20'000;
  constexpr std::size_t kRoom = 1 << 17;
  std::string bytes;
  for (std::size_t i = 0; i < kCount; ++i) bytes += changed_record(i);
  const ChangedWhileReadCase cases[] = {
      {"cut inside a record", 400'010, true},
      {"cut at the end of a record", 399'996, true},
      {"cut inside what the first read took", 100'000, true},
      {"cut to nothing", 0, true},
      {"as it was", bytes.size(), false},
      {"grown by ten records", bytes.size() + 10 * kChangedRecordSize, false},
  };
  for (const int mode : {0, 1, 2, 3}) {
    const bool bulk = mode % 2 == 1;
    const bool stream = mode >= 2;
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (bulk ? ", in bulk" : ", one by one") +
                   (stream ? ", a stream" : ""));
      TempDir dir;
      const auto file = dir.path() / "data";
      write_file(file, bytes);
      os::OpenError error = os::OpenError::none;
      std::string why;
      InputUnit unit = stream ? InputUnit(1, file.string(),
                                          os::File::open_to_read(file.string(), error, why), true)
                              : InputUnit(1, file.string());
      const auto change = [&] {
        std::string grown = bytes;
        for (std::size_t i = kCount; i * kChangedRecordSize < c.new_size; ++i) {
          grown += changed_record(i);
        }
        if (c.new_size > bytes.size()) write_file(file, grown);
        if (c.new_size < bytes.size()) std::filesystem::resize_file(file, c.new_size);
      };
      std::vector<std::string> taken;
      const std::string failure = read_changing(unit, bulk, change, taken, kRoom);
      // The first read takes a buffer (one by one) or a store (in bulk):
      // the reading finds the file cut where that read ended, or later.
      const std::uint64_t first_read = bulk ? kRoom : std::uint64_t{1} << 18;
      const std::uint64_t found_cut = std::max(c.new_size, first_read);
      EXPECT_EQ(failure,
                c.fails
                    ? "forrtl: severe (39): error during read, unit 1, file " + file.string() +
                          " (the file ended at byte " + with_thousands(found_cut) + " of the " +
                          with_thousands(bytes.size()) + " it had: it was cut while it was read)"
                    : "");
      ASSERT_EQ(taken.size(), (c.fails ? found_cut : c.new_size) / kChangedRecordSize);
      for (std::size_t i = 0; i < taken.size(); ++i) {
        ASSERT_EQ(taken[i], changed_record(i)) << "record " << i;
      }
    }
  }
}

std::string write_records(const std::string& old_bytes, const std::vector<std::string>& records,
                          bool create_first = true) {
  TempDir dir;
  const auto file = dir.path() / "out";
  if (create_first) write_file(file, old_bytes);
  {
    OutputUnit unit(2, file.string());
    for (const auto& r : records) unit.write_record(r);
    unit.close();
  }
  return read_file(file);
}

TEST(OutputUnit, CutsRightAfterTheFirstRecordOnly) {
  const std::string old = "old old old old old old\r\nmore old\r\n";
  EXPECT_EQ(write_records(old, {"ab"}), "ab\r\n");
  EXPECT_EQ(write_records(old, {"ab", "cd"}), "ab\r\ncd\r\n");
  EXPECT_EQ(write_records(old, {}), old);  // nothing written: nothing cut
  EXPECT_EQ(write_records("", {}, false), "");
  std::vector<std::string> many(100'000, std::string(36, '7'));  // several buffers
  const std::string written = write_records(old, many);
  EXPECT_EQ(written.size(), 100'000U * 38U);
  EXPECT_EQ(written.substr(0, 38), std::string(36, '7') + "\r\n");
}

struct OpenFailureCase {
  const char* name;      // relative to the test directory
  const char* expected;  // the failure line
};

TEST(OpenUnit, RefusedOpensAreReportedByKind) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "a_directory");
  write_file(dir.path() / "plain", "");
  std::vector<OpenFailureCase> cases = {
      {"missing_dir/x", "forrtl: severe (602): file not found"},
      {"missing_dir\\x", "forrtl: severe (602): file not found"},
      {"plain/x", "forrtl: severe (602): file not found"},
      {"a_directory", "forrtl: severe (600): access not allowed"},
  };
#ifdef _WIN32
  // Characters no Windows file name may hold.
  for (const char* name : {"a<b", "a>b", "a|b", "a\"b", "a?b", "a*b"}) {
    cases.push_back({name, nullptr});
  }
#else
  std::filesystem::create_symlink("missing_dir/x", dir.path() / "dangling");
  cases.push_back({"dangling", "forrtl: severe (602): file not found"});
#endif
  test::ScopedCwd cwd(dir.path());
  for (const auto& c : cases) {
    const std::string expected =
        c.expected != nullptr
            ? std::string(c.expected)
            : "forrtl: severe (43): file name specification error, unit 7, file " +
                  std::string(c.name);
    try {
      OutputUnit unit(7, c.name);
      ADD_FAILURE() << c.name << " opened";
    } catch (const RunStop& stop) {
      EXPECT_EQ(std::string(stop.line()), expected) << c.name;
    }
  }
  const std::string long_name(5000, 'n');
  try {
    InputUnit unit(1, long_name);
    ADD_FAILURE() << "a 5000-character name opened";
  } catch (const RunStop& stop) {
    EXPECT_EQ(std::string(stop.line()),
              "forrtl: severe (43): file name specification error, unit 1, file " + long_name);
    EXPECT_EQ(stop.status(), 43);
  }
}

}  // namespace
}  // namespace kw

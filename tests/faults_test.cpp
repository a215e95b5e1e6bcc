// The built program when the system fails it, and on odd data files. In
// every failure: one clear line on standard error, a nonzero exit status,
// no end line in the log, every record written before the failure still
// in "new.txt" (and no part of a record after them), and no hang.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/leap_tables.h"
#include "support/messages.h"
#include "support/program_tree.h"
#include "support/run_program.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using test::kEnd;
using test::kStart;
using test::Tree;

const std::string kRecord = "96 01 05 0 0 0\n";
const std::string kConverted = "96 01 05  0.00000  0.00000 30.000000\r\n";

std::string repeat(const std::string& text, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += text;
  return all;
}

struct Fault {
  const char* what;
  std::function<void(const Tree&)> arrange;
  test::RunOptions options;
  std::string error;                  // the one line on standard error
  int status;                         // the exit status
  std::optional<std::string> output;  // new.txt afterwards; nullopt: not there
  bool log_expected = true;           // the log exists (with its start line only)
};

// Under a file-size limit, records with a field of asterisks: as in a run
// converting and writing one record at a time, the error 63 lines are
// those of the records up to the one whose write failed, then the failure.
TEST(Faults, Error63LinesStopAtTheFailedWrite) {
  const std::string wide = "96 01 05 1000 0 0\n";
  const std::string wide_converted = "96 01 05*********  0.00000 30.000000\r\n";
  // Every tenth record too wide, or every second one (standard error, a
  // file here, stays below the limit too).
  for (const int every : {10, 2}) {
    const Tree tree;
    const std::string group = repeat(kRecord, every - 1) + wide;
    test::write_file(tree.data(), repeat(group, 20'000 / every));
    const test::RunResult result = tree.run({.max_file_size = 100'000});
    ASSERT_EQ(result.exit_status, 38) << result.standard_error.substr(0, 400);
    const std::string overflow =
        "forrtl: error (63): output conversion error, unit 2, file new.txt\n";
    const std::string failure =
        "forrtl: severe (38): error during write, unit 2, file new.txt (File too large)\n";
    const std::string& err = result.standard_error;
    ASSERT_GE(err.size(), failure.size());
    EXPECT_EQ(err.substr(err.size() - failure.size()), failure);
    const std::string kept = tree.output();
    ASSERT_EQ(kept.size() % kConverted.size(), 0U);
    const std::size_t records = kept.size() / kConverted.size();
    const std::string converted_group = repeat(kConverted, every - 1) + wide_converted;
    EXPECT_EQ(kept, repeat(converted_group, 20'000).substr(0, kept.size()));
    // The records kept and the one whose write failed.
    const std::size_t reported = (records + 1) / static_cast<std::size_t>(every);
    EXPECT_EQ(err, repeat(overflow, static_cast<int>(reported)) + failure) << every;
  }
}

TEST(Faults, EachFailureIsOneLineAndKeepsWhatWasWritten) {
  const std::string refused = "forrtl: severe (600): access not allowed\n";
  const std::vector<Fault> faults = {
      {"a full disk after some records (a 100,000-byte file size limit, SIGXFSZ as a shell "
       "leaves it)",
       [](const Tree& tree) { test::write_file(tree.data(), repeat(kRecord, 20'000)); },
       {.max_file_size = 100'000},
       "forrtl: severe (38): error during write, unit 2, file new.txt (File too large)\n",
       38,
       repeat(kConverted, 100'000 / 38)},
      {"new.txt on a full device",
       [](const Tree& tree) {
         test::write_file(tree.data(), repeat(kRecord, 20'000));
         fs::create_symlink("/dev/full", tree.work() / "new.txt");
       },
       {},
       "forrtl: severe (38): error during write, unit 2, file new.txt (No space left on "
       "device)\n",
       38,
       ""},
      {"ls.ini a directory",
       [](const Tree& tree) {
         fs::remove(tree.work() / "ls.ini");
         fs::create_directory(tree.work() / "ls.ini");
       },
       {},
       refused,
       88,
       std::nullopt},
      {"lsconv.lst a directory",
       [](const Tree& tree) {
         test::write_file(tree.data(), kRecord);
         fs::create_directory(tree.work() / "lsconv.lst");
       },
       {},
       refused,
       88,
       std::nullopt,
       false},
      {"new.txt a directory",
       [](const Tree& tree) {
         test::write_file(tree.data(), kRecord);
         fs::create_directory(tree.work() / "new.txt");
       },
       {},
       refused,
       88,
       std::nullopt},
      {"the data file a directory",
       [](const Tree& tree) { fs::create_directory(tree.data()); },
       {},
       refused,
       88,
       std::nullopt},
      {"the data file in a missing directory",
       [](const Tree& tree) { fs::create_symlink("no_such_directory/KW_PVZ.DAT", tree.data()); },
       {},
       "forrtl: severe (602): file not found\n",
       90,
       std::nullopt},
      {"no handle left for new.txt",
       [](const Tree& tree) { test::write_file(tree.data(), kRecord); },
       {.max_open_files = 5},
       "forrtl: severe (603): too many open files\n",
       91,
       std::nullopt},
      {"a data file the system refuses to the user",
       [](const Tree& tree) {
         test::write_file(tree.data(), kRecord);
         fs::permissions(tree.data(), fs::perms::none);
       },
       {.as_unprivileged = true},
       refused,
       88,
       std::nullopt},
      {"new.txt a FIFO that nothing reads",
       [](const Tree& tree) {
         test::write_file(tree.data(), kRecord);
         ASSERT_EQ(::mkfifo((tree.work() / "new.txt").c_str(), 0666), 0);
       },
       {},
       refused + "KW_TAI2UTC: \"new.txt\": a FIFO that no program reads\n",
       88,
       std::nullopt},
      {"a new.txt the system refuses to the user",
       [](const Tree& tree) {
         test::write_file(tree.data(), kRecord);
         test::write_file(tree.work() / "new.txt", "old");
         fs::permissions(tree.work() / "new.txt", fs::perms::none);
       },
       {.as_unprivileged = true},
       refused,
       88,
       std::nullopt},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.what);
    Tree tree;
    // As root such a child runs as "nobody", for whom the permissions count.
    for (const fs::path& dir : {tree.root(), tree.root() / "site", tree.work()}) {
      if (fault.options.as_unprivileged) test::let_unprivileged_write(dir);
    }
    fs::permissions(tree.work() / "ls.ini",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fault.arrange(tree);
    const auto result = tree.run(fault.options);
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.standard_error, fault.error);
    EXPECT_EQ(result.exit_status, fault.status);
    if (fault.log_expected) {
      EXPECT_EQ(tree.log(), kStart);
    } else {
      EXPECT_FALSE(fs::is_regular_file(tree.work() / "lsconv.lst"));
    }
    const fs::path out = tree.work() / "new.txt";
    if (!fault.output) {
      EXPECT_TRUE(!fs::exists(out) || !fs::is_regular_file(out) ||
                  fs::status(out).permissions() == fs::perms::none);
    } else if (fs::is_regular_file(out)) {
      EXPECT_TRUE(tree.output() == *fault.output)
          << "new.txt has " << tree.output().size() << " bytes, not " << fault.output->size();
    }
  }
}

// Pipes and devices have no size, so the end-of-file test is true at once:
// they are empty data files, whatever a writer may send.
TEST(OddFiles, PipesAndDevicesAreEmptyDataFiles) {
  const std::vector<std::pair<const char*, std::function<void(const Tree&)>>> odd = {
      {"a FIFO without a writer",
       [](const Tree& tree) { ASSERT_EQ(::mkfifo(tree.data().c_str(), 0600), 0); }},
      {"/dev/null", [](const Tree& tree) { fs::create_symlink("/dev/null", tree.data()); }},
      {"/dev/zero", [](const Tree& tree) { fs::create_symlink("/dev/zero", tree.data()); }},
  };
  for (const auto& [what, arrange] : odd) {
    SCOPED_TRACE(what);
    Tree tree;
    arrange(tree);
    test::write_file(tree.work() / "new.txt", "old output\r\n");
    const auto result = tree.run({.timeout_seconds = 20});
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_EQ(result.standard_error, "");
    EXPECT_EQ(tree.output(), "old output\r\n");  // no record: nothing written, nothing cut
    EXPECT_EQ(tree.log(), kStart + kEnd);
  }
}

// The user's own links are followed; one that leads to no file names an
// output to make, but never an input: no file is made for it.
TEST(OddFiles, TheUsersOwnLinksAreFollowed) {
  {
    const Tree tree;
    test::write_file(tree.data(), kRecord);
    fs::create_symlink("../made.txt", tree.work() / "new.txt");
    EXPECT_EQ(tree.run().exit_status, 0);
    EXPECT_EQ(test::read_file(tree.root() / "site" / "made.txt"), kConverted);
  }
  {
    const Tree tree;
    fs::create_symlink("gone.dat", tree.data());
    const test::RunResult result = tree.run();
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_FALSE(fs::exists(tree.root() / "gone.dat"));
    EXPECT_EQ(tree.log(), kStart + kEnd);
  }
  {
    const Tree tree;
    fs::remove(tree.work() / "ls.ini");
    fs::create_symlink("gone.ini", tree.work() / "ls.ini");
    EXPECT_EQ(tree.run().exit_status, 1);
    EXPECT_FALSE(fs::exists(tree.work() / "gone.ini"));
  }
}

// A FIFO as new.txt with a reader gets the records, as a file would.
TEST(OddFiles, AFifoWithAReaderGetsTheRecords) {
  const Tree tree;
  test::write_file(tree.data(), repeat(kRecord, 5000));
  ASSERT_EQ(::mkfifo((tree.work() / "new.txt").c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = test::read_file(tree.work() / "new.txt"); });
  // The reader is there before the run opens the FIFO.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const test::RunResult result = tree.run({.timeout_seconds = 20});
  reader.join();
  EXPECT_EQ(result.exit_status, 0) << result.standard_error;
  EXPECT_TRUE(received == repeat(kConverted, 5000));
}

// A file that grows while it is read: the end-of-file test asks the size
// again when the reading reaches it, so records appended meanwhile are
// converted too; the run ends once the file stops growing.
TEST(OddFiles, AGrowingDataFileIsReadUntilItStopsGrowing) {
  Tree tree;
  constexpr int kFirst = 200'000;
  test::write_file(tree.data(), repeat(kRecord, kFirst));
  std::atomic<int> appended{0};
  std::thread writer([&] {
    std::ofstream out(tree.data(), std::ios::binary | std::ios::app);
    for (int i = 0; i < 200; ++i) {
      out << repeat(kRecord, 500) << std::flush;  // whole records only
      appended += 500;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  const auto result = tree.run({.timeout_seconds = 60});
  writer.join();
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_error, "");
  const std::string out = tree.output();
  ASSERT_EQ(out.size() % kConverted.size(), 0U);
  const std::size_t records = out.size() / kConverted.size();
  EXPECT_GE(records, static_cast<std::size_t>(kFirst));
  EXPECT_LE(records, static_cast<std::size_t>(kFirst + appended));
  EXPECT_TRUE(out == repeat(kConverted, static_cast<int>(records)));
  EXPECT_EQ(tree.log(), kStart + kEnd);
}

// A failed write on standard output cuts back only what the run wrote:
// what the file held before stays, whether the run appends to it (">>")
// or writes after what another program wrote ("{ header; kw_tai2utc; } >").
TEST(Faults, AFailedWriteOnStandardOutputKeepsWhatTheFileHeld) {
  const std::string before = repeat("an earlier line of the log\n", 30'000);
  for (const bool append : {true, false}) {
    SCOPED_TRACE(append ? "appended" : "written after");
    const Tree tree;
    test::write_file(tree.data(), repeat(kRecord, 20'000));
    const fs::path log = tree.root() / "log";
    test::write_file(log, before);
    const int fd = ::open(log.c_str(), O_WRONLY | O_CLOEXEC | (append ? O_APPEND : 0));
    ASSERT_GE(::lseek(fd, 0, append ? SEEK_SET : SEEK_END), 0);
    const test::RunResult result = test::run_program(
        KW_TAI2UTC_PATH, tree.work(),
        {.max_file_size = 1'000'000, .arguments = {"../../KW_PVZ.DAT"}, .output_descriptor = fd});
    ::close(fd);
    EXPECT_EQ(result.exit_status, 38) << result.standard_error;
    const std::string after = test::read_file(log);
    ASSERT_GE(after.size(), before.size());
    EXPECT_TRUE(after.substr(0, before.size()) == before) << "the earlier bytes are not kept";
    const std::size_t records = (after.size() - before.size()) / kConverted.size();
    EXPECT_GT(records, 0U);
    EXPECT_TRUE(after.substr(before.size()) == repeat(kConverted, static_cast<int>(records)));
  }
}

// A stream that pauses (a socket with a receive timeout, a descriptor
// handed over in non-blocking mode) is read to its end: every worker ends,
// every record is converted.
TEST(Faults, AStreamThatPausesIsReadToItsEnd) {
  const Tree tree;
  const auto old_handler = std::signal(SIGPIPE, SIG_IGN);
  const std::string data = repeat(kRecord, 40'000);
  for (const bool socket : {true, false}) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      SCOPED_TRACE(socket ? "socket with a receive timeout" : "non-blocking pipe");
      int ends[2];
      ASSERT_EQ(socket ? ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends)
                       : ::pipe2(ends, O_CLOEXEC),
                0);
      const timeval timeout{0, 100'000};
      if (socket) ::setsockopt(ends[0], SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
      if (!socket) ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
      std::thread writer([&] {
        for (std::size_t at = 0; at < data.size(); at += 200'000) {
          const std::string_view piece = std::string_view(data).substr(at, 200'000);
          for (std::size_t done = 0; done < piece.size();) {
            const ssize_t n = ::write(ends[1], piece.data() + done, piece.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(150));
        }
        ::close(ends[1]);
      });
      const test::RunResult result = test::run_program(
          KW_TAI2UTC_PATH, tree.work(),
          {.timeout_seconds = 20, .arguments = {"-"}, .input_descriptor = ends[0]});
      ::close(ends[0]);  // a writer left waiting on a hung run fails now
      writer.join();
      EXPECT_FALSE(result.timed_out);
      EXPECT_EQ(result.exit_status, 0) << result.standard_error;
      EXPECT_TRUE(result.standard_output == repeat(kConverted, 40'000));
    }
  }
  std::signal(SIGPIPE, old_handler);
}

// No table, however large or endless, is read past its bound: such a
// table cannot be used (status 1), and memory stays that of the bound.
// (The fixed run reads a device as an empty file, as it reads the data.)
TEST(Faults, TablesAreReadWithABound) {
  const std::string too_large =
      "KW_TAI2UTC: \"ls.ini\" is larger than 1048576 bytes, more than any table holds; no record "
      "converted\n";
  const std::string empty =
      "KW_TAI2UTC: \"ls.ini\" holds no leap-second entry (the file is empty or blank); no "
      "record converted" +
      std::string(test::kWriteTable) + "\n";
  struct Table {
    const char* what;
    std::function<void(const Tree&)> arrange;
    const std::string& fixed_run;  // the line of each form
    const std::string& named_form;
  };
  const std::vector<Table> tables = {
      {"a sparse 8 GiB ls.ini",
       [](const Tree& tree) {
         test::write_file(tree.work() / "ls.ini", "1972 1 1 10\n");
         fs::resize_file(tree.work() / "ls.ini", std::uintmax_t{8} << 30);
       },
       too_large, too_large},
      {"one entry, then 2 MB of blanks",
       [](const Tree& tree) {
         test::write_file(tree.work() / "ls.ini", "1972 1 1 10.0" + std::string(2'000'000, ' '));
       },
       too_large, too_large},
      {"an endless device",
       [](const Tree& tree) {
         fs::remove(tree.work() / "ls.ini");
         fs::create_symlink("/dev/zero", tree.work() / "ls.ini");
       },
       empty, too_large},
  };
  for (const Table& table : tables) {
    SCOPED_TRACE(table.what);
    const Tree tree;
    table.arrange(tree);
    const test::RunResult fixed = tree.run({.timeout_seconds = 20});
    const test::RunResult named =
        tree.run({.timeout_seconds = 20, .arguments = {"../../KW_PVZ.DAT", "out"}});
    EXPECT_FALSE(fixed.timed_out || named.timed_out);
    EXPECT_EQ(fixed.exit_status, 1);
    EXPECT_EQ(named.exit_status, 1);
    EXPECT_EQ(fixed.standard_error, table.fixed_run);
    EXPECT_EQ(named.standard_error, table.named_form + "KW_TAI2UTC: \"out\" was not written\n");
  }
}

// Where the file system has no unnamed files, the named form's new file
// has a name from the start: a signal that ends the run removes it, and
// OUTPUT is as it was.
TEST(Faults, NoTemporaryOutlivesASignalWhereFilesHaveNames) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(::strsignal(signal));
    const test::TempDir dir;
    test::write_file(dir.path() / "ls.ini", test::shipped_table_text());
    test::write_file(dir.path() / "out.txt", "old contents\r\n");
    ASSERT_EQ(::mkfifo((dir.path() / "in").c_str(), 0600), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      ::setenv("LD_PRELOAD", KW_NO_TMPFILE, 1);
      ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
      if (::chdir(dir.path().c_str()) != 0) ::_exit(127);
      ::execl(KW_TAI2UTC_PATH, KW_TAI2UTC_PATH, "in", "out.txt", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const int writer = ::open((dir.path() / "in").c_str(), O_WRONLY | O_CLOEXEC);
    const std::string records = repeat(kRecord, 1000);
    EXPECT_EQ(::write(writer, records.data(), records.size()),
              static_cast<ssize_t>(records.size()));
    // The run is converting, its new file beside OUTPUT under a name.
    bool named = false;
    for (int wait = 0; wait < 200 && !named; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      for (const std::string& name : test::names_in(dir.path()))
        named = named || name.ends_with(".tmp");
    }
    EXPECT_TRUE(named) << "no named new file: the shim did not take";
    ::kill(child, signal);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(writer);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
    EXPECT_EQ(test::names_in(dir.path()), (std::set<std::string>{"in", "ls.ini", "out.txt"}));
    EXPECT_EQ(test::read_file(dir.path() / "out.txt"), "old contents\r\n");
  }
}

// Started without a standard error, the run's error lines go nowhere, not
// into a file the run opened in its place.
TEST(Faults, WithoutStandardErrorTheLogGetsOnlyItsLines) {
  const Tree tree;
  test::write_file(tree.data(), "96 01 05 1000.0 0 0\n");
  const test::RunResult result = tree.run({.closed_standard_error = true});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(tree.log(), kStart + kEnd);
}
}  // namespace
}  // namespace kw

namespace kw {
namespace {

// A named output stays as it was when the run is killed halfway, with no
// chance to clean up; nothing is left beside it.
TEST(Faults, ANamedOutputOutlivesAKilledRun) {
  const test::TempDir dir;
  test::write_file(dir.path() / "ls.ini", test::shipped_table_text());
  test::write_file(dir.path() / "out.txt", "old contents\r\n");
  const fs::path fifo = dir.path() / "in";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(dir.path().c_str()) != 0) ::_exit(127);
    ::execl(KW_TAI2UTC_PATH, KW_TAI2UTC_PATH, "in", "out.txt", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ASSERT_GT(child, 0);
  // The run opens the FIFO before its writer does, and waits for it: a
  // writer that opens without waiting finds it there as the reader.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  int writer = -1;
  for (int tries = 0; writer < 0 && tries < 500; ++tries) {
    writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (writer >= 0) {
    // Half a file's worth of records, then the writer stays: the run is
    // halfway, waiting for more.
    ::fcntl(writer, F_SETFL, 0);
    const auto old_handler = std::signal(SIGPIPE, SIG_IGN);  // a run gone is a failed write
    const std::string records = repeat("96 01 05 0.123456 -0.012345 -29.451350\n", 50'000);
    std::size_t written = 0;
    for (ssize_t n = 0; written < records.size() && n >= 0; written += static_cast<std::size_t>(n))
      n = ::write(writer, records.data() + written, records.size() - written);
    std::signal(SIGPIPE, old_handler);
    EXPECT_EQ(written, records.size());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (writer >= 0) ::close(writer);
  ASSERT_GE(writer, 0) << "the run did not wait for the FIFO's writer";
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(test::read_file(dir.path() / "out.txt"), "old contents\r\n");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"in", "ls.ini", "out.txt"}));
}

// The named form "kw_tai2utc in out.txt" in `dir`, its standard error in
// dir/errors: `meanwhile` runs once the run has opened its input, the FIFO
// "in", and so holds OUTPUT's folder and the file there; then the run gets
// one record and the input's end. The run's exit status, or -1 when it
// never opened its input or did not exit.
int named_run_with(const fs::path& dir, const std::function<void()>& meanwhile) {
  const fs::path fifo = dir / "in";
  const fs::path errors = dir / "errors";
  if (::mkfifo(fifo.c_str(), 0600) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (err < 0 || ::dup2(err, STDERR_FILENO) < 0 || ::chdir(dir.c_str()) != 0) ::_exit(127);
    ::execl(KW_TAI2UTC_PATH, KW_TAI2UTC_PATH, "in", "out.txt", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // The writer's open succeeds once the run has opened its input.
  int writer = -1;
  for (int tries = 0; writer < 0 && tries < 1000; ++tries) {
    writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer < 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (writer < 0) ::kill(child, SIGKILL);
  if (writer >= 0) {
    meanwhile();
    const bool written =
        ::write(writer, kRecord.data(), kRecord.size()) == static_cast<ssize_t>(kRecord.size());
    ::close(writer);
    if (!written) writer = -1;
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return writer >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Another program replaces OUTPUT, or makes it where there was none, while
// the run waits on its input: the run replaces nothing, ends with error 38
// saying so, and OUTPUT is the other program's file; nothing is left
// beside it.
TEST(Faults, AnOutputReplacedMeanwhileIsLeftAlone) {
  const std::string others = "another program's bytes\n";
  for (const bool existed : {true, false}) {
    SCOPED_TRACE(existed ? "OUTPUT replaced" : "OUTPUT made where there was none");
    const test::TempDir dir;
    test::write_file(dir.path() / "ls.ini",
                     test::read_file(fs::path(KW_EXAMPLES_DIR) / "station" / "run" / "ls.ini"));
    if (existed) test::write_file(dir.path() / "out.txt", "old contents\r\n");
    const int status = named_run_with(dir.path(), [&] {
      test::write_file(dir.path() / "other.new", others);
      fs::rename(dir.path() / "other.new", dir.path() / "out.txt");
    });
    EXPECT_EQ(status, 38);
    EXPECT_EQ(test::read_file(dir.path() / "errors"),
              "forrtl: severe (38): error during write, unit 2, file out.txt (another program "
              "replaced it meanwhile)\nKW_TAI2UTC: \"out.txt\" " +
                  std::string(existed ? "is left as it was\n" : "was not written\n"));
    EXPECT_EQ(test::read_file(dir.path() / "out.txt"), others);
    EXPECT_EQ(test::names_in(dir.path()),
              (std::set<std::string>{"errors", "in", "ls.ini", "out.txt"}));
  }
}

}  // namespace
}  // namespace kw

namespace kw {
namespace {

// ------------------------------------------------------------ signals

// The data file of a run writing tens of megabytes (26.6 MB of records),
// and how long such a run takes here, in microseconds: the shortest of
// three, the least slowed by other work on the machine.
long long write_a_long_data_file(const Tree& tree) {
  test::write_file(tree.data(), repeat(kRecord, 700'000));
  long long shortest = 0;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(tree.run().exit_status, 0);
    const long long took = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
    shortest = run == 0 ? took : std::min(shortest, took);
  }
  return shortest;
}

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// SIGINT, SIGTERM or SIGHUP at any moment of a run: new.txt, or a
// standard output redirected to a file, ends at a whole record.
TEST(Signals, ARunEndedBySignalLeavesItsOutputAtAWholeRecord) {
  const Tree tree;
  const long long whole_run = write_a_long_data_file(tree);
  struct Form {
    const char* what;
    std::vector<std::string> arguments;
    fs::path output;
  };
  const Form forms[] = {
      {"new.txt of the fixed run", {}, tree.work() / "new.txt"},
      {"standard output into a file", {"../../KW_PVZ.DAT"}, tree.root() / "out.txt"},
  };
  std::mt19937 random(20261210);
  constexpr int kRuns = 25;
  for (const Form& form : forms) {
    for (const int signal : kEndingSignals) {
      SCOPED_TRACE(std::string(form.what) + ", " + ::strsignal(signal));
      int cut = 0;
      int ended = 0;
      for (int run = 0; run < kRuns; ++run) {
        fs::remove(form.output);
        std::uniform_int_distribution<long long> moment(0, whole_run);
        const test::RunResult result =
            test::run_program(KW_TAI2UTC_PATH, tree.work(),
                              {.timeout_seconds = 20,
                               .arguments = form.arguments,
                               .standard_output = form.arguments.empty() ? fs::path() : form.output,
                               .signal = signal,
                               .signal_after_microseconds = static_cast<int>(moment(random))});
        ASSERT_FALSE(result.timed_out);
        // Ended by the signal, or done before it came.
        EXPECT_TRUE(result.end_signal == signal || result.exit_status == 0)
            << result.end_signal << " " << result.exit_status;
        if (result.end_signal == signal) ++ended;
        const std::string out = fs::exists(form.output) ? test::read_file(form.output) : "";
        if (!test::whole_records_of(out, kConverted)) ++cut;
      }
      EXPECT_EQ(cut, 0) << cut << " of " << kRuns << " outputs end inside a record";
      EXPECT_GE(ended, kRuns / 4) << "the signals came too late to tell";
    }
  }
}

// A run of the named form writing to a pipe, sent `signal` after
// `delay_us`: what it ended with, what the pipe got (nothing read when
// `reader_reads` is false: the pipe fills and the run waits on it), and
// how long it took.
struct PipeRun {
  test::RunResult result;
  std::string got;
  std::chrono::steady_clock::duration took{};
};

PipeRun run_into_pipe(const Tree& tree, int signal, int delay_us, bool reader_reads) {
  PipeRun run;
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) return run;
  std::thread reader;
  if (reader_reads) {
    reader = std::thread([&got = run.got, in = pipe[0]] {
      char buffer[1 << 16];
      ssize_t n = 0;
      while ((n = ::read(in, buffer, sizeof buffer)) > 0) {
        got.append(buffer, static_cast<std::size_t>(n));
      }
    });
  }
  const auto start = std::chrono::steady_clock::now();
  run.result = test::run_program(KW_TAI2UTC_PATH, tree.work(),
                                 {.timeout_seconds = 10,
                                  .arguments = {"../../KW_PVZ.DAT"},
                                  .output_descriptor = pipe[1],
                                  .signal = signal,
                                  .signal_after_microseconds = delay_us});
  run.took = std::chrono::steady_clock::now() - start;
  ::close(pipe[1]);
  if (reader.joinable()) reader.join();
  ::close(pipe[0]);
  return run;
}

// A run writing to a pipe: a signal ends it promptly, with the pipe at a
// whole record while its reader reads, and also when the reader stopped
// reading and the run waits on a full pipe.
TEST(Signals, ARunWritingToAPipeEndsPromptly) {
  const Tree tree;
  const long long whole_run = write_a_long_data_file(tree);
  std::mt19937 random(20261211);
  std::uniform_int_distribution<long long> moment(0, 2 * whole_run);
  constexpr int kRuns = 10;
  for (const int signal : kEndingSignals) {
    SCOPED_TRACE(::strsignal(signal));
    int cut = 0;
    for (int run = 0; run < kRuns; ++run) {
      const PipeRun read = run_into_pipe(tree, signal, static_cast<int>(moment(random)), true);
      ASSERT_FALSE(read.result.timed_out);
      EXPECT_TRUE(read.result.end_signal == signal || read.result.exit_status == 0);
      if (!test::whole_records_of(read.got, kConverted)) ++cut;
    }
    EXPECT_EQ(cut, 0) << cut << " of " << kRuns << " pipes end inside a record";
    const PipeRun stopped = run_into_pipe(tree, signal, 300'000, false);
    EXPECT_EQ(stopped.result.end_signal, signal) << "a run waiting on a full pipe";
    EXPECT_LT(stopped.took, std::chrono::seconds(3)) << "a run waiting on a full pipe";
  }
}

// ------------------------------------------------- standard files closed

struct ClosedAtStart {
  const char* what;
  const char* program;
  test::RunOptions options;
  int status;
  std::string error;   // standard error
  std::string output;  // out.txt afterwards
};

// "-" names a standard file as the process got it: one it was started
// without is refused as a file that cannot be opened, never read or
// written as the null device; files the run opens never take its place.
TEST(Faults, AStandardFileClosedAtStartIsRefusedAsDash) {
  const std::string refused = "forrtl: severe (600): access not allowed\n";
  const std::string old = "old contents\r\n";
  const std::string converted = "96 01 05  0.00000  0.00000 10.000000\r\n";
  const std::vector<ClosedAtStart> cases = {
      {"- as the data file",
       KW_TAI2UTC_PATH,
       {.arguments = {"--table", "ls.ini", "-", "out.txt"}, .closed_standard_input = true},
       88,
       refused + "KW_TAI2UTC: \"-\": standard input was closed when the program started\n" +
           "KW_TAI2UTC: \"out.txt\" is left as it was\n",
       old},
      {"- as the table",
       KW_TAI2UTC_PATH,
       {.arguments = {"--table", "-", "in.dat", "out.txt"}, .closed_standard_input = true},
       88,
       refused + "KW_TAI2UTC: \"-\": standard input was closed when the program started\n" +
           "KW_TAI2UTC: \"out.txt\" is left as it was\n",
       old},
      {"- as the output",
       KW_TAI2UTC_PATH,
       {.arguments = {"--table", "ls.ini", "in.dat"}, .closed_standard_output = true},
       88,
       refused + "KW_TAI2UTC: \"-\": standard output was closed when the program started\n",
       old},
      {"files named while all three are closed",
       KW_TAI2UTC_PATH,
       {.arguments = {"--table", "ls.ini", "in.dat", "out.txt"},
        .closed_standard_error = true,
        .closed_standard_input = true,
        .closed_standard_output = true},
       0,
       "",
       converted},
      {"the help",
       KW_TAI2UTC_PATH,
       {.arguments = {"--help"}, .closed_standard_output = true},
       38,
       "KW_TAI2UTC: cannot write to standard output: Bad file descriptor\n",
       old},
      {"kw_lsini's help",
       KW_LSINI_PATH,
       {.arguments = {"--help"}, .closed_standard_output = true},
       4,
       "KW_LSINI: cannot write to standard output: standard output was closed when the program "
       "started\n",
       old},
      {"kw_lsini's version",
       KW_LSINI_PATH,
       {.arguments = {"--version"}, .closed_standard_output = true},
       4,
       "KW_LSINI: cannot write to standard output: standard output was closed when the program "
       "started\n",
       old},
      {"- as kw_lsini's list",
       KW_LSINI_PATH,
       {.arguments = {"-"}, .closed_standard_input = true},
       1,
       "KW_LSINI: cannot read the list standard input: standard input was closed when the "
       "program started; nothing written\n",
       old},
  };
  for (const ClosedAtStart& c : cases) {
    SCOPED_TRACE(c.what);
    const test::TempDir dir;
    const std::string table = "1972 1 1 10.0\n";
    test::write_file(dir.path() / "ls.ini", table);
    test::write_file(dir.path() / "in.dat", kRecord);
    test::write_file(dir.path() / "out.txt", old);
    const test::RunResult result = test::run_program(c.program, dir.path(), c.options);
    EXPECT_EQ(result.exit_status, c.status);
    EXPECT_EQ(result.standard_error, c.error);
    EXPECT_EQ(test::read_file(dir.path() / "out.txt"), c.output);
    EXPECT_EQ(test::read_file(dir.path() / "ls.ini"), table);
    EXPECT_EQ(test::names_in(dir.path()), (std::set<std::string>{"in.dat", "ls.ini", "out.txt"}));
  }
}

// ---------------------------------------------- a first write refused whole

// Under "ulimit -f 0" the first write of each unit is refused whole:
// nothing is cut, and last run's files keep what they held.
TEST(Faults, AFirstWriteRefusedWholeKeepsLastRunsFiles) {
  const std::string last_output = repeat(kConverted, 100);  // 3,800 bytes
  const std::string last_log = kStart + kEnd;
  const std::string log_refused =
      "forrtl: severe (38): error during write, unit 50, file lsconv.lst (File too large)\n";
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    fs::path output;  // relative to the working folder
    std::string error;
  };
  const std::vector<Case> cases = {
      {"the fixed run", {}, "new.txt", log_refused},
      {"standard output opened onto an old file",
       {"../../KW_PVZ.DAT"},
       "out.txt",
       "forrtl: severe (38): error during write, unit 2, file - (File too large)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Tree tree;
    test::write_file(tree.data(), repeat(kRecord, 100));
    test::write_file(tree.work() / c.output, last_output);
    test::write_file(tree.work() / "lsconv.lst", last_log);
    // Standard output as "1<>out.txt" leaves it: at the file's start.
    const fs::path out = tree.work() / c.output;
    const int fd = ::open(out.c_str(), O_WRONLY | O_CLOEXEC);
    const test::RunResult result = test::run_program(
        KW_TAI2UTC_PATH, tree.work(),
        {.arguments = c.arguments, .output_descriptor = fd, .no_file_growth = true});
    ::close(fd);
    EXPECT_EQ(result.exit_status, 38);
    EXPECT_EQ(result.standard_error, c.error);
    EXPECT_TRUE(test::read_file(out) == last_output) << test::read_file(out).size() << " bytes";
    EXPECT_EQ(tree.log(), last_log);
  }
}

}  // namespace
}  // namespace kw

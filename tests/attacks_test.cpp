// What another user of the machine can try against root's runs: links
// planted in a folder others may write, links flipped and folders swapped
// while a run goes on, in bounded loops or at the run's worst moment. Root's files stay as they
// were, with their owners, and nothing is made in root's folders. Needs root and the user "nobody"
// (65534); reported as skipped otherwise.
#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/files.h"
#include "support/leap_tables.h"
#include "support/run_program.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
const std::string kPrecious = "root's own bytes\n";

// Runs `act` in a child process of user "nobody"; its exceptions count as
// failures.
void as_nobody(const std::function<void()>& act) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
    try {
      act();
    } catch (...) {
      ::_exit(1);
    }
    ::_exit(0);
  }
  int status = -1;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other user's step failed";
}

// The other user, repeating `step` in a process of its own until the
// object goes.
class Attacker {
 public:
  explicit Attacker(const std::function<void()>& step) : pid_(::fork()) {
    if (pid_ == 0) {
      if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
      for (;;) {
        try {
          step();
        } catch (...) {
        }
      }
    }
  }
  Attacker(const Attacker&) = delete;
  Attacker& operator=(const Attacker&) = delete;
  ~Attacker() {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_;
};

// Puts `link` in place of `name`, whatever is there, in one rename.
void flip(const fs::path& target, const fs::path& name) {
  const fs::path next = name.string() + ".next";
  std::error_code ignored;
  fs::remove(next, ignored);
  fs::create_symlink(target, next);
  fs::rename(next, name);
}

// A tree of three folders: root's own (0700, with root's files), one that
// every user may write (0777, root's), and the other user's.
class Scene {
 public:
  Scene() {
    for (const fs::path& dir : {mine(), shared(), theirs()}) fs::create_directory(dir);
    fs::permissions(mine(), fs::perms::owner_all);
    fs::permissions(shared(), fs::perms::all);
    EXPECT_EQ(::chown(theirs().c_str(), kNobody, kNobody), 0);
    test::write_file(mine() / "victim", kPrecious);
    fs::permissions(mine() / "victim", fs::perms::owner_read | fs::perms::owner_write);
  }
  fs::path mine() const { return dir_.path() / "mine"; }
  fs::path shared() const { return dir_.path() / "shared"; }
  fs::path theirs() const { return dir_.path() / "theirs"; }
  fs::path top() const { return dir_.path(); }

  // Whether root's folder holds only `victim`, as it was, and root's.
  bool untouched(const std::string& victim = "victim") const {
    struct stat info {};
    return test::names_in(mine()) == std::set<std::string>{victim} &&
           test::read_file(mine() / victim) == kPrecious &&
           ::stat((mine() / victim).c_str(), &info) == 0 && info.st_uid == 0 &&
           (info.st_mode & 07777) == 0600;
  }

 private:
  test::TempDir dir_;
};

std::string shipped_table() {
  return test::shipped_table_text();
}

// The shipped table less its last entry: one the list extends.
std::string older_table() {
  const std::string shipped = shipped_table();
  return shipped.substr(0, shipped.rfind("2017"));
}

class Attacks : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, with the user nobody as the other user";
    test::write_file(scene_.top() / "list", test::read_file(KW_LEAP_LIST));
  }
  test::RunResult lsini(const fs::path& folder) const {
    return test::run_program(KW_LSINI_PATH, folder,
                             {.arguments = {(scene_.top() / "list").string()}});
  }
  Scene scene_;
};

// A link of the other user's in the shared folder, flipped between a table
// the list extends and root's file: never followed.
TEST_F(Attacks, KwLsiniNeverFollowsALinkAnotherUserPlanted) {
  const fs::path table = scene_.shared() / "ls.ini";
  // Read here: the other user may not reach the source tree (a clone in
  // root's home).
  const std::string older = older_table();
  // The link is there before the first run: the attacker may start late.
  as_nobody([&] {
    test::write_file(scene_.shared() / "older", older);
    flip(scene_.shared() / "older", table);
  });
  const Attacker attacker([&] {
    flip(scene_.shared() / "older", table);
    flip(scene_.mine() / "victim", table);
  });
  int changed = 0;
  for (int run = 0; run < 200; ++run) {
    const test::RunResult result = lsini(scene_.shared());
    EXPECT_EQ(result.exit_status, 3) << result.standard_error;
    changed += static_cast<int>(!scene_.untouched());
  }
  EXPECT_EQ(changed, 0) << "runs after which root's folder was not as it was";
}

// What the other user does while kw_lsini waits, stopped, and where the
// table it read is afterwards.
struct Meanwhile {
  const char* what;
  // As the other user, in their folder; `ahead` is a table with an entry
  // past the list's, one kw_lsini keeps as it is.
  std::function<void(const fs::path& theirs, const std::string& ahead)> act;
  const char* table_after;  // under their folder
  int status;               // kw_lsini's
  bool updated;             // the table there is the one the list gives, or `ahead`
};

void PrintTo(const Meanwhile& meanwhile, std::ostream* out) {
  *out << meanwhile.what;
}

class Swaps : public Attacks, public ::testing::WithParamInterface<Meanwhile> {
 protected:
  // kw_lsini in `folder`, stopped just before it makes its new table
  // (once it has found and read the old one): `meanwhile` runs then, and
  // the run goes on. Its exit status, or -1 when it never stopped there.
  int lsini_stopped_at_new_file(const fs::path& folder, const std::function<void()>& meanwhile) {
    const std::string list = (scene_.top() / "list").string();
    const std::string said = (scene_.top() / "said").string();
    const pid_t child = ::fork();
    if (child == 0) {
      ::setenv("LD_PRELOAD", KW_STOP_AT_NEW_FILE, 1);
      ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0", 1);
      const int out = ::open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      if (out < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(out, STDERR_FILENO) < 0 ||
          ::chdir(folder.c_str()) != 0) {
        ::_exit(127);
      }
      ::execl(KW_LSINI_PATH, KW_LSINI_PATH, list.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, WUNTRACED);
    if (!WIFSTOPPED(status)) return -1;
    meanwhile();
    ::kill(child, SIGCONT);
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

// Root's own link, in root's station folder, leads into the other user's
// folder. Once kw_lsini has read the table there, the other user swaps
// that folder for a link to root's folder, or replaces the table: the
// table replaced is the table read (read again when it changed), in the
// folder held from the start, and root's file of that name is never taken
// for it.
TEST_P(Swaps, LsiniReplacesOnlyItsTable) {
  const std::string older = older_table();
  const std::string ahead = shipped_table() + "2030  1  1  38.0\r\n";
  const fs::path reference = scene_.top() / "reference";
  fs::create_directory(reference);
  test::write_file(reference / "ls.ini", older);
  ASSERT_EQ(lsini(reference).exit_status, 0);
  const std::string updated = test::read_file(reference / "ls.ini");
  ASSERT_NE(updated, older);

  const fs::path tables = scene_.theirs() / "tables";
  const fs::path station = scene_.top() / "station";
  fs::create_directory(station);
  as_nobody([&] {
    fs::create_directory(tables);
    test::write_file(tables / "ls.ini", older);
  });
  fs::create_symlink(tables / "ls.ini", station / "ls.ini");
  fs::rename(scene_.mine() / "victim", scene_.mine() / "ls.ini");
  const int status = lsini_stopped_at_new_file(
      station, [&] { as_nobody([&] { GetParam().act(scene_.theirs(), ahead); }); });
  EXPECT_EQ(status, GetParam().status) << test::read_file(scene_.top() / "said");
  EXPECT_TRUE(scene_.untouched("ls.ini")) << "root's folder is not as it was";
  EXPECT_EQ(test::read_file(scene_.theirs() / GetParam().table_after),
            GetParam().updated ? updated : ahead);
}

INSTANTIATE_TEST_SUITE_P(
    Attacks, Swaps,
    ::testing::Values(Meanwhile{"folder_made_a_link",
                                [](const fs::path& theirs, const std::string&) {
                                  fs::rename(theirs / "tables", theirs / "real");
                                  fs::create_symlink(theirs.parent_path() / "mine",
                                                     theirs / "tables");
                                },
                                "real/ls.ini", 0, true},
                      // Read again, it is a table the list does not extend: kept.
                      Meanwhile{"table_replaced",
                                [](const fs::path& theirs, const std::string& ahead) {
                                  test::write_file(theirs / "tables" / "ls.ini.new", ahead);
                                  fs::rename(theirs / "tables" / "ls.ini.new",
                                             theirs / "tables" / "ls.ini");
                                },
                                "tables/ls.ini", 3, false}),
    [](const ::testing::TestParamInfo<Meanwhile>& info) { return std::string(info.param.what); });

// Root converts into a file in the other user's folder, which that user
// swaps for a link to root's folder while the input is read: the new file
// lands in the folder held from the start, root's file of that name stays.
TEST_F(Attacks, TheNamedOutputLandsInTheFolderHeldFromTheStart) {
  test::write_file(scene_.top() / "ls.ini", shipped_table());
  const fs::path out = scene_.theirs() / "out";
  as_nobody([&] { fs::create_directory(out); });
  fs::rename(scene_.mine() / "victim", scene_.mine() / "passwd");
  const fs::path fifo = scene_.top() / "in";
  int changed = 0;
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (int run = 0; run < 20; ++run) {
    const pid_t child = ::fork();
    if (child == 0) {
      ::execl(KW_TAI2UTC_PATH, KW_TAI2UTC_PATH, "--table", (scene_.top() / "ls.ini").c_str(),
              fifo.c_str(), (out / "passwd").c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // The writer's open returns once the run opened its input, after it
    // took hold of the output's folder.
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    as_nobody([&] {
      fs::rename(out, scene_.theirs() / "real");
      fs::create_symlink(scene_.mine(), out);
    });
    const std::string record = "96 01 05 0.1 0.2 -29.5\n";
    ASSERT_EQ(::write(writer, record.data(), record.size()), static_cast<ssize_t>(record.size()));
    ::close(writer);
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << run;
    EXPECT_TRUE(fs::exists(scene_.theirs() / "real" / "passwd"));
    changed += static_cast<int>(!scene_.untouched("passwd"));
    // Root's new file in the other user's folder is theirs to remove; were
    // it left, the next run would refuse it (what another user controls
    // leads only to what that user owns).
    as_nobody([&] {
      fs::remove(out);
      fs::rename(scene_.theirs() / "real", out);
      fs::remove(out / "passwd");
    });
  }
  EXPECT_EQ(changed, 0) << "runs after which root's folder was not as it was";
}

struct PlantedCase {
  const char* name;  // the file of the run planted as a link
  bool dangling;     // to a file of root's that does not exist yet
};

// A failing case is named by its name, not by its bytes.
void PrintTo(const PlantedCase& c, std::ostream* os) {
  *os << c.name;
}

class PlantedLinks : public ::testing::TestWithParam<PlantedCase> {};

// The other user plants one of the fixed run's names in a station folder
// that every user may write, as a link into root's folder: the run refuses
// the folder at its first file, the run log, with its own status and a
// line naming the folder and what to do, and makes or changes nothing.
TEST_P(PlantedLinks, AreRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, with the user nobody as the other user";
  const Scene scene;
  const fs::path run = scene.top() / "site" / "run";
  fs::create_directories(run);
  fs::permissions(run, fs::perms::all);
  test::write_file(run / "ls.ini", shipped_table());
  test::write_file(scene.top() / "KW_PVZ.DAT", "96 01 05 0 0 0\n");
  fs::remove(run / GetParam().name);
  const fs::path target = scene.mine() / (GetParam().dangling ? "made" : "victim");
  as_nobody([&] { fs::create_symlink(target, run / GetParam().name); });
  const test::RunResult result = test::run_program(KW_TAI2UTC_PATH, run);
  EXPECT_EQ(result.exit_status, 3);
  const bool log_planted = std::string_view(GetParam().name) == "lsconv.lst";
  EXPECT_EQ(result.standard_error,
            "KW_TAI2UTC: \"lsconv.lst\": the folder \"" + run.string() +
                "\" may be written by every user (mode 0777) and is not sticky: " +
                (log_planted ? "the symbolic link \"" + (run / "lsconv.lst").string() +
                                   "\" there is not followed"
                             : std::string("nothing is written there")) +
                " (run as the folder's owner, or in a folder that only you may write); nothing "
                "read or written\n");
  EXPECT_TRUE(scene.untouched());
}

INSTANTIATE_TEST_SUITE_P(StationFolder, PlantedLinks,
                         ::testing::Values(PlantedCase{"lsconv.lst", false},
                                           PlantedCase{"new.txt", true},
                                           PlantedCase{"ls.ini", true}),
                         [](const ::testing::TestParamInfo<PlantedCase>& info) {
                           std::string name = info.param.name;
                           for (char& c : name) c = c == '.' ? '_' : c;
                           return name;
                         });

}  // namespace
}  // namespace kw

// Every arrangement a second user of the machine can make of one of the
// runs' names, against root's runs: the folder that holds the name (root's
// or the other user's; 0755, 0775 with the other user's group, 0777,
// 1777) times what lies at the name (nothing, a file of root's or of the
// other user's, a hard link to a root-only file, root's link to root's
// file, the other user's link to a root-only file, to their own file or
// into a root-only folder, the other user's FIFO held open). What the
// other user would plant is made by root and given to them: the same
// entries, without a race. For every arrangement one invariant: no
// root-only file changed, none made, no root-only byte where the other
// user could read it, no run blocked, and status 0 only when every record
// is where the user asked. Needs root and the user "nobody" (65534).
#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/leap_tables.h"
#include "support/run_program.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOther = 65534;
constexpr gid_t kOtherGroup = 65534;

// Root-only bytes, each with a mark that shows wherever they end up: as a
// table (its value 777.0 makes third values of 777.5) or as records.
const std::string kSecretTable = "1972  1  1  777.0\r\n";
const std::string kSecretData = "96 01 05 0.13579 0.13579 0.5\r\n";
const char* const kMarks[] = {"777.", "0.13579"};

enum class Program { fixed, named, lsini };

// One of the runs' names, and where its folder lies in the tree.
struct Name {
  const char* label;
  Program program;
  const char* file;  // its name in the folder arranged
  bool table;        // read as a table (else records, or written)
  bool output;
};

// A failing case is named by its name, not by its bytes.
void PrintTo(const Name& c, std::ostream* os) {
  *os << c.label;
}

const Name kNames[] = {
    {"fixed_ls_ini", Program::fixed, "ls.ini", true, false},
    {"fixed_data", Program::fixed, "KW_PVZ.DAT", false, false},
    {"fixed_new_txt", Program::fixed, "new.txt", false, true},
    {"fixed_lsconv_lst", Program::fixed, "lsconv.lst", false, true},
    {"named_table", Program::named, "table", true, false},
    {"named_input", Program::named, "input", false, false},
    {"named_output", Program::named, "output", false, true},
    {"lsini_ls_ini", Program::lsini, "ls.ini", true, true},
};

struct Folder {
  bool others;  // the other user's
  mode_t mode;
};

const Folder kFolders[] = {{false, 0755}, {false, 0775}, {false, 0777}, {false, 01777},
                           {true, 0755},  {true, 0775},  {true, 0777},  {true, 01777}};

enum class State {
  absent,
  root_file,
  other_file,
  hard_link,
  root_link,
  other_link_to_secret,
  other_link_to_own,
  other_link_dangling,
  other_fifo_held,
};

const char* const kStateNames[] = {"absent",
                                   "root_file",
                                   "other_file",
                                   "hard_link",
                                   "root_link",
                                   "other_link_to_secret",
                                   "other_link_to_own",
                                   "other_link_dangling",
                                   "other_fifo_held"};

// The usual records, enough that their output fills a pipe's buffer.
std::string usual_records() {
  std::string text;
  for (int day = 0; day < 2000; ++day) {
    text += std::to_string(60 + day / 360) + " " + std::to_string(1 + day / 30 % 12) + " " +
            std::to_string(1 + day % 28) + " 0.1 0.2 0.5\r\n";
  }
  return text;
}

std::string list_text() {
  return test::read_file(fs::path(KW_CORPUS_DIR) / "leap_list" / "system_list");
}

void give(const fs::path& path, uid_t user, gid_t group) {
  ASSERT_EQ(::lchown(path.c_str(), user, group), 0) << path;
}

// The tree of one arrangement, with the files the runs read where no
// arrangement is made.
class Arrangement {
 public:
  Arrangement(const Name& name, const Folder& folder, State state)
      : name_(name), folder_(folder), state_(state) {
    fs::create_directory(secret());
    fs::permissions(secret(), fs::perms::owner_all);
    for (const auto& [file, text] : {std::pair{"table", kSecretTable}, {"data", kSecretData}}) {
      test::write_file(secret() / file, text);
      fs::permissions(secret() / file, fs::perms::owner_read | fs::perms::owner_write);
    }
    fs::create_directories(run());
    fs::create_directory(own());
    fs::create_directory(varied());
    test::write_file(own() / "table", test::shipped_table_text());
    test::write_file(own() / "data", usual_records());
    test::write_file(own() / "list", list_text());
    test::write_file(own() / "old", "old bytes\r\n");
    if (name_.program == Program::fixed) {
      test::write_file(run() / "ls.ini", test::shipped_table_text());
      test::write_file(top() / "KW_PVZ.DAT", usual_records());
    }
    arrange();
  }
  Arrangement(const Arrangement&) = delete;
  Arrangement& operator=(const Arrangement&) = delete;
  ~Arrangement() {
    if (held_ >= 0) ::close(held_);
  }

  test::RunResult run_it() const {
    test::RunOptions options{.timeout_seconds = 10};
    switch (name_.program) {
      case Program::fixed:
        return test::run_program(KW_TAI2UTC_PATH, run(), options);
      case Program::named:
        options.arguments = {"--table", path_of("table", own() / "table").string(),
                             path_of("input", own() / "data").string(),
                             path_of("output", own() / "out").string()};
        return test::run_program(KW_TAI2UTC_PATH, own(), options);
      case Program::lsini:
        options.arguments = {(own() / "list").string()};
        return test::run_program(KW_LSINI_PATH, varied(), options);
    }
    return {};
  }

  // What is wrong after the run, or empty.
  // `expected` is what the usual run writes, `none_expected` what it writes
  // without its input (no records: nothing is asked for).
  std::string fault(const test::RunResult& result, const std::string& expected,
                    const std::string& none_expected) const {
    if (result.timed_out) return "the run blocked";
    if (!secret_untouched()) return "a root-only file changed or was made";
    if (const std::string leak = leaked(); !leak.empty()) return "root-only bytes in " + leak;
    const bool no_input = state_ == State::absent && !name_.output;
    if (result.exit_status == 0 && written() != (no_input ? none_expected : expected)) {
      return "status 0, but the records are not where they were asked for";
    }
    return {};
  }

  // What the run was asked to write, read through its name.
  std::string written() const {
    std::error_code ignored;
    switch (name_.program) {
      case Program::fixed:
        return read_if_there(run() / "new.txt") + "|" + read_if_there(run() / "lsconv.lst");
      case Program::named:
        return read_if_there(path_of("output", own() / "out"));
      case Program::lsini:
        return read_if_there(varied() / "ls.ini");
    }
    return {};
  }

 private:
  fs::path top() const { return dir_.path() / "top"; }
  fs::path run() const { return top() / "site" / "run"; }
  fs::path secret() const { return dir_.path() / "secret"; }
  fs::path own() const { return dir_.path() / "own"; }
  // The folder arranged.
  fs::path varied() const {
    if (name_.program != Program::fixed) return dir_.path() / "varied";
    return std::string_view(name_.file) == "KW_PVZ.DAT" ? top() : run();
  }
  fs::path path_of(std::string_view file, const fs::path& usual) const {
    return file == name_.file ? varied() / name_.file : usual;
  }

  // A FIFO held open would never end: only files are read.
  static std::string read_if_there(const fs::path& path) {
    std::error_code ignored;
    if (!fs::exists(path, ignored)) return "(none)";
    return fs::is_regular_file(path, ignored) ? test::read_file(path) : "(not a file)";
  }

  void arrange() {
    const fs::path at = varied() / name_.file;
    std::error_code ignored;
    fs::remove(at, ignored);
    const std::string usual = name_.table    ? test::shipped_table_text()
                              : name_.output ? "old bytes\r\n"
                                             : usual_records();
    const fs::path victim = secret() / (name_.table ? "table" : "data");
    switch (state_) {
      case State::absent:
        break;
      case State::root_file:
        test::write_file(at, usual);
        break;
      case State::other_file:
        test::write_file(at, usual);
        give(at, kOther, kOtherGroup);
        break;
      case State::hard_link:
        fs::create_hard_link(victim, at);
        break;
      case State::root_link:
        fs::create_symlink(own() / (name_.table ? "table" : name_.output ? "old" : "data"), at);
        break;
      case State::other_link_to_secret:
        fs::create_symlink(victim, at);
        give(at, kOther, kOtherGroup);
        break;
      case State::other_link_to_own: {
        const fs::path theirs = varied() / "theirs";
        test::write_file(theirs, usual);
        give(theirs, kOther, kOtherGroup);
        fs::create_symlink("theirs", at);
        give(at, kOther, kOtherGroup);
        break;
      }
      case State::other_link_dangling:
        fs::create_symlink(secret() / "made", at);
        give(at, kOther, kOtherGroup);
        break;
      case State::other_fifo_held:
        ASSERT_EQ(::mkfifo(at.c_str(), 0666), 0);
        give(at, kOther, kOtherGroup);
        held_ = ::open(at.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(held_, 0);
        break;
    }
    give(varied(), folder_.others ? kOther : 0, folder_.mode == 0775 ? kOtherGroup : 0);
    ::chmod(varied().c_str(), folder_.mode);
  }

  bool secret_untouched() const {
    struct stat info {};
    for (const auto& [file, text] : {std::pair{"table", kSecretTable}, {"data", kSecretData}}) {
      if (test::read_file(secret() / file) != text ||
          ::stat((secret() / file).c_str(), &info) != 0 || info.st_uid != 0 ||
          (info.st_mode & 07777) != 0600) {
        return false;
      }
    }
    return test::names_in(secret()) == std::set<std::string>{"table", "data"};
  }

  // A file outside the root-only folder that holds root-only bytes (the
  // planted hard link itself is the root-only file).
  std::string leaked() const {
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(dir_.path(), ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->path() == secret()) {
        it.disable_recursion_pending();
        continue;
      }
      if (!fs::is_regular_file(it->symlink_status(ignored))) continue;
      if (state_ == State::hard_link && it->path() == varied() / name_.file) continue;
      const std::string text = test::read_file(it->path());
      for (const char* mark : kMarks) {
        if (text.find(mark) != std::string::npos) return it->path().string();
      }
    }
    return {};
  }

  test::TempDir dir_;
  const Name& name_;
  const Folder& folder_;
  const State state_;
  int held_ = -1;
};

// What a run writes in root's own folder, with the name as `state` has it.
std::string expected_of(const Name& name, State state) {
  const Folder plain{false, 0755};
  const Arrangement reference(name, plain, state);
  const test::RunResult result = reference.run_it();
  return result.exit_status == 0 ? reference.written() : "(refused)";
}

class Trust : public ::testing::TestWithParam<Name> {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, with the user nobody as the other user";
  }
};

TEST_P(Trust, NoArrangementMisleadsRoot) {
  const Name& name = GetParam();
  const std::string expected = expected_of(name, State::root_file);
  const std::string none_expected = expected_of(name, State::absent);
  ASSERT_NE(expected, "(refused)");
  int arrangements = 0;
  int written = 0;  // of them, runs that ended with status 0
  std::vector<std::string> failed;
  for (const Folder& folder : kFolders) {
    for (int s = 0; s <= static_cast<int>(State::other_fifo_held); ++s) {
      const auto state = static_cast<State>(s);
      // Root's own folder, which no other user may write: nothing there
      // is the other user's doing but what root gave them.
      if (state == State::hard_link && !folder.others && folder.mode == 0755) continue;
      const Arrangement arrangement(name, folder, state);
      const test::RunResult result = arrangement.run_it();
      ++arrangements;
      written += static_cast<int>(result.exit_status == 0);
      const std::string fault = arrangement.fault(result, expected, none_expected);
      if (!fault.empty()) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(folder.mode));
        failed.push_back(std::string(folder.others ? "other's " : "root's ") + mode + " folder, " +
                         kStateNames[s] + ": " + fault + " (status " +
                         std::to_string(result.exit_status) + ": " + result.standard_error + ")");
      }
    }
  }
  std::cout << name.label << ": " << arrangements << " arrangements, " << written
            << " with status 0, " << failed.size() << " failed\n";
  for (const std::string& f : failed) ADD_FAILURE() << f;
}

INSTANTIATE_TEST_SUITE_P(Names, Trust, ::testing::ValuesIn(kNames),
                         [](const ::testing::TestParamInfo<Name>& info) {
                           return std::string(info.param.label);
                         });

}  // namespace
}  // namespace kw

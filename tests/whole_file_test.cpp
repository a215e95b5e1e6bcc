// Whole files through the platform layer: bounded reads that refuse what
// is not a file, and replacement that leaves either the old file or the
// new one, never a stray temporary, and never writes through a link it
// was told to refuse.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/whole_file.h"
#include "support/files.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kw {
namespace {

namespace fs = std::filesystem;

struct ReadCase {
  const char* name;
  std::function<void(const fs::path&)> arrange;  // makes "f" in the folder
  os::ReadWhole outcome;
  std::string content;
};

TEST(WholeFile, ReadsOnlyRegularFilesWithinTheLimit) {
  const std::vector<ReadCase> cases = {
      {"regular", [](const fs::path& d) { test::write_file(d / "f", "12\r\n"); }, os::ReadWhole::ok,
       "12\r\n"},
      {"empty", [](const fs::path& d) { test::write_file(d / "f", ""); }, os::ReadWhole::ok, ""},
      {"at_the_limit", [](const fs::path& d) { test::write_file(d / "f", std::string(16, 'x')); },
       os::ReadWhole::ok, std::string(16, 'x')},
      {"over_the_limit", [](const fs::path& d) { test::write_file(d / "f", std::string(17, 'x')); },
       os::ReadWhole::too_large, ""},
      {"missing", [](const fs::path&) {}, os::ReadWhole::missing, ""},
      {"directory", [](const fs::path& d) { fs::create_directory(d / "f"); },
       os::ReadWhole::not_regular, ""},
#ifndef _WIN32
      {"fifo_without_writer", [](const fs::path& d) { ::mkfifo((d / "f").c_str(), 0600); },
       os::ReadWhole::not_regular, ""},
#endif
  };
  for (const ReadCase& c : cases) {
    const test::TempDir dir;
    c.arrange(dir.path());
    std::string content;
    std::string why;
    const os::ReadWhole outcome =
        os::read_whole_file((dir.path() / "f").string(), 16, content, why);
    EXPECT_EQ(outcome, c.outcome) << c.name << ": " << why;
    if (outcome == os::ReadWhole::ok) {
      EXPECT_EQ(content, c.content) << c.name;
    } else {
      EXPECT_FALSE(why.empty()) << c.name;
    }
  }
}

struct ReplaceCase {
  const char* name;
  std::function<void(const fs::path&)> arrange;  // the folder before; the target is "t"
  os::Links links;
  bool replaced;
  std::set<std::string> names_after;
  const char* file_with_new_content;  // where "new" must be found, when replaced
};

TEST(WholeFile, ReplacesWholeOrLeavesEverythingAsItWas) {
  const std::vector<ReplaceCase> cases = {
      {"no_old_file", [](const fs::path&) {}, os::Links::refuse, true, {"t"}, "t"},
      {"old_file",
       [](const fs::path& d) { test::write_file(d / "t", "old old old"); },
       os::Links::refuse,
       true,
       {"t"},
       "t"},
      {"target_is_a_folder",
       [](const fs::path& d) { fs::create_directory(d / "t"); },
       os::Links::follow,
       false,
       {"t"},
       nullptr},
#ifndef _WIN32
      {"link_followed",
       [](const fs::path& d) {
         test::write_file(d / "real", "old");
         fs::create_symlink("real", d / "t");
       },
       os::Links::follow,
       true,
       {"real", "t"},
       "real"},
      {"link_refused",
       [](const fs::path& d) {
         test::write_file(d / "real", "old");
         fs::create_symlink("real", d / "t");
       },
       os::Links::refuse,
       false,
       {"real", "t"},
       nullptr},
      {"link_to_nothing_followed",
       [](const fs::path& d) { fs::create_symlink("gone", d / "t"); },
       os::Links::follow,
       true,
       {"gone", "t"},
       "gone"},
      {"link_to_nothing_refused",
       [](const fs::path& d) { fs::create_symlink("gone", d / "t"); },
       os::Links::refuse,
       false,
       {"t"},
       nullptr},
#endif
  };
  for (const ReplaceCase& c : cases) {
    const test::TempDir dir;
    c.arrange(dir.path());
    const std::set<std::string> before = test::names_in(dir.path());
    std::string why;
    const bool replaced = os::replace_file((dir.path() / "t").string(), "new", c.links, why);
    EXPECT_EQ(replaced, c.replaced) << c.name << ": " << why;
    EXPECT_EQ(test::names_in(dir.path()), c.names_after) << c.name;
    if (c.replaced) {
      EXPECT_EQ(test::read_file(dir.path() / c.file_with_new_content), "new") << c.name;
    } else {
      EXPECT_FALSE(why.empty()) << c.name;
      EXPECT_EQ(test::names_in(dir.path()), before) << c.name;
      if (fs::is_regular_file(dir.path() / "real")) {
        EXPECT_EQ(test::read_file(dir.path() / "real"), "old") << c.name;
      }
    }
#ifndef _WIN32
    if (fs::is_symlink(dir.path() / "t") && fs::exists(dir.path() / "real")) {
      EXPECT_EQ(fs::read_symlink(dir.path() / "t"), "real") << c.name;  // the link stays
    }
#endif
  }
}

TEST(WholeFile, KeepsTheOldPermissionsAndFailsInAMissingFolder) {
  const test::TempDir dir;
  const fs::path target = dir.path() / "t";
  test::write_file(target, "old");
  fs::permissions(target, fs::perms::owner_read | fs::perms::group_read);
  std::string why;
#ifndef _WIN32
  ASSERT_TRUE(os::replace_file(target.string(), "new", os::Links::refuse, why)) << why;
  EXPECT_EQ(test::read_file(target), "new");
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read);
#else
  // A read-only file is not replaced on Windows: the old one stays.
  EXPECT_FALSE(os::replace_file(target.string(), "new", os::Links::refuse, why));
  EXPECT_EQ(test::read_file(target), "old");
  EXPECT_EQ(test::names_in(dir.path()), std::set<std::string>{"t"});
#endif
  EXPECT_FALSE(os::replace_file((dir.path() / "no" / "t").string(), "new", os::Links::refuse, why));
  EXPECT_FALSE(fs::exists(dir.path() / "no"));
}

}  // namespace
}  // namespace kw

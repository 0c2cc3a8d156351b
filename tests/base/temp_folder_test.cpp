// Private temporary folders: where they go, that only their owner can enter them, and that
// they go away with everything in them.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <sys/stat.h>

#include "../common/scoped_env.h"
#include "base/temp_folder.h"

namespace fs = std::filesystem;

namespace {

using qftest::ScopedEnv;

mode_t modeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

class TempFolderTest : public ::testing::Test {
protected:
  void SetUp() override {
    root_ = base::makeTempFolder("qf-base-test");
    ASSERT_FALSE(root_.empty());
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string root_;
};

TEST_F(TempFolderTest, OnlyTheOwnerMayEnterWhateverTheUmask) {
  for (mode_t mask : {0000, 0022, 0077}) {
    const mode_t old = ::umask(mask);
    base::TempFolder folder("qf", root_);
    ::umask(old);
    ASSERT_TRUE(folder.made()) << folder.error();
    EXPECT_EQ(modeOf(folder.path()), 0700u) << "umask " << mask;
  }
}

TEST_F(TempFolderTest, NamedAfterItsPrefixAndNewEachTime) {
  const std::string a = base::makeTempFolder("quillfold-x", root_);
  const std::string b = base::makeTempFolder("quillfold-x", root_ + "/");
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NE(a, b);
  for (const std::string& p : {a, b}) {
    EXPECT_EQ(fs::path(p).parent_path(), fs::path(root_));
    const std::string name = fs::path(p).filename().string();
    EXPECT_EQ(name.rfind("quillfold-x-", 0), 0u) << name;
    EXPECT_EQ(name.size(), std::string("quillfold-x-XXXXXX").size()) << name;
    EXPECT_TRUE(fs::is_directory(p));
  }
}

TEST_F(TempFolderTest, RemovedWithEverythingInIt) {
  std::string path;
  {
    base::TempFolder folder("qf", root_);
    path = folder.path();
    fs::create_directories(path + "/a/b");
    std::ofstream(path + "/a/b/file") << "x";
    ::chmod((path + "/a/b/file").c_str(), 0400);
  }
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(TempFolderTest, AMovedFolderIsRemovedOnceByItsNewOwner) {
  std::string path;
  {
    std::optional<base::TempFolder> later;
    {
      base::TempFolder first("qf", root_);
      path = first.path();
      later.emplace(std::move(first));
      EXPECT_TRUE(first.path().empty());
    }
    EXPECT_TRUE(fs::is_directory(path)) << "removed by the moved-from object";
    EXPECT_EQ(later->path(), path);
  }
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(TempFolderTest, AFolderThatCannotBeMadeSaysWhy) {
  int error = 0;
  EXPECT_EQ(base::makeTempFolder("qf", root_ + "/missing", &error), "");
  EXPECT_EQ(error, ENOENT);
  std::ofstream(root_ + "/file") << "x";
  base::TempFolder folder("qf", root_ + "/file");
  EXPECT_FALSE(folder.made());
  EXPECT_EQ(folder.path(), "");
  EXPECT_EQ(folder.error(), ENOTDIR);
}

TEST_F(TempFolderTest, SystemFolderFollowsTmpdirOnlyWhenItIsAnAbsoluteFolder) {
  std::ofstream(root_ + "/file") << "x";
  fs::create_directories(root_ + "/relative");
  // A relative TMPDIR would put temporary folders wherever the program happens to run.
  const fs::path cwd = fs::current_path();
  fs::current_path(root_);
  struct Case {
    std::optional<std::string> tmpdir;
    std::string expected;
  };
  const Case cases[] = {
      {root_, root_},
      {root_ + "/file", "/tmp"},    // not a folder
      {root_ + "/missing", "/tmp"}, // gone
      {"relative", "/tmp"},
      {std::nullopt, "/tmp"},
  };
  ScopedEnv tmp("TMP", std::nullopt), temp("TEMP", std::nullopt), tempdir("TEMPDIR", std::nullopt);
  for (const Case& c : cases) {
    ScopedEnv tmpdir("TMPDIR", c.tmpdir);
    EXPECT_EQ(base::systemTempFolder(), c.expected) << c.tmpdir.value_or("(unset)");
  }
  {
    ScopedEnv tmpdir("TMPDIR", root_);
    base::TempFolder folder("qf");
    EXPECT_EQ(fs::path(folder.path()).parent_path(), fs::path(root_));
  }
  fs::current_path(cwd);
}

} // namespace

#include "platform/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/core/TestSupport.h"

namespace fs = std::filesystem;
using namespace harbinel::platform;
using namespace harbinel::test;

// Failures (missing folder, a folder in the way) are checked through the history report's save.
TEST(AtomicFile, ReplacesContentKeepsModeAndLeavesNoTemporaryFile) {
  const TemporaryFolder folder;
  const auto file = folder / "data.plist";
  ASSERT_TRUE(writeFileAtomically(file, "first").ok);
  ::chmod(file.c_str(), 0640);
  ASSERT_TRUE(writeFileAtomically(file, "second").ok);
  EXPECT_EQ(readFile(file), "second");
  struct stat info {};
  ::stat(file.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(harbinel::test::namesIn(folder.path()), std::vector<std::string>{"data.plist"});
}

TEST(AtomicFile, WritesThroughLinksToTheFileTheyName) {
  const TemporaryFolder folder;
  fs::create_directory(folder / "etc");
  fs::create_directory(folder / "share");
  harbinel::test::writeFile(folder / "etc" / "data.plist", "old");
  fs::create_symlink("../etc/data.plist", folder / "share" / "data.plist");
  ASSERT_TRUE(writeFileAtomically(folder / "share" / "data.plist", "new").ok);
  EXPECT_TRUE(fs::is_symlink(folder / "share" / "data.plist"));
  EXPECT_EQ(readFile(folder / "etc" / "data.plist"), "new");
}

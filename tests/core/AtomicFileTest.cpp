#include "platform/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/core/TestSupport.h"

namespace fs = std::filesystem;
using harbinel::platform::writeFileAtomically;
using harbinel::test::readFile;
using harbinel::test::TemporaryFolder;

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
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
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

// That a list of any bytes answers as a scan of its lines is the DomainListFuzz target's work
// (its corpus keeps the awkward shapes: empty, CRLF and malformed lines, NUL bytes, lines on the
// index's block and word boundaries, more lines than the index fetches ahead). These are what it
// cannot reach: very long lines and files that cannot be read.
#include "filter/DomainList.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/core/TestSupport.h"

namespace harbinel::filter {
namespace {
namespace fs = std::filesystem;

TEST(DomainListTest, TenMegabyteLineIsOneEntry) {
  const std::string longLine(10 * 1024 * 1024, 'x');
  const DomainList list = DomainList::fromText("a.org\n" + longLine + "\nb.org");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list.find(longLine), 1);
  EXPECT_EQ(list.find(longLine.substr(1)), -1);
  EXPECT_EQ(list.find("b.org"), 2);
}

TEST(DomainListTest, FileReadsLikeItsTextAndWhatCannotBeReadIsAnEmptyList) {
  const test::TemporaryFolder folder;
  test::writeFile(folder / "dmn", "a.org\r\n\n" + std::string(100000, 'c'));
  const DomainList read = DomainList::fromFile(folder / "dmn");
  EXPECT_EQ(read.find(std::string(100000, 'c')), 2);
  EXPECT_EQ(read.find("a.org\r"), 0);
  test::writeFile(folder / "empty", "");
  EXPECT_EQ(DomainList::fromFile(folder / "empty").find(""), 0) << "unlike a missing file";

  test::writeFile(folder / "unreadable", "a.org\n");
  fs::permissions(folder / "unreadable", fs::perms::none);
  fs::create_directory(folder / "folder");
  fs::create_symlink(folder / "loop", folder / "loop");
  std::vector<fs::path> paths = {
      folder / "missing", folder / "folder", folder / "loop", "/proc/self/mem", {}};
  if (::geteuid() != 0) paths.push_back(folder / "unreadable");  // the superuser reads anything
  for (const fs::path& path : paths) {
    const DomainList list = DomainList::fromFile(path);
    EXPECT_EQ(list.size(), 0u) << path;
    EXPECT_EQ(list.find(""), -1) << path;
  }
}

}  // namespace
}  // namespace harbinel::filter

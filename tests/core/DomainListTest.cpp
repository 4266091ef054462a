#include "filter/DomainList.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/TextCodec.h"
#include "tests/core/TestSupport.h"

namespace harbinel::filter {
namespace {
namespace fs = std::filesystem;
using test::TemporaryFolder;
using test::writeFile;

// The plain reading of a list: split at every line feed, compare whole texts, the first equal
// line wins; a line that is not well-formed UTF-8 never matches. Answers -1 for any other host.
std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
    lines.push_back(text.substr(start, lf - start));
    start = lf + 1;
  }
  lines.push_back(text.substr(start));
  return lines;
}

// Checks every entry of `list` against `lines`, then looks up each host and each line.
void expectListOf(const DomainList& list, const std::vector<std::string>& lines,
                  const std::vector<std::string>& hosts) {
  ASSERT_EQ(list.size(), lines.size());
  std::unordered_map<std::string, std::int32_t> first;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    ASSERT_EQ(list.entry(i), lines[i]) << i;
    if (platform::isValidUtf8(lines[i])) first.emplace(lines[i], static_cast<std::int32_t>(i));
  }
  const auto expect = [&](const std::string& host) {
    const auto found = first.find(host);
    ASSERT_EQ(list.find(host), found == first.end() ? -1 : found->second) << host;
  };
  std::for_each(lines.begin(), lines.end(), expect);
  std::for_each(hosts.begin(), hosts.end(), expect);
}

// Each text is read as a list, then every host looked up and compared with the plain reading.
TEST(DomainListTest, KeepsEveryLineAndFindsWhatAScanFinds) {
  const struct {
    const char* name;
    std::string text;
    std::vector<std::string> hosts;
  } cases[] = {
      {"empty file is one empty entry", "", {"", "a"}},
      {"final line feed gives an empty last entry", "a.org\nb.org\n", {"", "a.org", "b.org"}},
      {"empty lines are entries", "\n\na.org\n\n", {"", "a.org"}},
      {"carriage returns stay", "a.org\r\nb.org\r\n", {"a.org", "a.org\r", "b.org\r", "", "\r"}},
      {"spaces stay", " a.org\na.org \n \n", {"a.org", " a.org", "a.org ", " "}},
      {"case matters", "Example.org\n", {"example.org", "Example.org"}},
      {"first of duplicates wins", "b\na\nb\na\n\n", {"a", "b", ""}},
      {"NUL bytes are ordinary",
       std::string("x\0y\n\0\nx", 7),
       {"x", std::string("x\0y", 3), std::string(1, '\0'), "y"}},
      {"malformed lines keep their place but never match",
       "ok.org\n\xff\nb\xC3\x28.org\n\xED\xA0\x80\n\xC0\x80\nafter.org\n\xff",
       {"ok.org", "after.org", "\xff", "b\xC3\x28.org", "\xED\xA0\x80", "\xC0\x80"}},
      {"well-formed non-ASCII matches",
       "b\xC3\xBC"
       "cher.example\n\xF0\x9F\x98\x80\n",
       {"b\xC3\xBC"
        "cher.example",
        "\xF0\x9F\x98\x80", "bucher.example"}},
      {"repeated malformed line", "a\xff\nb\na\xff\nb\n", {"b", "a\xff"}},
      {"host spanning lines matches neither", "a.org\nb.org\n", {"a.org\nb.org", "a.org\n", "\n"}},
      // Lines of 127 bytes and a line feed: entries start exactly on 128-byte boundaries.
      {"entries on block boundaries",
       std::string(127, 'a') + "\n" + std::string(127, 'b') + "\n\n" + std::string(126, 'c') +
           "\n" + std::string(255, 'd') + "\ne",
       {std::string(127, 'b'), "", std::string(126, 'c'), std::string(255, 'd'), "e"}},
      // Texts of every length around the hash's word boundaries.
      {"short and boundary lengths",
       "a\nab\nabc\nabcd\nabcdefg\nabcdefgh\nabcdefghi\nabcdefghijklmnop\n"
       "abcdefghijklmnopq\nabcdefghijklmnopqrstuvwxyz0123456\n",
       {"a", "ab", "abc", "abcd", "abce", "abcdefg", "abcdefgh", "abcdefghi", "abcdefghijklmnop",
        "abcdefghijklmnopq", "abcdefghijklmnopr", "abcdefghijklmnopqrstuvwxyz0123456",
        "abcdefghijklmnopqrstuvwxyz0123457"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    expectListOf(DomainList::fromText(c.text), splitLines(c.text), c.hosts);
  }
}

TEST(DomainListTest, TenMegabyteLineIsOneEntry) {
  const std::string longLine(10 * 1024 * 1024, 'x');
  const DomainList list = DomainList::fromText("a.org\n" + longLine + "\nb.org");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list.find(longLine), 1);
  EXPECT_EQ(list.find(longLine.substr(1)), -1);
  EXPECT_EQ(list.find("b.org"), 2);
}

// Any list against a plain scan is the fuzz target's work; this is a real list's shape.
TEST(DomainListTest, RealListFindsEveryEntryAndNoNearMiss) {
  const fs::path path = fs::path(HARBINEL_SOURCE_DIR) / "tests" / "data" / "ut1-union-sample.domains";
  const std::vector<std::string> lines = splitLines(test::readFile(path));
  ASSERT_EQ(lines.size(), 3001u) << path;
  std::vector<std::string> nearMisses;  // one byte more at either end, half, or another case
  for (const std::string& line : lines) {
    for (std::string near :
         {line + ".", "w" + line, line.substr(0, line.size() / 2), line + "\r", "WWW." + line}) {
      nearMisses.push_back(std::move(near));
    }
  }
  expectListOf(DomainList::fromFile(path), lines, nearMisses);
}

TEST(DomainListTest, FileReadsLikeItsTextAndWhatCannotBeReadIsAnEmptyList) {
  const TemporaryFolder folder;
  const std::string text = std::string("a.org\r\n\nb.org\n\xff\n") + std::string(100000, 'c');
  writeFile(folder / "dmn", text);
  expectListOf(DomainList::fromFile(folder / "dmn"), splitLines(text), {std::string(100000, 'c')});
  writeFile(folder / "empty", "");
  EXPECT_EQ(DomainList::fromFile(folder / "empty").find(""), 0) << "unlike a missing file";

  writeFile(folder / "unreadable", "a.org\n");
  fs::permissions(folder / "unreadable", fs::perms::none);
  fs::create_directory(folder / "folder");
  fs::create_symlink(folder / "loop", folder / "loop");
  std::vector<fs::path> paths = {folder / "missing", folder / "folder", folder / "loop",
                                 fs::path("/proc/self/mem"), fs::path()};
  if (::geteuid() != 0) paths.push_back(folder / "unreadable");  // the superuser reads anything
  for (const fs::path& path : paths) {
    const DomainList list = DomainList::fromFile(path);
    EXPECT_EQ(list.size(), 0u) << path;
    EXPECT_EQ(list.find(""), -1) << path;
  }
}

}  // namespace
}  // namespace harbinel::filter

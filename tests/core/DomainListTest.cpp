#include "filter/DomainList.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
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

// The plain reading of a list: split at every line feed, scan from the start, compare whole
// texts; a line that is not well-formed UTF-8 never matches.
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

std::int32_t scan(const std::vector<std::string>& lines, std::string_view host) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == host && platform::isValidUtf8(lines[i])) return static_cast<std::int32_t>(i);
  }
  return -1;
}

// For lists too long to scan once per host: the first position of every well-formed line.
std::unordered_map<std::string, std::int32_t> firstPositions(
    const std::vector<std::string>& lines) {
  std::unordered_map<std::string, std::int32_t> first;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (platform::isValidUtf8(lines[i])) first.emplace(lines[i], static_cast<std::int32_t>(i));
  }
  return first;
}

void expectSameEntries(const DomainList& list, const std::vector<std::string>& lines) {
  ASSERT_EQ(list.size(), lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(list.entry(i), lines[i]) << i;
}

struct EdgeCase {
  const char* name;
  std::string text;
  std::vector<std::string> hosts;  // each looked up and compared with the plain scan
};

void PrintTo(const EdgeCase& c, std::ostream* out) {
  *out << c.name;
}

class DomainListEdgeTest : public testing::TestWithParam<EdgeCase> {};

TEST_P(DomainListEdgeTest, KeepsEveryLineAndFindsWhatAScanFinds) {
  const EdgeCase& c = GetParam();
  const std::vector<std::string> lines = splitLines(c.text);
  const DomainList list = DomainList::fromText(c.text);
  expectSameEntries(list, lines);
  for (const std::string& host : c.hosts) EXPECT_EQ(list.find(host), scan(lines, host)) << host;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, DomainListEdgeTest,
    testing::Values(
        EdgeCase{"EmptyFileIsOneEmptyEntry", "", {"", "a"}},
        EdgeCase{"FinalLineFeedGivesEmptyLastEntry", "a.org\nb.org\n", {"", "a.org", "b.org"}},
        EdgeCase{"EmptyLinesAreEntries", "\n\na.org\n\n", {"", "a.org"}},
        EdgeCase{
            "CarriageReturnsStay", "a.org\r\nb.org\r\n", {"a.org", "a.org\r", "b.org\r", "", "\r"}},
        EdgeCase{"SpacesStay", " a.org\na.org \n \n", {"a.org", " a.org", "a.org ", " "}},
        EdgeCase{"CaseMatters", "Example.org\n", {"example.org", "Example.org"}},
        EdgeCase{"FirstOfDuplicatesWins", "b\na\nb\na\n\n", {"a", "b", ""}},
        EdgeCase{"NulBytesAreOrdinary",
                 std::string("x\0y\n\0\nx", 7),
                 {"x", std::string("x\0y", 3), std::string(1, '\0'), "y"}},
        EdgeCase{"MalformedLinesKeepTheirPlaceButNeverMatch",
                 "ok.org\n\xff\nb\xC3\x28.org\n\xED\xA0\x80\n\xC0\x80\nafter.org\n\xff",
                 {"ok.org", "after.org", "\xff", "b\xC3\x28.org", "\xED\xA0\x80", "\xC0\x80"}},
        EdgeCase{"WellFormedNonAsciiMatches",
                 "b\xC3\xBC"
                 "cher.example\n\xE2\x82\xAC.example\n\xF0\x9F\x98\x80\n",
                 {"b\xC3\xBC"
                  "cher.example",
                  "\xE2\x82\xAC.example", "\xF0\x9F\x98\x80", "bucher.example"}},
        EdgeCase{"RepeatedMalformedLine", "a\xff\nb\na\xff\nb\n", {"b", "a\xff"}},
        EdgeCase{"HostSpanningLinesMatchesNeither",
                 "a.org\nb.org\n",
                 {"a.org\nb.org", "a.org\n", "\nb.org", "\n"}},
        // Lines of 127 bytes and a line feed: entries start exactly on 128-byte boundaries.
        EdgeCase{"EntriesOnBlockBoundaries",
                 std::string(127, 'a') + "\n" + std::string(127, 'b') + "\n\n" +
                     std::string(126, 'c') + "\n" + std::string(255, 'd') + "\ne",
                 {std::string(127, 'b'), "", std::string(126, 'c'), std::string(255, 'd'), "e"}},
        // Texts of every length around the hash's word boundaries.
        EdgeCase{"ShortAndBoundaryLengths",
                 "a\nab\nabc\nabcd\nabcdefg\nabcdefgh\nabcdefghi\nabcdefghijklmnop\n"
                 "abcdefghijklmnopq\nabcdefghijklmnopqrstuvwxyz0123456\n",
                 {"a", "ab", "abc", "abcd", "abce", "abcdefg", "abcdefgh", "abcdefghi",
                  "abcdefghijklmnop", "abcdefghijklmnopq", "abcdefghijklmnopr",
                  "abcdefghijklmnopqrstuvwxyz0123456", "abcdefghijklmnopqrstuvwxyz0123457"}}),
    [](const testing::TestParamInfo<EdgeCase>& info) { return std::string(info.param.name); });

TEST(DomainListTest, TenMegabyteLineIsOneEntry) {
  const std::string longLine(10 * 1024 * 1024, 'x');
  const DomainList list = DomainList::fromText("a.org\n" + longLine + "\nb.org");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list.find(longLine), 1);
  EXPECT_EQ(list.find(longLine + "x"), -1);
  EXPECT_EQ(list.find(longLine.substr(1)), -1);
  EXPECT_EQ(list.find("b.org"), 2);
}

TEST(DomainListTest, AgreesWithAPlainScanOnGeneratedListsWithDuplicates) {
  // Few distinct texts of similar shape: many duplicates, shared prefixes and suffixes, and
  // malformed and empty lines scattered through the list.
  std::mt19937 random(20240601);
  const std::vector<std::string> pieces = {"a", "b", "ab", ".", "-", "\r", " ", "\xff", "\xC3\xA9"};
  const auto randomText = [&] {
    std::string text;
    const int length = std::uniform_int_distribution<int>(0, 6)(random);
    for (int i = 0; i < length; ++i) {
      text += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(random)];
    }
    return text;
  };
  for (int round = 0; round < 5; ++round) {
    std::string file;
    const int count = std::uniform_int_distribution<int>(1, 3000)(random);
    for (int i = 0; i < count; ++i) file += randomText() + "\n";
    file += randomText();
    const std::vector<std::string> lines = splitLines(file);
    const DomainList list = DomainList::fromText(file);
    expectSameEntries(list, lines);
    for (const std::string& line : lines) ASSERT_EQ(list.find(line), scan(lines, line)) << line;
    for (int i = 0; i < 2000; ++i) {
      const std::string host = randomText();
      ASSERT_EQ(list.find(host), scan(lines, host)) << host;
    }
  }
}

class RealListTest : public testing::TestWithParam<const char*> {};

TEST_P(RealListTest, FindsEveryEntryAndNoNearMiss) {
  const fs::path path = fs::path(HARBINEL_SHARED_DATA_DIR) / "blocklists" / GetParam();
  if (!fs::exists(path)) GTEST_SKIP() << path << " is not on this machine";
  const std::vector<std::string> lines = splitLines(test::readFile(path));
  const auto first = firstPositions(lines);
  const auto expected = [&](const std::string& host) {
    const auto found = first.find(host);
    return found == first.end() ? -1 : found->second;
  };
  const DomainList list = DomainList::fromFile(path);
  expectSameEntries(list, lines);
  for (const std::string& line : lines) {
    ASSERT_EQ(list.find(line), expected(line)) << line;
    // Hosts that differ from an entry by one byte, at either end, or in case.
    for (const std::string& near : {line + ".", "w" + line, line.substr(0, line.size() / 2),
                                    line + "\r", std::string(line).insert(0, "WWW.")}) {
      ASSERT_EQ(list.find(near), expected(near)) << near;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(SharedData, RealListTest,
                         testing::Values("ut1-union.domains", "ut1-redirector.domains"));

TEST(DomainListTest, FileReadsLikeItsText) {
  const TemporaryFolder folder;
  const std::string text = std::string("a.org\r\n\nb.org\n\xff\n") + std::string(100000, 'c');
  writeFile(folder / "dmn", text);
  const DomainList list = DomainList::fromFile(folder / "dmn");
  expectSameEntries(list, splitLines(text));
  EXPECT_EQ(list.find("b.org"), 2);
  EXPECT_EQ(list.find(std::string(100000, 'c')), 4);
}

TEST(DomainListTest, EmptyFileIsOneEmptyEntryUnlikeAMissingOne) {
  const TemporaryFolder folder;
  writeFile(folder / "dmn", "");
  EXPECT_EQ(DomainList::fromFile(folder / "dmn").size(), 1u);
  EXPECT_EQ(DomainList::fromFile(folder / "dmn").find(""), 0);
  EXPECT_EQ(DomainList::fromFile(folder / "missing").size(), 0u);
  EXPECT_EQ(DomainList::fromFile(folder / "missing").find(""), -1);
}

TEST(DomainListTest, WhatCannotBeReadGivesAnEmptyList) {
  const TemporaryFolder folder;
  fs::create_directory(folder / "folder");
  fs::create_symlink(folder / "nowhere", folder / "dangling");
  fs::create_symlink(folder / "loop", folder / "loop");
  for (const fs::path& path : {folder / "missing", folder / "folder", folder / "dangling",
                               folder / "loop", fs::path("/proc/self/mem"), fs::path()}) {
    const DomainList list = DomainList::fromFile(path);
    EXPECT_EQ(list.size(), 0u) << path;
    EXPECT_EQ(list.find(""), -1) << path;
  }
}

TEST(DomainListTest, FileWithoutReadPermissionGivesAnEmptyList) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  const TemporaryFolder folder;
  writeFile(folder / "dmn", "a.org\n");
  fs::permissions(folder / "dmn", fs::perms::none);
  EXPECT_EQ(DomainList::fromFile(folder / "dmn").size(), 0u);
}

TEST(FirstPositionTest, FirstEqualEntryOrMinusOne) {
  const std::vector<std::string> list = {"b.org", " ", "a.org", "b.org"};
  EXPECT_EQ(firstPosition(list, "b.org"), 0);
  EXPECT_EQ(firstPosition(list, "a.org"), 2);
  EXPECT_EQ(firstPosition(list, " "), 1);
  EXPECT_EQ(firstPosition(list, ""), -1);
  EXPECT_EQ(firstPosition({}, "a.org"), -1);
}

}  // namespace
}  // namespace harbinel::filter

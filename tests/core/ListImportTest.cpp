#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unordered_set>

#include "filter/ListImport.h"
#include "tests/core/TestSupport.h"

using namespace harbinel::filter;

TEST(ListImport, HostsAreNormalisedAsTheBlockCheckComparesThem) {
  const struct {
    const char* written;
    const char* host;  // "" when the text is no host
  } cases[] = {
      {"Example.ORG", "example.org"},
      {"www.example.org", "example.org"},
      {"WWW.example.org", "example.org"},
      {"https://www.example.org/games/index.html", "example.org"},
      {"example.org.", "example.org"},
      {"*.example.org", "example.org"},
      {".example.org", "example.org"},
      {"  news.example.org\r", "news.example.org"},
      {"b\xC3\xBC"
       "cher.example",
       "xn--bcher-kva.example"},
      {"a_b.example.org", "a_b.example.org"},
      {"10.1.2.3", "10.1.2.3"},
      {"", ""},
      {"example..org", ""},
      {"bad\xFFname.org", ""},
      {"example.org:8080", ""},
      {"exa$mple.org", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(normaliseListHost(c.written).value_or(""), c.host) << c.written;
  EXPECT_FALSE(normaliseListHost(std::string(64, 'a') + ".org"));
  EXPECT_TRUE(normaliseListHost(std::string(63, 'a') + ".org"));
}

TEST(ListImport, ReadsHostsFilesAdblockAndPlainListsInOneMix) {
  ListImporter importer;
  importer.addText(
      "# a hosts file\n"
      "127.0.0.1 localhost\n"
      "::1 ip6-localhost ip6-loopback\n"
      "0.0.0.0 ads.example.org tracker.example.net # two on one line\n"
      "0.0.0.0\tads.example.org\n"
      "! an adblock list\n"
      "[Adblock Plus 2.0]\n"
      "||casino.example.com^\n"
      "||www.Casino.example.com^$important\n"
      "||only-third.example^$third-party\n"
      "||paths.example/ads/\n"
      "example.net##.banner\n"
      "@@||allowed.example^\n"
      "plain.example.org\r\n"
      "\n"
      "two words\n"
      "games.example.org");
  EXPECT_EQ(importer.listText(),
            "ads.example.org\ntracker.example.net\ncasino.example.com\nplain.example.org\n"
            "games.example.org");
  const auto& counts = importer.counts();
  EXPECT_EQ(counts.duplicates, 2u);  // ads.example.org again, www.Casino.example.com
  EXPECT_EQ(counts.localNames, 3u);
  EXPECT_EQ(counts.invalid, 3u);  // element hiding, exception, two words
  EXPECT_EQ(counts.commentsAndBlank, 4u);
}

TEST(ListImport, RealListKeepsEveryWellFormedHostOnce) {
  const std::string text =
      harbinel::test::readFile(HARBINEL_SOURCE_DIR "/tests/data/ut1-union-sample.domains");
  ListImporter importer;
  importer.addText(text);
  const auto& counts = importer.counts();
  const std::size_t lines = 3000;
  EXPECT_EQ(counts.kept + counts.dropped() + counts.commentsAndBlank, lines);
  // The list is already clean lower-case hosts: nearly everything is kept.
  EXPECT_GT(counts.kept, lines * 99 / 100);

  std::unordered_set<std::string> seen;
  for (const auto& host : importer.hosts()) {
    EXPECT_TRUE(seen.insert(host).second) << host;
    EXPECT_EQ(normaliseListHost(host).value_or(""), host);  // already in its final form
  }
}

TEST(ListImport, ToolConvertsFilesAndReportsCounts) {
  const harbinel::test::TemporaryFolder folder;
  harbinel::test::writeFile(folder / "hosts",
                            "0.0.0.0 a.example b.example g.example/x\n127.0.0.1 localhost\n");
  harbinel::test::writeFile(folder / "adblock.txt", "! list\n||c.example^\n||a.example^\n");
  const auto output = folder / "dmn";
  const std::string command = std::string(HARBINEL_LISTS_TOOL) + " -o " + output.string() + " " +
                              (folder / "hosts").string() + " " +
                              (folder / "adblock.txt").string() + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[1024] = {};
  const std::string said(buffer, std::fread(buffer, 1, sizeof buffer - 1, pipe));
  EXPECT_EQ(::pclose(pipe), 0);
  EXPECT_EQ(harbinel::test::readFile(output), "a.example\nb.example\nc.example");
  EXPECT_EQ(said.substr(said.find("adblock.txt:")),
            "adblock.txt: kept 1 hosts, 1 duplicates, 0 narrower than a whole site, 0 invalid, 0 "
            "local names, 1 comments and blank lines\nharbinel-lists: in all: kept 3 hosts, 1 "
            "duplicates, 1 narrower than a whole site, 0 invalid, 1 local names, 1 comments and "
            "blank lines\n");

  const auto exitCode = [](const std::string& arguments) {
    return WEXITSTATUS(std::system((HARBINEL_LISTS_TOOL + arguments + " 2>/dev/null").c_str()));
  };
  EXPECT_EQ(exitCode(" " + (folder / "absent").string()), 2);
  EXPECT_EQ(exitCode(""), 2);
}

#include "filter/ListImport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "filter/DomainList.h"
#include "tests/core/TestSupport.h"

using namespace harbinel::filter;
using namespace harbinel::test;
namespace fs = std::filesystem;

namespace {

const std::string kSlice = HARBINEL_SOURCE_DIR "/tests/data/urlhaus-filter-online-slice.txt";

// What one line becomes after "dup.example": the hosts it adds, then the counts it raises.
std::string outcomeOf(const std::string& line) {
  ListImporter importer;
  importer.addText("dup.example\n" + line);
  const ImportCounts& c = importer.counts();
  std::string said = importer.listText().substr(std::string_view("dup.example").size());
  const std::size_t counts[] = {c.duplicates, c.narrower, c.invalid, c.localNames,
                                c.commentsAndBlank};
  const char* names[] = {" duplicate", " narrower", " invalid", " local", " comment"};
  for (std::size_t k = 0; k < std::size(counts); ++k) {
    for (std::size_t i = 0; i < counts[k]; ++i) said += names[k];
  }
  return said.substr(1);
}

}  // namespace

TEST(ListImport, HostsAreNormalisedAsTheBlockCheckComparesThem) {
  expectRows([](const std::string& written) { return normaliseListHost(written).value_or(""); },
             std::vector<std::pair<std::string, std::string>>{
                 {"https://WWW.Example.ORG./games/index.html", "example.org"},
                 {"*.example.org", "example.org"},
                 {".example.org", "example.org"},
                 {"  news.example.org\r", "news.example.org"},
                 {"a_b.example.org", "a_b.example.org"},
                 {"10.1.2.3", "10.1.2.3"},
                 {"example..org", ""},
                 {"bad\xFFname.org", ""},
                 {"example.org:8080", ""},
                 {"exa$mple.org", ""},
                 {std::string(63, 'a') + ".org", std::string(63, 'a') + ".org"},
                 {std::string(64, 'a') + ".org", ""}});
}

// What lines of hosts files, adblock lists and plain lists become. Only an entry for a whole
// site is kept; narrower ones are counted, never widened.
TEST(ListImport, EachLineIsKeptOnlyWhenItBlocksAWholeSite) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"a.example", {"0.0.0.0 a.example", "0.0.0.0\tA.example  # comment", "||a.example/^"}},
      {"c.example", {"||c.example^", "||www.C.example^$important", "c.example/\r"}},
      {"a.example narrower", {"0.0.0.0 a.example b.example/x # two"}},
      {"a.example local local", {"::1 localhost ip6-loopback a.example"}},
      {"narrower",
       {"0.0.0.0 g.example/x", "||c.example/path^", "||c.example/dl?id=1^$all", "||c.example?q=1",
        "||c.example^*.js", "||c.example^$third-party", "e2.example/path/x", "e2.example?x=1",
        "https://e3.example/page"}},
      {"invalid",
       {"||exa%mple/x^", "||c.example", "@@||c.example^", "c.example##.banner", "/path/only",
        "two words"}},
      {"duplicate", {"0.0.0.0 dup.example", "Dup.Example"}},
      {"comment", {"# hosts comment", "! adblock comment", "[Adblock Plus 2.0]"}}};
  for (const auto& [becomes, lines] : cases) {
    for (const auto& line : lines) EXPECT_EQ(outcomeOf(line), becomes) << line;
  }
}

// Hosts of every shape a real list holds survive; that none is kept twice or widened is the
// tables' work above.
TEST(ListImport, RealListKeepsItsHosts) {
  ListImporter clean;
  clean.addText(readFile(HARBINEL_SOURCE_DIR "/tests/data/ut1-union-sample.domains"));
  EXPECT_EQ(clean.counts().kept + clean.counts().dropped() + clean.counts().commentsAndBlank,
            3000u);
  EXPECT_GT(clean.counts().kept, 2970u) << "the list is already clean lower-case hosts";
}

// harbinel-lists run in a folder of lists; $LISTS is the tool, $S the slice of a real list. A
// failed import keeps the output as it was.
TEST(ListsTool, ImportsFilesGzipXzAndStandardInputAndChecksAddressesAsTheBrowserDoes) {
  const TemporaryFolder folder;
  writeFile(folder / "hosts", "0.0.0.0 a.example b.example g.example/x\n127.0.0.1 localhost\n");
  writeFile(folder / "adblock.txt", "! list\n||c.example^\n||a.example^\n");
  writeFile(folder / "kept", "kept.example\n");
  const struct {
    std::string command;
    std::string saidFragment;
    int status;
  } rows[] = {
      {"$LISTS -o out hosts adblock.txt && cat out",
       "adblock.txt: kept 1 hosts, 1 duplicates, 0 narrower than a whole site, 0 invalid, 0 local "
       "names, 1 comments and blank lines\nharbinel-lists: in all: kept 3 hosts, 1 duplicates, 1 "
       "narrower than a whole site, 0 invalid, 1 local names, 1 comments and blank "
       "lines\na.example\nb.example\nc.example",
       0},
      // A list with nothing to keep fails and leaves the output as it was.
      {"echo '||c.example/x^' | $LISTS -o kept - || cat kept", "\nkept.example\n", 0},
      {"$LISTS $S >plain && gzip -c $S >s.gz && $LISTS s.gz | cmp - plain && xz -c $S | "
       "$LISTS - | cmp - plain && head -1 plain",
       // Files on github.com, drive.google.com, archive.org... are narrower than a site.
       "kept 160 hosts, 0 duplicates, 240 narrower than a whole site, 0 invalid, 0 local names, "
       "6 comments and blank lines\n1.1.104.12\n",
       0},
      {"$LISTS absent", "absent", 2},
      // Checked as the browser decides: the shipped lists stand in for copies the data folder
      // lacks.
      {"$LISTS check --data . --settings none kids.example www.chatroulette.com",
       "kids.example\thost kids.example\tallowed\nwww.chatroulette.com\thost chatroulette.com\t"
       "refused by /",  // the shipped list's path
       1},
      {"$LISTS check", "usage: harbinel-lists check", 2},
      {"xz -c $S | head -c 2000 | $LISTS -", "", 2},
  };
  for (const auto& row : rows) {
    int status = -1;
    const std::string said = runCommand("cd " + folder.path().string() +
                                            " && LISTS=" HARBINEL_LISTS_TOOL " S=" + kSlice +
                                            " && { " + row.command + "; } 2>&1",
                                        status);
    EXPECT_NE(said.find(row.saidFragment), std::string::npos) << row.command << "\n" << said;
    EXPECT_EQ(status, row.status) << row.command;
  }
}

// That a list of any bytes answers as a scan of its lines is the DomainListFuzz target's work
// (its corpus keeps the awkward shapes: empty, CRLF and malformed lines, NUL bytes, lines on the
// index's block and word boundaries, more lines than the index fetches ahead). These are what it
// cannot reach: lines longer than its inputs and files that cannot be read.
TEST(DomainListTest, FileReadsLikeItsTextAndWhatCannotBeReadIsAnEmptyList) {
  const TemporaryFolder folder;
  writeFile(folder / "dmn", "a.org\r\n\n" + std::string(100000, 'c'));
  const DomainList read = DomainList::fromFile(folder / "dmn");
  EXPECT_EQ(read.find(std::string(100000, 'c')), 2);
  EXPECT_EQ(read.find("a.org\r"), 0);
  writeFile(folder / "empty", "");
  EXPECT_EQ(DomainList::fromFile(folder / "empty").find(""), 0) << "unlike a missing file";

  writeFile(folder / "unreadable", "a.org\n");
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

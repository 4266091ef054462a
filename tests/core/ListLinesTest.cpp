#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "filter/ListImport.h"
#include "tests/core/TestSupport.h"

using namespace harbinel::filter;

namespace {

const std::string kSlice = HARBINEL_SOURCE_DIR "/tests/data/urlhaus-filter-online-slice.txt";

// What one line becomes after "dup.example": the hosts it adds, then the counts it raises.
std::string outcomeOf(std::string_view line) {
  ListImporter importer;
  importer.addLine("dup.example");
  importer.addLine(line);
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

// The standard output of a shell command; `status` gets its exit status.
std::string run(const std::string& command, int& status) {
  FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  std::string output;
  char buffer[4096];
  while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
    output.append(buffer, read);
  status = WEXITSTATUS(::pclose(pipe));
  return output;
}

}  // namespace

TEST(ListLines, EntriesNarrowerThanASiteAreCountedNeverWidened) {
  // What lines of hosts files, adblock lists and plain lists become.
  const std::pair<const char*, std::vector<std::string_view>> cases[] = {
      {"a.example", {"0.0.0.0 a.example"}},
      {"c.example", {"||c.example^", "||c.example/^", "||c.example^$important"}},
      {"e1.example", {"e1.example", "e1.example/"}},
      {"a.example narrower", {"0.0.0.0 a.example b.example/x # two"}},
      {"narrower",
       {"0.0.0.0 g.example/x", "||c.example/path^", "||c.example/dl?id=1^$all", "||c.example?q=1",
        "||c.example^*.js", "||c.example^$third-party", "e2.example/path/x", "e2.example?x=1",
        "https://e3.example/page"}},
      {"invalid",
       {"||exa%mple/x^", "||c.example", "@@||c.example^", "c.example##.banner", "/path/only",
        "two words"}},
      {"duplicate", {"0.0.0.0 dup.example", "Dup.Example"}},
      {"comment", {"# hosts comment", "! adblock comment"}}};
  for (const auto& [becomes, lines] : cases) {
    for (const auto line : lines) EXPECT_EQ(outcomeOf(line), becomes) << line;
  }
}

TEST(ListLines, RealListKeepsOnlyHostsThatStandAlone) {
  const std::string text = harbinel::test::readFile(kSlice);
  ListImporter importer;
  importer.addText(text);
  // Every host kept stands alone on a line of the list.
  for (const auto& host : importer.hosts()) EXPECT_NE(text.find('\n' + host + '\n'), text.npos);
  const auto& counts = importer.counts();
  EXPECT_EQ(counts.kept, 160u);
  EXPECT_EQ(counts.narrower, 240u);  // files on github.com, drive.google.com, archive.org...
}

TEST(ListLines, ToolReadsGzipXzAndStandardInputAlike) {
  const harbinel::test::TemporaryFolder folder;
  const std::string tool = HARBINEL_LISTS_TOOL, gzipped = (folder / "gzipped.txt").string();
  int status = -1;
  const std::string plain = run(tool + " " + kSlice, status);
  EXPECT_TRUE(plain.starts_with("1.1.104.12\n") && plain.ends_with("\nzx2a.cdn-2-45.ru"));
  // A list with nothing to keep leaves the output as it was.
  EXPECT_EQ(run("gzip -c " + kSlice + " > " + gzipped + " && echo '||c.example/x^' | " + tool +
                    " -o " + gzipped + " -; echo $?",
                status),
            "1\n");
  EXPECT_EQ(run(tool + " " + gzipped, status), plain);
  EXPECT_EQ(run("xz -c " + kSlice + " | " + tool + " -", status), plain);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(run("xz -c " + kSlice + " | head -c 2000 | " + tool + " -", status), "");
  EXPECT_EQ(status, 2);
}

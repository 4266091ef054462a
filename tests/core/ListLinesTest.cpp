#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <unordered_set>

#include "filter/ListImport.h"
#include "tests/core/TestSupport.h"

using namespace harbinel::filter;

namespace {

const std::string kSlice = HARBINEL_SOURCE_DIR "/tests/data/urlhaus-filter-online-slice.txt";

// What one line becomes after "dup.example": the hosts it adds, then the counts it raises.
std::string outcomeOf(std::string_view line) {
  ListImporter importer;
  importer.addLine("dup.example");
  const ImportCounts before = importer.counts();
  importer.addLine(line);
  const ImportCounts added = importer.counts().since(before);
  std::string said;
  for (std::size_t i = 1; i < importer.hosts().size(); ++i) said += importer.hosts()[i] + " ";
  for (const auto& [count, name] : {std::pair{added.duplicates, "duplicate"},
                                    {added.narrower, "narrower"},
                                    {added.invalid, "invalid"},
                                    {added.localNames, "local"},
                                    {added.commentsAndBlank, "comment"}}) {
    for (std::size_t i = 0; i < count; ++i) said += std::string(name) + " ";
  }
  if (!said.empty()) said.pop_back();
  return said;
}

// The tool's standard output; `status` gets its exit status.
std::string runTool(const std::string& arguments, int& status) {
  FILE* pipe = ::popen((HARBINEL_LISTS_TOOL " " + arguments + " 2>/dev/null").c_str(), "r");
  std::string output;
  char buffer[4096];
  while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
    output.append(buffer, read);
  status = WEXITSTATUS(::pclose(pipe));
  return output;
}

}  // namespace

TEST(ListLines, EntriesNarrowerThanASiteAreCountedNeverWidened) {
  const struct {
    const char* line;
    const char* becomes;
  } cases[] = {
      {"0.0.0.0 a.example", "a.example"},
      {"0.0.0.0 g.example/x", "narrower"},
      {"0.0.0.0 a.example b.example/x # two", "a.example narrower"},
      {"127.0.0.1 localhost", "local"},
      {"0.0.0.0 dup.example", "duplicate"},
      {"# hosts comment", "comment"},
      {"||c.example^", "c.example"},
      {"||c.example/^", "c.example"},
      {"||c.example^$important", "c.example"},
      {"||c.example/path^", "narrower"},
      {"||c.example/dl?id=1^$all", "narrower"},
      {"||c.example?q=1", "narrower"},
      {"||c.example^*.js", "narrower"},
      {"||c.example^$third-party", "narrower"},
      {"||exa%mple/x^", "invalid"},
      {"||c.example", "invalid"},
      {"@@||c.example^", "invalid"},
      {"c.example##.banner", "invalid"},
      {"! adblock comment", "comment"},
      {"e1.example", "e1.example"},
      {"e1.example/", "e1.example"},
      {"https://www.e3.example/", "e3.example"},
      {"e2.example/path/x", "narrower"},
      {"e2.example?x=1", "narrower"},
      {"https://e3.example/page", "narrower"},
      {"Dup.Example", "duplicate"},
      {"/path/only", "invalid"},
      {"two words", "invalid"},
  };
  for (const auto& c : cases) EXPECT_EQ(outcomeOf(c.line), c.becomes) << c.line;
}

TEST(ListLines, RealListKeepsOnlyHostsThatStandAlone) {
  const std::string text = harbinel::test::readFile(kSlice);
  ListImporter importer;
  importer.addText(text);
  std::unordered_set<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.insert(line);
  for (const auto& host : importer.hosts()) EXPECT_TRUE(lines.contains(host)) << host;
  const auto& counts = importer.counts();
  EXPECT_EQ(counts.kept, 160u);
  EXPECT_EQ(counts.narrower, 240u);  // files on github.com, drive.google.com, archive.org...
  EXPECT_EQ(counts.dropped(), counts.narrower);
}

TEST(ListLines, ToolReadsGzipXzAndStandardInputAlike) {
  const harbinel::test::TemporaryFolder folder;
  const std::string gzipped = (folder / "gzipped.txt").string();
  const std::string xzed = (folder / "xzed").string();
  ASSERT_EQ(std::system(("gzip -c " + kSlice + " > " + gzipped + " && xz -c " + kSlice + " > " +
                         xzed + " && head -c 2000 " + xzed + " > " + xzed + "-cut")
                            .c_str()),
            0);
  int status = -1;
  const std::string plain = runTool(kSlice, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(std::count(plain.begin(), plain.end(), '\n'), 159);
  EXPECT_EQ(runTool(gzipped, status), plain);
  EXPECT_EQ(runTool("- < " + xzed, status), plain);
  EXPECT_EQ(runTool(xzed + "-cut", status), "");
  EXPECT_EQ(status, 2);
}

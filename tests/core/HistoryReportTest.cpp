#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "parents/HistoryReport.h"
#include "tests/core/TestSupport.h"

namespace {
namespace fs = std::filesystem;
using namespace harbinel::parents;
using namespace harbinel::platform;
using namespace harbinel::test;

const std::string kSeparator(kReportSeparator);
const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// UTF-16 code units as little-endian bytes, built here so the tests do not lean on the codec
// they check.
std::string littleEndian(std::u16string_view units) {
  std::string bytes;
  for (const char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

// One history line as the history log stores it: its own byte-order mark, then the text.
std::string historyLine(std::u16string_view stamp, std::u16string_view text) {
  return "\xFF\xFE" +
         littleEndian(std::u16string(stamp) + u"  --> " + std::u16string(text) + u"\n");
}

// Broken bytes become replacement characters; byte-order marks go wherever they stand. Whole
// lines, empty and cut-short files are checked through the report.
TEST(DecodeDayFile, RemovesEveryByteOrderMarkAndRepairsBrokenBytes) {
  const struct {
    const char* what;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"no byte-order mark", littleEndian(u"plain"), "plain"},
      {"a single byte", "\xFF", kReplacement},
      {"lone high surrogate",
       historyLine(u"s",
                   u"a\xD83D"
                   u"b"),
       "s  --> a" + kReplacement + "b\n"},
      {"lone low surrogate", historyLine(u"s", u"\xDE00"), "s  --> " + kReplacement + "\n"},
      // A line cut inside a surrogate pair must not pair up with the next line's start.
      {"pair split by a byte-order mark",
       "\xFF\xFE" + littleEndian(u"\xD83D") + "\xFF\xFE" + littleEndian(u"\xDE00"),
       kReplacement + kReplacement},
  };
  for (const auto& c : cases) EXPECT_EQ(decodeDayFile(c.bytes), c.text) << c.what;
}

// A history folder, and a moment that is still the 4th in UTC but already the 5th in Berlin.
class Report : public ::testing::Test {
 protected:
  void day(std::string_view name, std::string_view bytes) const {
    writeFile(folder_ / (std::string(name) + ".lic"), bytes);
  }
  std::string report(const fs::path& folder) const {
    return assembleReport(folder, localTime(2026, 12, 4, 23, 30, 0, "UTC"),
                          {"en_GB", "Europe/Berlin"});
  }

  TemporaryFolder folder_;
};

// Empty, unreadable and broken day files still give their day a separator.
TEST_F(Report, SevenDaysNewestFirstAndNothingElse) {
  EXPECT_EQ(report(folder_ / "missing"), "");
  EXPECT_EQ(report(folder_.path()), "");
  day("05122026", historyLine(u"05-Dec-2026 09:00:00", u"today.example") +
                      historyLine(u"05-Dec-2026 04:05:09", u"later.example"));
  day("04122026", "");
  fs::create_directory(folder_ / "03122026.lic");
  day("02122026", historyLine(u"s", u"cut") + "\x41");
  day("29112026", historyLine(u"29-Nov-2026 10:00:00", u"six.example"));
  day("28112026", historyLine(u"28-Nov-2026 10:00:00", u"seven days ago"));
  day("06122026", historyLine(u"06-Dec-2026 10:00:00", u"tomorrow"));
  day("05122025", historyLine(u"05-Dec-2025 10:00:00", u"a year ago"));
  writeFile(folder_ / "05122026.txt", "not a day file");

  EXPECT_EQ(report(folder_.path()),
            "05-Dec-2026 09:00:00  --> today.example\n"
            "05-Dec-2026 04:05:09  --> later.example\n" +
                kSeparator + kSeparator + kSeparator + "s  --> cut\n" + kReplacement + kSeparator +
                "29-Nov-2026 10:00:00  --> six.example\n" + kSeparator);
}

TEST(ReportDays, CarryIntoThePreviousMonthAndYearInTheLocalesCalendar) {
  const struct {
    const char* what;
    harbinel::platform::TimePoint now;
    DateLocale where;
    std::vector<std::string> inside;  // newest first, as the report must give them
    std::vector<std::string> outside;
  } cases[] = {
      {"1 January",
       localTime(2027, 1, 1, 0, 0, 0, "America/New_York"),
       {"en_US", "America/New_York"},
       {"01012027", "31122026", "30122026", "29122026", "28122026", "27122026", "26122026"},
       {"25122026", "02012027", "01012026"}},
      {"the 3rd of March",
       localTime(2026, 3, 3, 23, 59, 59, "Europe/Berlin"),
       {"de_DE", "Europe/Berlin"},
       {"03032026", "02032026", "01032026", "28022026", "27022026", "26022026", "25022026"},
       {"24022026", "04032026", "03022026"}},
      {"the 3rd of March in a leap year",
       localTime(2024, 3, 3, 12, 0, 0, "Europe/Berlin"),
       {"de_DE", "Europe/Berlin"},
       {"03032024", "02032024", "01032024", "29022024", "28022024", "27022024", "26022024"},
       {"25022024"}},
      {"the Buddhist calendar",
       localTime(2027, 1, 1, 8, 0, 0, "Asia/Bangkok"),
       {"th_TH", "Asia/Bangkok"},
       {"01012570", "31122569", "30122569", "29122569", "28122569", "27122569", "26122569"},
       {"25122569", "01012027", "31122026"}},
  };
  for (const auto& c : cases) {
    const TemporaryFolder folder;
    // Each day file holds its own name, so the report shows which days it took, in which order.
    std::string expected;
    for (const auto& name : c.inside) {
      writeFile(folder / (name + ".lic"),
                historyLine(u"s", std::u16string(name.begin(), name.end())));
      expected += "s  --> " + name + "\n" + kSeparator;
    }
    for (const auto& name : c.outside) {
      writeFile(folder / (name + ".lic"), historyLine(u"s", u"outside"));
    }
    EXPECT_EQ(assembleReport(folder.path(), c.now, c.where), expected) << c.what;
  }
}

TEST(ReportPath, AddsTxtOnlyWhereTheNameLacksIt) {
  const struct {
    fs::path chosen;
    fs::path written;
  } cases[] = {
      {"/home/parent/history", "/home/parent/history.txt"},
      {"/home/parent/history.txt", "/home/parent/history.txt"},
      {"/home/parent/history.text", "/home/parent/history.text.txt"},
      {"/home/parent/history.TXT", "/home/parent/history.TXT.txt"},  // comparisons are exact
  };
  for (const auto& c : cases) EXPECT_EQ(reportPath(c.chosen), c.written) << c.chosen;
}

TEST(WriteReport, WritesUtf8WithoutAByteOrderMarkReplacingAnEarlierReport) {
  const TemporaryFolder target;
  writeFile(target / "history.txt", std::string(10000, 'x'));
  const std::string report = decodeDayFile(historyLine(u"05-Dec", u"é😀"));
  const auto result = writeReport(target / "history.txt", report);
  EXPECT_TRUE(result.ok) << result.detail;
  EXPECT_EQ(readFile(target / "history.txt"), "05-Dec  --> \xC3\xA9\xF0\x9F\x98\x80\n");
  EXPECT_EQ(namesIn(target.path()), std::vector<std::string>{"history.txt"});
}

// Failures name the path and leave nothing half-written: no temporary file, no folder replaced.
TEST(WriteReport, FailureIsReportedAndLeavesNothingHalfWritten) {
  const TemporaryFolder target;
  const fs::path missing = target / "gone" / "history.txt";
  auto result = writeReport(missing, "report");
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.detail.find(missing.parent_path().string()), std::string::npos) << result.detail;
  EXPECT_TRUE(namesIn(target.path()).empty());

  fs::create_directory(target / "history.txt");
  writeFile(target / "history.txt" / "inside", "kept");
  result = writeReport(target / "history.txt", "report");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(namesIn(target.path()), std::vector<std::string>{"history.txt"});
  EXPECT_EQ(readFile(target / "history.txt" / "inside"), "kept");
}

}  // namespace

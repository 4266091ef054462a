#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "parents/HistoryReport.h"
#include "parents/WeekHistory.h"
#include "storage/HistoryLog.h"
#include "tests/core/TestSupport.h"

namespace {
namespace fs = std::filesystem;
using namespace harbinel::parents;
using namespace harbinel::platform;
using namespace harbinel::test;

const std::string kSeparator(kReportSeparator);
const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD
const DateLocale kBerlin{"en_GB", "Europe/Berlin"};

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

// Broken bytes become replacement characters; byte-order marks go wherever they stand. That any
// bytes decode to well-formed text without a mark is the DayFileFuzz target's work.
TEST(DecodeDayFile, RemovesEveryByteOrderMarkAndRepairsBrokenBytes) {
  expectRows<std::string, std::string>(
      decodeDayFile,
      {{littleEndian(u"plain"), "plain"},
       {"\xFF", kReplacement},
       {historyLine(u"s",
                    u"a\xD83D"
                    u"b"),
        "s  --> a" + kReplacement + "b\n"},
       {historyLine(u"s", u"\xDE00"), "s  --> " + kReplacement + "\n"},
       // A line cut inside a surrogate pair must not pair up with the next line's start.
       {"\xFF\xFE" + littleEndian(u"\xD83D") + "\xFF\xFE" + littleEndian(u"\xDE00"),
        kReplacement + kReplacement}});
}

// Each day file holds its own name, so the report shows which days it took, in which order;
// empty, unreadable and broken day files still give their day a separator.
TEST(Report, SevenDaysNewestFirstInTheLocalesCalendarAndNothingElse) {
  {
    // In the Buddhist calendar: the day files of the last seven days, newest first, alone.
    const TemporaryFolder folder;
    std::string expected;
    for (const std::string name :
         {"01012570", "31122569", "30122569", "29122569", "28122569", "27122569", "26122569"}) {
      writeFile(folder / (name + ".lic"),
                historyLine(u"s", std::u16string(name.begin(), name.end())));
      expected += "s  --> " + name + "\n" + kSeparator;
    }
    for (const std::string name : {"25122569", "01012027", "31122026"})
      writeFile(folder / (name + ".lic"), historyLine(u"s", u"outside"));
    EXPECT_EQ(assembleReport(folder.path(), localTime(2027, 1, 1, 8, 0, 0, "Asia/Bangkok"),
                             {"th_TH", "Asia/Bangkok"}),
              expected);
  }
  // Still the 4th in UTC but already the 5th in Berlin.
  const TemporaryFolder folder;
  const auto report = [&](const fs::path& from) {
    return assembleReport(from, localTime(2026, 12, 4, 23, 30, 0, "UTC"), kBerlin);
  };
  EXPECT_EQ(report(folder / "missing"), "");
  EXPECT_EQ(report(folder.path()), "");
  writeFile(folder / "05122026.lic",
            historyLine(u"09:00", u"today.example") + historyLine(u"04:05", u"later.example"));
  writeFile(folder / "04122026.lic", "");
  fs::create_directory(folder / "03122026.lic");
  writeFile(folder / "02122026.lic", historyLine(u"s", u"cut") + "\x41");
  writeFile(folder / "05122026.txt", "not a day file");
  EXPECT_EQ(report(folder.path()), "09:00  --> today.example\n04:05  --> later.example\n" +
                                       kSeparator + kSeparator + kSeparator + "s  --> cut\n" +
                                       kReplacement + kSeparator);
}

TEST(ReportPath, AddsTxtOnlyWhereTheNameLacksIt) {
  expectRows<fs::path, fs::path>(reportPath,
                                 {{"/home/parent/history", "/home/parent/history.txt"},
                                  {"/home/parent/history.txt", "/home/parent/history.txt"},
                                  {"/home/parent/history.TXT", "/home/parent/history.TXT.txt"}});
}

// UTF-8 without a byte-order mark over an earlier report; a failure names the path and leaves
// nothing half-written: no temporary file, no folder replaced.
TEST(WriteReport, ReplacesAnEarlierReportOrFailsLeavingNothingHalfWritten) {
  const TemporaryFolder target;
  writeFile(target / "history.txt", std::string(10000, 'x'));
  auto result = writeReport(target / "history.txt", decodeDayFile(historyLine(u"05-Dec", u"é😀")));
  EXPECT_TRUE(result.ok) << result.detail;
  EXPECT_EQ(readFile(target / "history.txt"), "05-Dec  --> \xC3\xA9\xF0\x9F\x98\x80\n");
  result = writeReport(target / "gone" / "history.txt", "report");
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.detail.find((target / "gone").string()), std::string::npos) << result.detail;
  fs::create_directory(target / "folder.txt");
  EXPECT_FALSE(writeReport(target / "folder.txt", "report").ok);
  EXPECT_EQ(namesIn(target.path()), (std::vector<std::string>{"folder.txt", "history.txt"}));
}

// A week written by the history log itself; "today" is Thursday 2 January 2025. Each day
// names its lines; a day without any has no file, one starts empty, one holds a broken line.
TEST(WeekHistory, CountsEachDayAndTheSitesSeenMostNewestFirst) {
  const TemporaryFolder folder;
  const auto log = [&](int month, int day, int hour, std::string_view text) {
    const harbinel::platform::FixedClock at(
        localTime(month == 12 ? 2024 : 2025, month, day, hour, 0, 0, "Europe/Berlin"));
    ASSERT_TRUE(harbinel::storage::HistoryLog(folder.path(), at, kBerlin).append(text));
  };
  log(1, 3, 9, "tomorrow.example");  // after today: not this week
  log(1, 2, 9, "http://www.kids.example/games");
  log(1, 2, 15, "kids.example/maths");
  log(1, 1, 9, "https://kids.example");
  log(1, 1, 10, "café.example/ß");
  // 31 December: no day file.
  writeFile(folder / "30122024.lic", "");
  log(12, 29, 8, "b.example");
  writeFile(folder / "29122024.lic", readFile(folder / "29122024.lic") + "\xFF\xFE" +
                                         std::string("b\0r\0o\0k\0e\0n\0\n\0", 14));
  log(12, 29, 9, "a.example");
  for (int site = 0; site < 11; ++site) log(12, 27, 10, "s" + std::to_string(site) + ".example");
  log(12, 26, 9, "too-old.example");  // seven days before: not this week

  const WeekHistory week =
      readWeekHistory(folder.path(), localTime(2025, 1, 2, 18, 0, 0, "Europe/Berlin"), kBerlin);

  EXPECT_EQ(week.pagesPerDay, (std::array<int, 7>{2, 2, 0, 0, 2, 0, 11}));
  std::vector<std::string> top;
  for (const auto& site : week.topSites)
    top.push_back(site.host + " " + std::to_string(site.pages));
  EXPECT_EQ(top,
            (std::vector<std::string>{
                "kids.example 3", "a.example 1", "b.example 1", "café.example 1", "s0.example 1",
                "s1.example 1", "s10.example 1", "s2.example 1", "s3.example 1", "s4.example 1"}));
  ASSERT_EQ(week.lines.size(), 17u);
  const auto line = [&](std::size_t at) {
    const HistoryLine& l = week.lines[at];
    return std::to_string(l.day) + " " + l.time + " " + l.address;
  };
  // Newest first, the order the parents' window test checks; the time as the stamp gives it.
  EXPECT_EQ(line(0), "0 03:00:00 kids.example/maths");
  EXPECT_EQ(line(4), "4 09:00:00 a.example");
}

}  // namespace

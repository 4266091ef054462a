#include "storage/HistoryLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "parents/HistoryReport.h"
#include "parents/WeekHistory.h"
#include "platform/DateFormat.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"
#include "tests/core/TestSupport.h"

using namespace harbinel::parents;
using namespace harbinel::platform;
using namespace harbinel::storage;
using namespace harbinel::test;
namespace fs = std::filesystem;

namespace {

const DateLocale kLondon{"en_GB", "Europe/London"};
const std::string kBom = "\xEF\xBB\xBF";  // U+FEFF in UTF-8: every line starts with its own mark
const std::string kStamp = kBom + "05-Dec-2026 04:05:09  --> ";

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

TimePoint london(int day, int hour, int minute, int second) {
  return localTime(2026, 12, day, hour, minute, second, "Europe/London");
}

// A history folder written at 16:05:09 on 5 December in London.
class History : public ::testing::Test {
 protected:
  std::string decoded(const fs::path& file) const { return utf16leToUtf8(readFile(file)); }

  TemporaryFolder folder;
  FixedClock clock{london(5, 16, 5, 9)};
  HistoryLog log{folder / "hts", clock, kLondon};
};

}  // namespace

// A 12-hour clock without a marker: 13:00 reads 01, half past midnight 12:30.
TEST(HistoryStamp, StampsDayFilesAndCalendarsFollowTheLocale) {
  const struct {
    TimePoint moment;
    DateLocale where;
    std::string line;
    std::string dayFile;
  } cases[] = {
      {london(3, 13, 0, 0), kLondon, "03-Dec-2026 01:00:00  --> x\n", "03122026.lic"},
      {london(3, 0, 30, 0), kLondon, "03-Dec-2026 12:30:00  --> x\n", "03122026.lic"},
      {localTime(2026, 3, 3, 7, 7, 0, "Europe/Berlin"),
       {"de_DE", "Europe/Berlin"},
       "03-M\xC3\xA4rz-2026 07:07:00  --> x\n",
       "03032026.lic"},
      {localTime(2026, 3, 3, 13, 7, 0, "Asia/Bangkok"),
       {"th_TH", "Asia/Bangkok"},
       "03-\xE0\xB8\xA1\xE0\xB8\xB5.\xE0\xB8\x84.-2569 01:07:00  --> x\n",
       "03032569.lic"},
      // 23:30 in London is already the next day in Bangkok.
      {london(31, 23, 30, 0),
       {"en_GB", "Asia/Bangkok"},
       "01-Jan-2027 06:30:00  --> x\n",
       "01012027.lic"},
  };
  for (const auto& [moment, where, line, dayFile] : cases) {
    const std::string bytes = historyLineBytes(moment, "x", where);
    EXPECT_EQ(utf16leToUtf8(bytes), kBom + line);
    EXPECT_EQ(dayFileName(moment, where), dayFile);
  }
  // A week back across the start of summer time still starts at local midnight.
  const auto spring = localTime(2026, 3, 31, 12, 0, 0, "Europe/London");
  EXPECT_EQ(formatDate(startOfDayBefore(spring, 6, kLondon), "ddMMyyyy HH:mm", kLondon),
            "25032026 00:00");
}

// Dates follow the language gettext chooses for the texts, else the messages locale.
TEST(TextLanguage, DatesFollowTheLanguageGettextChoosesForTheTexts) {
  const std::pair<LocaleVariables, const char*> cases[] = {
      {{"it:fr_CA.UTF-8:de", "", "", "en_GB.UTF-8"}, "fr_CA"},  // no Italian: the next one
      {{"it", "fr_FR.UTF-8@x", "nl_NL.UTF-8", "de_DE.UTF-8"}, "fr_FR"},
      {{"de", "", "", "C.UTF-8"}, "de"},
      {{"de", "C", "", "de_DE.UTF-8"}, ""},  // the C locale: gettext reads no LANGUAGE
  };
  const auto translated = [](std::string_view language) {
    return language == "de" || language == "es" || language == "fr";
  };
  for (const auto& [variables, locale] : cases) {
    EXPECT_EQ(textLocaleFor(variables, translated), locale) << variables.language;
  }
}

TEST_F(History, AppendsWholeLinesInCallOrderToTheDayFileOfTheirMoment) {
  for (const std::string text : {"first", "", "two\nlines", "\xF0\x9F\x98\x80 \xC3\xA9"})
    ASSERT_TRUE(log.append(text));
  EXPECT_EQ(log.todaysFile(), folder / "hts" / "05122026.lic");
  EXPECT_EQ(decoded(log.todaysFile()), kStamp + "first\n" + kStamp + "\n" + kStamp +
                                           "two\nlines\n" + kStamp + "\xF0\x9F\x98\x80 \xC3\xA9\n");
  // A run past midnight starts the new day's file, and a removed folder is made again.
  clock.set(localTime(2027, 1, 1, 0, 0, 1, "Europe/London"));
  ASSERT_TRUE(log.append("after"));
  EXPECT_EQ(decoded(folder / "hts" / "01012027.lic"), kBom + "01-Jan-2027 12:00:01  --> after\n");
  fs::remove_all(folder / "hts");
  ASSERT_TRUE(log.append("after removal"));
  EXPECT_EQ(decoded(log.todaysFile()), kBom + "01-Jan-2027 12:00:01  --> after removal\n");
}

TEST_F(History, FailedAppendsReturnFalseAndLeaveTheFileAsItWas) {
  fs::permissions(folder.path(), fs::perms::others_exec, fs::perm_options::add);
  ASSERT_TRUE(log.append("kept"));
  const std::string before = readFile(log.todaysFile());
  const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(folder / "hts", writable, fs::perm_options::remove);
  fs::permissions(log.todaysFile(), writable, fs::perm_options::remove);
  EXPECT_TRUE(runWithoutRootPowers([&] { return !log.append("lost"); }));
  clock.set(london(6, 9, 0, 0));
  EXPECT_TRUE(runWithoutRootPowers([&] { return !log.append("no file"); }));
  EXPECT_FALSE(fs::exists(log.todaysFile()));

  clock.set(london(5, 16, 5, 9));
  fs::permissions(log.todaysFile(), fs::perms::owner_write, fs::perm_options::add);
  {
    // The disk fills up in the middle of the line: what did get written is taken back.
    const FileSizeLimit fullDisk(before.size() + 11);
    EXPECT_FALSE(log.append("does not fit"));
  }
  EXPECT_EQ(readFile(log.todaysFile()), before);
  writeFile(folder / "not a folder", "");
  EXPECT_FALSE(HistoryLog(folder / "not a folder" / "hts", clock, kLondon).append("x"));
}

TEST_F(History, TwoProcessesAppendingAtOnceKeepEveryLineWhole) {
  constexpr int kLines = 200;
  const std::string texts[2] = {std::string(100, 'a'), std::string(100, 'b')};
  EXPECT_TRUE(runInTwoProcessesAtOnce([&](int process) {
    bool ok = true;
    for (int i = 0; i < kLines; ++i) ok = log.append(texts[process]) && ok;
    return ok;
  }));
  std::map<std::string, int> lines;
  std::istringstream decodedLines(decoded(log.todaysFile()));
  for (std::string line; std::getline(decodedLines, line);) ++lines[line];
  EXPECT_EQ(lines,
            (std::map<std::string, int>{{kStamp + texts[0], kLines}, {kStamp + texts[1], kLines}}));
}

// Broken bytes become replacement characters; byte-order marks go wherever they stand. That any
// bytes decode to well-formed text without a mark, lone surrogates too, is the DayFileFuzz
// target's work.
TEST(DecodeDayFile, RemovesEveryByteOrderMarkAndRepairsBrokenBytes) {
  expectRows<std::string, std::string>(
      decodeDayFile,
      {{littleEndian(u"plain"), "plain"},
       {"\xFF", kReplacement},
       // A line cut inside a surrogate pair must not pair up with the next line's start.
       {"\xFF\xFE" + littleEndian(u"\xD83D") + "\xFF\xFE" + littleEndian(u"\xDE00"),
        kReplacement + kReplacement}});
}

// Each day file holds its own name, so the report shows which days it took, in which order:
// the last seven days of the locale's calendar in its time zone, newest first, nothing else.
// Empty, unreadable and broken day files still give their day a separator; a day without a file
// gives none.
TEST(Report, SevenDaysNewestFirstInTheLocalesCalendarAndNothingElse) {
  const TemporaryFolder folder;
  // Still 31 December in UTC but already 1 January 2570 in Bangkok's Buddhist calendar.
  const auto report = [&](const fs::path& from) {
    return assembleReport(from, localTime(2026, 12, 31, 20, 0, 0, "UTC"),
                          {"th_TH", "Asia/Bangkok"});
  };
  EXPECT_EQ(report(folder / "missing"), "");
  EXPECT_EQ(report(folder.path()), "");
  writeFile(folder / "01012570.lic",
            historyLine(u"09:00", u"today.example") + historyLine(u"04:05", u"later.example"));
  writeFile(folder / "31122569.lic", "");
  fs::create_directory(folder / "30122569.lic");
  writeFile(folder / "29122569.lic", historyLine(u"s", u"cut") + "\x41");
  writeFile(folder / "26122569.lic", historyLine(u"s", u"oldest"));
  for (const std::string name : {"25122569.lic", "01012027.lic", "31122026.lic", "01012570.txt"})
    writeFile(folder / name, historyLine(u"s", u"outside"));
  EXPECT_EQ(report(folder.path()), "09:00  --> today.example\n04:05  --> later.example\n" +
                                       kSeparator + kSeparator + kSeparator + "s  --> cut\n" +
                                       kReplacement + kSeparator + "s  --> oldest\n" + kSeparator);
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

// A week written by the history log itself; "today" is Thursday 2 January 2025. A day without
// lines has no file, one starts empty, one holds a broken line. How a site's addresses count as
// one, and the most seen first, the parents' window test shows.
TEST_F(History, WeekCountsEachDayAndTenSitesNewestFirst) {
  const auto at = [&](int month, int day, int hour, std::string_view text) {
    clock.set(localTime(month == 12 ? 2024 : 2025, month, day, hour, 0, 0, "Europe/London"));
    ASSERT_TRUE(log.append(text));
  };
  at(1, 3, 9, "tomorrow.example");  // after today: not this week
  at(1, 2, 15, "kids.example/maths");
  writeFile(folder / "hts" / "30122024.lic", "");
  at(12, 29, 8, "b.example");
  writeFile(folder / "hts" / "29122024.lic", readFile(folder / "hts" / "29122024.lic") +
                                                 "\xFF\xFE" +
                                                 std::string("b\0r\0o\0k\0e\0n\0\n\0", 14));
  for (int site = 0; site < 11; ++site) at(12, 27, 10, "s" + std::to_string(site) + ".example");
  at(12, 26, 9, "too-old.example");  // seven days before: not this week

  const WeekHistory week =
      readWeekHistory(folder / "hts", localTime(2025, 1, 2, 18, 0, 0, "Europe/London"), kLondon);

  EXPECT_EQ(week.pagesPerDay, (std::array<int, 7>{1, 0, 0, 0, 1, 0, 11}));
  std::string top;
  for (const auto& site : week.topSites) top += site.host.substr(0, site.host.find('.')) + " ";
  EXPECT_EQ(top, "b kids s0 s1 s10 s2 s3 s4 s5 s6 ");
  ASSERT_EQ(week.lines.size(), 13u);
  // The time as the stamp gives it.
  EXPECT_EQ(week.lines[0].day, 0);
  EXPECT_EQ(week.lines[0].time + " " + week.lines[0].address, "03:00:00 kids.example/maths");
  EXPECT_EQ(week.lines[1].address, "b.example");
}

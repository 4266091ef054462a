#include "storage/HistoryLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/DateFormat.h"
#include "platform/TextCodec.h"
#include "tests/core/FileFaults.h"
#include "tests/core/TestSupport.h"

using namespace harbinel::platform;
using namespace harbinel::storage;
using namespace harbinel::test;
namespace fs = std::filesystem;

namespace {

const DateLocale kLondon{"en_GB", "Europe/London"};
const std::string kBom = "\xEF\xBB\xBF";  // U+FEFF in UTF-8: every line starts with its own mark
const std::string kStamp = kBom + "05-Dec-2026 04:05:09  --> ";

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
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(utf16leToUtf8(bytes.substr(2)), line);
    EXPECT_EQ(dayFileName(moment, where), dayFile);
  }
  // A week back across the start of summer time still starts at local midnight.
  const auto spring = localTime(2026, 3, 31, 12, 0, 0, "Europe/London");
  EXPECT_EQ(formatDate(startOfDayBefore(spring, 6, kLondon), "ddMMyyyy HH:mm", kLondon),
            "25032026 00:00");
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
  const std::string lines = decoded(log.todaysFile());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2 * kLines);
  for (const std::string& text : texts) {
    std::size_t whole = 0;
    for (auto at = lines.find(kStamp + text + "\n"); at != lines.npos;
         at = lines.find(kStamp + text + "\n", at + 1))
      ++whole;
    EXPECT_EQ(whole, std::size_t{kLines});
  }
}

// Decoding and surrogate pairs are checked through the day files; these are what they miss.
TEST(TextCodec, RepairsBrokenInput) {
  EXPECT_EQ(utf8ToUtf16le("\xFF"), "\xFD\xFF");
  EXPECT_FALSE(isValidUtf8("ab\xC3"));
}

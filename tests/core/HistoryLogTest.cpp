#include "storage/HistoryLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/TextCodec.h"
#include "tests/core/FileFaults.h"
#include "tests/core/TestSupport.h"

using namespace harbinel::platform;
using namespace harbinel::storage;
using namespace harbinel::test;
namespace fs = std::filesystem;

namespace {

const DateLocale kLondon{"en_GB", "Europe/London"};

harbinel::platform::TimePoint london(int day, int hour, int minute, int second) {
  return localTime(2026, 12, day, hour, minute, second, "Europe/London");
}

const std::string kBom = "\xEF\xBB\xBF";  // U+FEFF in UTF-8
const std::string kStamp = kBom + "05-Dec-2026 04:05:09  --> ";

// Decodes a day file with Python's own UTF-16 codec, one line of text at a time.
std::vector<std::string> linesDecodedByPython(const fs::path& file) {
  int status = 0;
  const std::string output = harbinel::test::runPython(
      "import codecs, sys\n"
      "for line in codecs.open(sys.argv[1], 'r', 'utf-16-le'):\n"
      "    sys.stdout.buffer.write(line.encode('utf-8') + b'\\0')\n",
      {file.string()}, status);
  EXPECT_EQ(status, 0);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = output.find('\0', start)) != output.npos;
       start = end + 1) {
    lines.push_back(output.substr(start, end - start));
  }
  return lines;
}

std::string decoded(const fs::path& file) {
  return harbinel::platform::utf16leToUtf8(readFile(file));
}

}  // namespace

// A 12-hour clock without a marker: 13:00 reads 01, half past midnight 12:30 (16:05 reads 04:05
// in the append test below).
TEST(HistoryLog, StampsDayFilesAndCalendarsFollowTheLocale) {
  const struct {
    harbinel::platform::TimePoint moment;
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
    EXPECT_EQ(harbinel::platform::utf16leToUtf8(bytes.substr(2)), line);
    EXPECT_EQ(dayFileName(moment, where), dayFile);
  }
}

TEST(HistoryLog, AppendsWholeLinesInCallOrderThatPythonDecodes) {
  const TemporaryFolder folder;
  const FixedClock clock(london(5, 16, 5, 9));
  const HistoryLog log(folder / "hts", clock, kLondon);
  const std::vector<std::string> texts = {"first", "", "two\nlines", "\xF0\x9F\x98\x80 \xC3\xA9"};
  for (const auto& text : texts) ASSERT_TRUE(log.append(text));

  const fs::path file = folder / "hts" / "05122026.lic";
  EXPECT_EQ(log.todaysFile(), file);
  // Python's codec also checks the surrogate pair's byte order and that every line has its mark.
  const std::vector<std::string> expected = {kStamp + "first\n", kStamp + "\n", kStamp + "two\n",
                                             "lines\n", kStamp + texts[3] + "\n"};
  EXPECT_EQ(linesDecodedByPython(file), expected);
}

TEST(HistoryLog, ARunPastMidnightCreatesTheNewDaysFile) {
  const TemporaryFolder folder;
  FixedClock clock(london(31, 23, 59, 59));
  const HistoryLog log(folder / "hts", clock, kLondon);
  ASSERT_TRUE(log.append("before"));
  clock.set(localTime(2027, 1, 1, 0, 0, 1, "Europe/London"));
  ASSERT_TRUE(log.append("after"));
  EXPECT_EQ(decoded(folder / "hts" / "31122026.lic"), kBom + "31-Dec-2026 11:59:59  --> before\n");
  EXPECT_EQ(decoded(folder / "hts" / "01012027.lic"), kBom + "01-Jan-2027 12:00:01  --> after\n");

  fs::remove_all(folder / "hts");
  ASSERT_TRUE(log.append("after removal"));
  EXPECT_EQ(decoded(log.todaysFile()), kBom + "01-Jan-2027 12:00:01  --> after removal\n");
}

TEST(HistoryLog, FailedAppendsReturnFalseAndLeaveTheFileAsItWas) {
  const TemporaryFolder folder;
  fs::permissions(folder.path(), fs::perms::others_exec, fs::perm_options::add);
  FixedClock clock(london(5, 16, 5, 9));
  const HistoryLog log(folder / "hts", clock, kLondon);
  ASSERT_TRUE(log.append("kept"));
  const std::string before = readFile(log.todaysFile());

  const auto writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(folder / "hts", writable, fs::perm_options::remove);
  fs::permissions(log.todaysFile(), writable, fs::perm_options::remove);
  EXPECT_TRUE(harbinel::test::runWithoutRootPowers([&] { return !log.append("lost"); }));
  clock.set(london(6, 9, 0, 0));
  EXPECT_TRUE(harbinel::test::runWithoutRootPowers([&] { return !log.append("no file"); }));
  EXPECT_FALSE(fs::exists(log.todaysFile()));

  clock.set(london(5, 16, 5, 9));
  fs::permissions(log.todaysFile(), fs::perms::owner_write, fs::perm_options::add);
  {
    // The disk fills up in the middle of the line: what did get written is taken back.
    const harbinel::test::FileSizeLimit fullDisk(before.size() + 11);
    EXPECT_FALSE(log.append("does not fit"));
  }
  EXPECT_EQ(readFile(log.todaysFile()), before);

  writeFile(folder / "not a folder", "");
  const HistoryLog nowhere(folder / "not a folder" / "hts", clock, kLondon);
  EXPECT_FALSE(nowhere.append("x"));
}

TEST(HistoryLog, TwoProcessesAppendingAtOnceKeepEveryLineWhole) {
  const TemporaryFolder folder;
  const FixedClock clock(london(5, 16, 5, 9));
  const HistoryLog log(folder / "hts", clock, kLondon);
  constexpr int kLines = 200;
  const std::string texts[2] = {std::string(100, 'a'), std::string(100, 'b')};
  EXPECT_TRUE(harbinel::test::runInTwoProcessesAtOnce([&](int process) {
    bool ok = true;
    for (int i = 0; i < kLines; ++i) ok = log.append(texts[process]) && ok;
    return ok;
  }));
  const std::vector<std::string> lines = linesDecodedByPython(log.todaysFile());
  EXPECT_EQ(lines.size(), 2u * kLines);
  for (const std::string& text : texts) {
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kStamp + text + "\n"), kLines);
  }
}

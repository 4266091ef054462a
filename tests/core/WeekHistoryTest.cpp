#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parents/WeekHistory.h"
#include "storage/HistoryLog.h"
#include "tests/core/TestSupport.h"

namespace {
using namespace harbinel;
using namespace harbinel::test;

const platform::DateLocale kBerlin{"en_GB", "Europe/Berlin"};

// A week written by the history log itself; "today" is Thursday 2 January 2025. Each day
// names its lines; a day without any has no file, one starts empty, one holds a broken line.
TEST(WeekHistory, CountsEachDayAndTheSitesSeenMostNewestFirst) {
  const TemporaryFolder folder;
  const auto log = [&](int month, int day, int hour, std::string_view text) {
    const platform::FixedClock at(
        localTime(month == 12 ? 2024 : 2025, month, day, hour, 0, 0, "Europe/Berlin"));
    ASSERT_TRUE(storage::HistoryLog(folder.path(), at, kBerlin).append(text));
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

  const parents::WeekHistory week = parents::readWeekHistory(
      folder.path(), localTime(2025, 1, 2, 18, 0, 0, "Europe/Berlin"), kBerlin);

  EXPECT_EQ(week.pagesPerDay, (std::array<int, 7>{2, 2, 0, 0, 2, 0, 11}));
  EXPECT_EQ(platform::formatDate(week.days[6], "EEE dd MMM", kBerlin), "Fri 27 Dec");
  std::vector<std::string> top;
  for (const auto& site : week.topSites)
    top.push_back(site.host + " " + std::to_string(site.pages));
  EXPECT_EQ(top,
            (std::vector<std::string>{
                "kids.example 3", "a.example 1", "b.example 1", "café.example 1", "s0.example 1",
                "s1.example 1", "s10.example 1", "s2.example 1", "s3.example 1", "s4.example 1"}));
  ASSERT_EQ(week.lines.size(), 17u);
  const auto line = [&](std::size_t at) {
    const parents::HistoryLine& l = week.lines[at];
    return std::to_string(l.day) + " " + l.time + " " + l.address;
  };
  EXPECT_EQ(line(0), "0 03:00:00 kids.example/maths");
  EXPECT_EQ(line(1), "0 09:00:00 http://www.kids.example/games");
  EXPECT_EQ(line(3), "1 09:00:00 https://kids.example");
  EXPECT_EQ(line(4), "4 09:00:00 a.example");
  EXPECT_EQ(line(5), "4 08:00:00 b.example");
  EXPECT_EQ(line(16), "6 10:00:00 s0.example");
}

}  // namespace

#include <gtest/gtest.h>

#include <chrono>

#include "platform/DateFormat.h"
#include "platform/TextCodec.h"
#include "tests/core/TestSupport.h"

using harbinel::platform::DateLocale;
using harbinel::platform::formatDate;
using harbinel::platform::startOfDayBefore;
using harbinel::test::localTime;

TEST(DateFormat, DayFileAndStampPatternsInTheLocale) {
  const DateLocale english{"en_GB", "Europe/London"};
  const auto afternoon = localTime(2026, 12, 5, 16, 5, 9, "Europe/London");
  EXPECT_EQ(formatDate(afternoon, "ddMMyyyy", english), "05122026");
  // The 12-hour clock without a marker: 16:05 and 04:05 read the same.
  EXPECT_EQ(formatDate(afternoon, "dd-MMM-yyyy hh:mm:ss", english), "05-Dec-2026 04:05:09");
  EXPECT_EQ(formatDate(localTime(2026, 1, 3, 13, 0, 0, "Europe/London"), "hh", english), "01");
  EXPECT_EQ(formatDate(localTime(2026, 1, 3, 0, 30, 0, "Europe/London"), "hh", english), "12");

  const DateLocale german{"de_DE", "Europe/Berlin"};
  EXPECT_EQ(formatDate(localTime(2026, 3, 3, 9, 0, 0, "Europe/Berlin"), "dd-MMM-yyyy", german),
            "03-März-2026");

  // The Thai locale counts years in the Buddhist era.
  const DateLocale thai{"th_TH", "Asia/Bangkok"};
  EXPECT_EQ(formatDate(localTime(2026, 12, 5, 10, 0, 0, "Asia/Bangkok"), "ddMMyyyy", thai),
            "05122569");
}

TEST(DateFormat, DaysBeforeCarryIntoEarlierMonthsAndYears) {
  const DateLocale where{"en_GB", "America/New_York"};
  const auto newYear = localTime(2027, 1, 1, 23, 59, 0, "America/New_York");
  EXPECT_EQ(formatDate(startOfDayBefore(newYear, 0, where), "ddMMyyyy HH:mm", where),
            "01012027 00:00");
  EXPECT_EQ(formatDate(startOfDayBefore(newYear, 6, where), "ddMMyyyy", where), "26122026");
  const auto third = localTime(2026, 3, 3, 8, 0, 0, "America/New_York");
  EXPECT_EQ(formatDate(startOfDayBefore(third, 3, where), "ddMMyyyy", where), "28022026");

  const DateLocale thai{"th_TH", "Asia/Bangkok"};
  EXPECT_EQ(formatDate(startOfDayBefore(localTime(2027, 1, 1, 1, 0, 0, "Asia/Bangkok"), 1, thai),
                       "ddMMyyyy", thai),
            "31122569");
}

TEST(TextCodec, RoundTripsAndRepairsBrokenInput) {
  using namespace harbinel::platform;
  const std::string text = "a\xC3\xA9\xF0\x9F\x98\x80";  // a, é, 😀 (a surrogate pair)
  const std::string utf16 = utf8ToUtf16le(text);
  EXPECT_EQ(utf16, std::string("a\0\xE9\0\x3D\xD8\x00\xDE", 8));
  EXPECT_EQ(utf16leToUtf8(utf16), text);
  EXPECT_EQ(utf16leToUtf8(std::string("\x3D\xD8", 2)), "\xEF\xBF\xBD");  // lone surrogate
  EXPECT_EQ(utf16leToUtf8(std::string("a\0b", 3)), "a\xEF\xBF\xBD");     // odd byte
  EXPECT_EQ(utf8ToUtf16le("\xFF"), "\xFD\xFF");
  EXPECT_TRUE(isValidUtf8(text));
  EXPECT_FALSE(isValidUtf8("ab\xC3"));
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // an encoded surrogate
}

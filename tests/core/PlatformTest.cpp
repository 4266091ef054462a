#include <gtest/gtest.h>

#include "platform/DateFormat.h"
#include "platform/TextCodec.h"
#include "tests/core/TestSupport.h"

using namespace harbinel::platform;

// Patterns, locales and calendars are checked through the history log's day files and stamps,
// and the carry into earlier months and years through the report's seven days.
TEST(DateFormat, DaysBeforeStartAtLocalMidnight) {
  const DateLocale where{"en_GB", "America/New_York"};
  const auto newYear = harbinel::test::localTime(2027, 1, 1, 23, 59, 0, "America/New_York");
  EXPECT_EQ(formatDate(startOfDayBefore(newYear, 0, where), "ddMMyyyy HH:mm", where),
            "01012027 00:00");
  EXPECT_EQ(formatDate(startOfDayBefore(newYear, 6, where), "ddMMyyyy HH:mm", where),
            "26122026 00:00");
}

// Decoding and surrogate pairs are checked through the day files; these are what they miss.
TEST(TextCodec, RepairsBrokenInput) {
  EXPECT_EQ(utf8ToUtf16le("\xFF"), "\xFD\xFF");
  EXPECT_FALSE(isValidUtf8("ab\xC3"));
}

#include <gtest/gtest.h>

#include "parents/PasswordPacing.h"

namespace {
using namespace std::chrono_literals;
using harbinel::parents::PasswordPacing;
using harbinel::platform::FixedClock;

// The wait after each wrong password in a row: none for three, then doubling up to 5 minutes.
TEST(PasswordPacing, WaitsDoubleAfterThreeWrongUpToFiveMinutesAndARightOneResets) {
  FixedClock clock(harbinel::platform::TimePoint(1000h));
  PasswordPacing pacing(clock);
  const std::chrono::seconds expected[] = {0s, 0s, 2s, 4s, 8s, 16s, 32s, 64s, 128s, 256s, 300s, 300s};
  for (const auto wait : expected) {
    pacing.wrongPassword();
    EXPECT_EQ(pacing.waitLeft(), wait);
    clock.set(clock.now() + wait);
    EXPECT_EQ(pacing.waitLeft(), 0s);
  }
  clock.set(clock.now() - 1s);
  pacing.wrongPassword();
  clock.set(clock.now() - 2h);  // the clock set back: the wait stays what was due
  EXPECT_EQ(pacing.waitLeft(), 300s);
  clock.set(clock.now() + 299s);
  EXPECT_EQ(pacing.waitLeft(), 1s);
  pacing.rightPassword();
  EXPECT_EQ(pacing.waitLeft(), 0s);
  pacing.wrongPassword();
  pacing.wrongPassword();
  EXPECT_EQ(pacing.waitLeft(), 0s);
}

}  // namespace

#include "parents/NewPassword.h"

#include <gtest/gtest.h>

#include "parents/PasswordPacing.h"

namespace {
using namespace std::chrono_literals;

TEST(NewPassword, RulesInPlainWords) {
  const struct {
    const char* password;
    const char* repeated;
    const char* problem;
  } cases[] = {
      {"äöü€", "äöü€", ""},  // four characters, eleven bytes
      {"äöü", "äöü", "The password needs at least 4 characters."},
      {"harbinel", "harbinel", "Choose a password of your own, not the one Harbinel comes with."},
      {"Harbinel", "Harbinel", ""},
      {"abcd ", "abcd", "Type the same password again in the second field."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(harbinel::parents::newPasswordProblem(c.password, c.repeated), c.problem)
        << c.password;
  }
}

// The wait after each wrong password in a row: none for three, then doubling up to 5 minutes.
TEST(PasswordPacing, WaitsDoubleAfterThreeWrongUpToFiveMinutesAndARightOneResets) {
  harbinel::platform::FixedClock clock(harbinel::platform::TimePoint(1000h));
  harbinel::parents::PasswordPacing pacing(clock);
  const std::chrono::seconds expected[] = {0s,  0s,  2s,   4s,   8s,   16s,
                                           32s, 64s, 128s, 256s, 300s, 300s};
  for (const auto wait : expected) {
    pacing.wrongPassword();
    EXPECT_EQ(pacing.waitLeft(), wait);
    clock.set(clock.now() + wait);
  }
  EXPECT_EQ(pacing.waitLeft(), 0s);
  clock.set(clock.now() - 1s);
  pacing.wrongPassword();
  clock.set(clock.now() - 2h);  // the clock set back: the wait stays what was due
  EXPECT_EQ(pacing.waitLeft(), 300s);
  clock.set(clock.now() + 299s);
  EXPECT_EQ(pacing.waitLeft(), 1s);
  pacing.rightPassword();
  pacing.wrongPassword();
  EXPECT_EQ(pacing.waitLeft(), 0s);
}

}  // namespace

#include "platform/KioskPolicy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "browser/StartPage.h"
#include "parents/NewPassword.h"
#include "parents/PasswordPacing.h"
#include "tests/core/TestSupport.h"

namespace harbinel {
namespace {
using namespace std::chrono_literals;

TEST(RestartBudget, AllowsALimitedNumberWithinTheWindowThenRecovers) {
  platform::RestartBudget budget(3, 60s);
  const auto start = platform::RestartBudget::Clock::time_point{} + 1h;
  // Seconds after the start, and whether a restart is allowed then.
  const std::pair<std::chrono::seconds, bool> steps[] = {
      {0s, true},   {1s, true},   {2s, true},   {3s, false},
      {59s, false},                // a refusal is no restart, but the first is still in the window
      {60s, true},  {60s, false},  // the first restart left the window: one more, not a whole set
      {600s, true}, {601s, true}, {602s, true}, {603s, false}};  // long calm: the whole budget
  for (const auto& [after, allowed] : steps)
    EXPECT_EQ(budget.mayRestart(start + after), allowed) << after.count();
}

// Only a link with this start page's token opens a favourite.
TEST(StartPage, OnlyTheTokensTileAddressesChooseATile) {
  EXPECT_EQ(browser::tileAddress("5f1c", 3), "harbinel-tile:5f1c/3");
  const auto chosen = [](const std::string& address) {
    return browser::chosenTile(address, "5f1c");
  };
  test::expectRows<std::string, std::optional<std::size_t>>(chosen, {{"harbinel-tile:5f1c/3", 3},
                                                                     {"harbinel-tile:5f1c/0", 0},
                                                                     {"harbinel-tile:bad/3", {}},
                                                                     {"harbinel-tile:5f1c/", {}},
                                                                     {"harbinel-tile:5f1c/3x", {}},
                                                                     {"harbinel-tile:5f1c/-1", {}},
                                                                     {"http://5f1c/3", {}},
                                                                     {"harbinel-tile:5f1c3", {}}});
  EXPECT_EQ(browser::chosenTile("harbinel-tile:/3", ""), std::nullopt);
}

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
    EXPECT_EQ(parents::newPasswordProblem(c.password, c.repeated), c.problem) << c.password;
  }
}

// The wait after each wrong password in a row: none for three, then doubling up to 5 minutes.
TEST(PasswordPacing, WaitsDoubleAfterThreeWrongUpToFiveMinutesAndARightOneResets) {
  platform::FixedClock clock(platform::TimePoint(1000h));
  parents::PasswordPacing pacing(clock);
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
}  // namespace harbinel

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "browser/TimeLimits.h"
#include "tests/core/TestSupport.h"

namespace harbinel::test {
namespace {

using browser::TimeKeeper;

// One moment of a day in January 2025 (the 6th is a Monday), in Berlin, and what happens then:
// "count N" (minutes of browsing), "grant N", "rest" (of the day), "restart" (a new keeper over
// the same files), "file TEXT" (the day file holds TEXT), or nothing. `left` is what is left after
// it in minutes; -1: no limit.
struct Step {
  int day, hour, minute;
  std::string act;
  long long left;
};

// "Name: KEY=value KEY=value ...", and its steps.
struct Scenario {
  std::string nameAndSettings;
  std::vector<Step> steps;
  std::string name() const { return nameAndSettings.substr(0, nameAndSettings.find(':')); }
  friend void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name(); }
};

const Scenario kScenarios[] = {
    {"RunsOut: TM0=30 TM1=45",
     {{6, 10, 0, "", 30}, {6, 10, 0, "count 25", 5}, {6, 10, 30, "count 5", 0}, {6, 11, 0, "", 0}}},
    {"RestartKeepsTheUsedTime: TM0=30", {{6, 10, 0, "count 20", 10}, {6, 12, 0, "restart", 10}}},
    {"NewDayStartsAfresh: TM0=30 TM1=45",
     {{6, 10, 0, "count 30", 0}, {7, 0, 1, "", 45}, {7, 9, 0, "count 5", 40}}},
    {"OutsideTheHours: TF=08:00 TU=18:00",
     {{6, 7, 59, "", 0}, {6, 8, 0, "", 600}, {6, 17, 50, "", 10}, {6, 18, 0, "", 0}}},
    {"HoursOverMidnight: TF=20:00 TU=2:00",
     {{6, 19, 0, "", 0}, {6, 23, 0, "", 180}, {7, 1, 30, "", 30}, {7, 2, 0, "", 0}}},
    {"MinutesAndHoursTheEarlierEnds: TM0=120 TU=10:30",
     {{6, 10, 0, "", 30}, {6, 10, 0, "count 20", 30}}},
    {"GrantsCountOnceTheRulesTimeIsOver: TM0=30 TU=18:00",
     {{6, 10, 0, "count 30", 0}, {6, 10, 30, "grant 15", 15}, {6, 10, 30, "count 10", 5}}},
    {"GrantsOutsideTheHoursAndForTheRestOfTheDay: TU=18:00",
     {{6, 19, 0, "grant 30", 30}, {6, 19, 0, "rest", -1}, {7, 10, 0, "", 480}}},
    {"GrantBeforeTheEndAddsToIt: TM0=30", {{6, 10, 0, "grant 15", 45}}},
    {"ClockSetBackGivesNoMinutes: TM0=30 TM6=60",
     {{6, 17, 0, "count 30", 0}, {5, 23, 0, "", 0}, {6, 9, 0, "count 5", 0}}},
    {"ClockSetBackGivesNoHours: TU=18:00", {{6, 18, 30, "count 1", 0}, {6, 17, 0, "", 0}}},
    {"UnreadableMinutesAllowNothing: TM0=1h", {{6, 10, 0, "", 0}}},
    {"UnreadableHoursAllowNothing: TF=8:00 TU=6pm", {{6, 10, 0, "", 0}}},
    {"NoRulesNoLimit: TM1= TF=", {{6, 10, 0, "count 500", -1}}},
    // A day file that cannot be read counts as a day used up; one of a later day than the
    // clock shows is kept as it is.
    {"UnreadableDayFileGivesNoTime: TM0=30", {{6, 10, 0, "file day 2025-01-0", 0}}},
    {"LaterDayFileGivesNoTime: TM0=30",
     {{6, 10, 0, "file day 2025-01-07 seen 0 used 1500 granted 0 grant-used 0 rest-of-day no", 5}}},
};

long long minutesLeft(const browser::TimeLeft& left) {
  return left.limited ? left.left.count() / 60 : -1;
}

class TimeLimitsTest : public ::testing::TestWithParam<Scenario> {
 protected:
  TemporaryFolder folder;
  storage::SettingsFile settings{folder / "data.plist"};
  platform::FixedClock clock{platform::TimePoint{}};
  platform::DateLocale berlin{"", "Europe/Berlin"};
};

TEST_P(TimeLimitsTest, LeavesWhatTheRulesAllow) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::istringstream words(GetParam().nameAndSettings.substr(GetParam().name().size() + 1));
  for (std::string word; words >> word;) {
    entries.emplace_back(word.substr(0, word.find('=')), word.substr(word.find('=') + 1));
  }
  ASSERT_TRUE(settings.save(entries).ok());
  auto keeper = std::make_unique<TimeKeeper>(settings, folder / "time", clock, berlin);
  for (const Step& step : GetParam().steps) {
    clock.set(localTime(2025, 1, step.day, step.hour, step.minute, 0, "Europe/Berlin"));
    std::istringstream act(step.act);
    std::string verb;
    long long number = 0;
    act >> verb >> number;
    if (verb == "count") keeper->count(std::chrono::minutes(number));
    if (verb == "grant") keeper->grant(std::chrono::minutes(number));
    if (verb == "rest") keeper->grantRestOfDay();
    if (verb == "file") writeFile(folder / "time", step.act.substr(verb.size() + 1));
    if (verb == "restart")
      keeper = std::make_unique<TimeKeeper>(settings, folder / "time", clock, berlin);
    EXPECT_EQ(minutesLeft(keeper->left()), step.left) << "step " << &step - &GetParam().steps[0];
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, TimeLimitsTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return info.param.name(); });

}  // namespace
}  // namespace harbinel::test

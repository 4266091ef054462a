#pragma once

#include <array>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/DateFormat.h"
#include "storage/SettingsFile.h"

namespace harbinel::browser {

using std::chrono::minutes;
using std::chrono::seconds;

// How long before the end the child is told that the time is nearly up.
inline constexpr minutes kTimeWarning{5};

// Minutes a day from a TM0..TM6 value: empty is no limit. Anything but a whole number of
// minutes reads as 0, so a mistyped limit never lifts the limit; more than a day is a day.
std::optional<minutes> parseDailyMinutes(std::string_view text);

// Minutes after midnight from an "HH:MM" value (TF, TU): empty is none; "24:00" is midnight at
// the day's end. Anything else is unreadable.
struct ClockTime {
  std::optional<int> minute;
  bool unreadable = false;
};
ClockTime parseClockTime(std::string_view text);

// The parent's rules for one day, from TM<weekday>, TF and TU.
struct DayRules {
  std::optional<minutes> allowance;  // none: no limit on minutes
  bool hours = false;                // TF or TU is set
  int from = 0;                      // minutes after midnight
  int until = 24 * 60;               // before `from`: the hours run over midnight

  bool any() const { return allowance.has_value() || hours; }
  // Seconds from `secondOfDay` to the end of the allowed hours; 0 outside them.
  seconds hoursLeft(int secondOfDay) const;
};
// Monday is weekday 0. An unreadable TF or TU allows no hours at all.
DayRules rulesFor(const storage::Settings& settings, int weekday);

// What the day file holds: one day's counted time and the parent's grants.
struct TimeDay {
  std::string date;        // the local day, "yyyy-MM-dd"
  std::int64_t seen = 0;   // the latest moment this day was counted at (seconds since 1970)
  seconds used{0};         // counted against the day's rules
  seconds granted{0};      // more time the parent gave
  seconds grantUsed{0};    // counted against that, once the rules' time was over
  bool restOfDay = false;  // the parent lifted every rule for the rest of the day

  bool operator==(const TimeDay&) const = default;
};
std::string dayFileText(const TimeDay& day);
// Nothing when the text is not a day file.
std::optional<TimeDay> parseDayFile(std::string_view text);

// What is left of today's time.
struct TimeLeft {
  bool limited = false;  // some rule holds today
  seconds left{0};       // when limited

  bool up() const { return limited && left <= seconds(0); }
  bool ending() const { return limited && !up() && left <= kTimeWarning; }
};

// The calm line the start page shows while a limit holds, and the banner's line near the end
// (empty when there is nothing to say).
std::string timeNotice(const TimeLeft& left);
std::string timeBanner(const TimeLeft& left);

// Keeps the child's time: the rules are read from the settings at every use, the count of the
// day from the day file, and every change is written back to it at once (atomically), so a
// restart never gives time back. A clock set back never moves "now" before the latest moment
// already counted: neither the day nor the time of day goes back with it.
class TimeKeeper {
 public:
  TimeKeeper(storage::SettingsFile settings, std::filesystem::path dayFile,
             const platform::Clock& clock, platform::DateLocale where = {});

  TimeLeft left() const;
  // Counts `elapsed` of browsing (measured by the caller on a clock that never goes back) and
  // returns what is left after it. Without a limit today nothing is counted.
  TimeLeft count(seconds elapsed);
  void grant(minutes more);
  void grantRestOfDay();
  // All the time counted today, whatever it was counted against.
  seconds usedToday() const;

 private:
  struct Now {
    TimeDay day;
    DayRules rules;
    int secondOfDay = 0;
    bool unreadable = false;  // the day file is there but is no day file
  };
  Now now() const;
  static TimeLeft leftOf(const Now& now);
  void save(const TimeDay& day) const;

  storage::SettingsFile settings_;
  std::filesystem::path dayFile_;
  const platform::Clock& clock_;
  platform::DateLocale where_;
};

}  // namespace harbinel::browser

#include "browser/TimeLimits.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/Translation.h"

namespace harbinel::browser {
namespace {

constexpr int kMinutesADay = 24 * 60;
constexpr seconds kADay{24 * 60 * 60};

std::optional<int> wholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The local day, weekday and time of `moment`, always in the Gregorian calendar so that the
// dates of the day file compare as texts.
struct LocalMoment {
  std::string date;
  int weekday = 0;  // Monday is 0
  int secondOfDay = 0;
};

LocalMoment localMoment(platform::TimePoint moment, const platform::DateLocale& where) {
  const std::string text = platform::formatDate(moment, "yyyy-MM-dd EEE HH mm ss",
                                                {"en_US_POSIX@calendar=gregorian", where.timeZone});
  std::istringstream fields(text);
  LocalMoment local;
  std::string weekday;
  int hour = 0, minute = 0, second = 0;
  fields >> local.date >> weekday >> hour >> minute >> second;
  constexpr std::array<std::string_view, 7> kWeekdays = {"Mon", "Tue", "Wed", "Thu",
                                                         "Fri", "Sat", "Sun"};
  const auto found = std::find(kWeekdays.begin(), kWeekdays.end(), weekday);
  local.weekday = static_cast<int>((found - kWeekdays.begin()) % 7);
  local.secondOfDay = (hour * 60 + minute) * 60 + second;
  return local;
}

std::int64_t secondsSince1970(platform::TimePoint moment) {
  return std::chrono::duration_cast<seconds>(moment.time_since_epoch()).count();
}

long long wholeMinutesUp(seconds span) {
  return (span.count() + 59) / 60;
}

// `text` (translated, with "%1" in it) with `number` in the place of "%1".
std::string withNumber(const char* text, long long number) {
  std::string said(text);
  if (const auto at = said.find("%1"); at != std::string::npos) {
    said.replace(at, 2, std::to_string(number));
  }
  return said;
}

// One of the counts of a day file; false when the value is no count.
bool readCount(const std::string& key, const std::string& value, TimeDay& day) {
  const auto number = wholeNumber(value);
  if (!number || *number < 0) return false;
  if (key == "seen") day.seen = *number;
  if (key == "used") day.used = seconds(*number);
  if (key == "granted") day.granted = seconds(*number);
  if (key == "grant-used") day.grantUsed = seconds(*number);
  return true;
}

}  // namespace

std::optional<minutes> parseDailyMinutes(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const auto value = wholeNumber(text);
  if (!value || *value < 0) return minutes(0);
  return minutes(std::min(*value, kMinutesADay));
}

ClockTime parseClockTime(std::string_view text) {
  if (text.empty()) return {};
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() - colon != 3) {
    return {std::nullopt, true};
  }
  const auto hour = wholeNumber(text.substr(0, colon));
  const auto minute = wholeNumber(text.substr(colon + 1));
  if (!hour || !minute || *hour < 0 || *minute < 0 || *minute > 59 || *hour > 24 ||
      (*hour == 24 && *minute != 0)) {
    return {std::nullopt, true};
  }
  return {*hour * 60 + *minute, false};
}

seconds DayRules::hoursLeft(int secondOfDay) const {
  const int start = from * 60, end = until * 60;
  if (from > until && secondOfDay >= start) {  // the hours run over midnight
    return seconds(kMinutesADay * 60 - secondOfDay + end);
  }
  const bool inside = secondOfDay < end && (from > until || start <= secondOfDay);
  return seconds(inside ? end - secondOfDay : 0);
}

DayRules rulesFor(const storage::Settings& settings, int weekday) {
  DayRules rules;
  rules.allowance = parseDailyMinutes(storage::valueOf(settings, "TM" + std::to_string(weekday)));
  const ClockTime from = parseClockTime(storage::valueOf(settings, "TF"));
  const ClockTime until = parseClockTime(storage::valueOf(settings, "TU"));
  rules.hours = from.minute || until.minute || from.unreadable || until.unreadable;
  rules.from = from.minute.value_or(0);
  rules.until = until.minute.value_or(kMinutesADay);
  if (from.unreadable || until.unreadable) rules.from = rules.until = 0;  // no hours at all
  return rules;
}

std::string dayFileText(const TimeDay& day) {
  return "day " + day.date + "\nseen " + std::to_string(day.seen) + "\nused " +
         std::to_string(day.used.count()) + "\ngranted " + std::to_string(day.granted.count()) +
         "\ngrant-used " + std::to_string(day.grantUsed.count()) + "\nrest-of-day " +
         (day.restOfDay ? "yes" : "no") + "\n";
}

std::optional<TimeDay> parseDayFile(std::string_view text) {
  TimeDay day;
  std::istringstream lines{std::string(text)};
  std::string key, value;
  while (lines >> key >> value) {
    if (key == "day") {
      day.date = value;
    } else if (key == "rest-of-day") {
      day.restOfDay = value == "yes";
    } else if (!readCount(key, value, day)) {
      return std::nullopt;
    }
  }
  if (day.date.size() != 10) return std::nullopt;
  return day;
}

std::string timeNotice(const TimeLeft& left) {
  if (!left.limited || left.up()) return "";
  if (left.ending()) return timeBanner(left);
  const long long shown = wholeMinutesUp(left.left);
  // TRANSLATORS: %1 is a number of minutes.
  return withNumber(
      g_dngettext(GETTEXT_PACKAGE, "You have %1 minute left today.",
                  "You have %1 minutes left today.", static_cast<unsigned long>(shown)),
      shown);
}

std::string timeBanner(const TimeLeft& left) {
  if (!left.ending()) return "";
  const long long shown = wholeMinutesUp(left.left);
  // TRANSLATORS: %1 is a number of minutes (5 or fewer).
  return withNumber(
      g_dngettext(GETTEXT_PACKAGE, "Only %1 minute left today: time to finish what you are doing.",
                  "Only %1 minutes left today: time to finish what you are doing.",
                  static_cast<unsigned long>(shown)),
      shown);
}

TimeKeeper::TimeKeeper(storage::SettingsFile settings, std::filesystem::path dayFile,
                       const platform::Clock& clock, platform::DateLocale where)
    : settings_(std::move(settings)),
      dayFile_(std::move(dayFile)),
      clock_(clock),
      where_(std::move(where)) {}

// "Now" is never earlier than the latest moment counted, and a day file of a later day than
// that is kept as it is: only a day after the stored one starts afresh. A day file that cannot
// be read counts as a whole day used, never as a fresh one.
TimeKeeper::Now TimeKeeper::now() const {
  std::string text;
  std::optional<TimeDay> stored;
  const bool exists = platform::readWholeFile(dayFile_, text);
  if (exists) stored = parseDayFile(text);
  const std::int64_t latest = std::max(secondsSince1970(clock_.now()), stored ? stored->seen : 0);
  const LocalMoment local = localMoment(platform::TimePoint(seconds(latest)), where_);
  Now now{stored.value_or(TimeDay{local.date, latest, exists ? kADay : seconds(0)}),
          rulesFor(settings_.load(), local.weekday), local.secondOfDay, exists && !stored};
  if (now.day.date < local.date) now.day = TimeDay{local.date, latest};
  now.day.seen = latest;
  return now;
}

TimeLeft TimeKeeper::leftOf(const Now& now) {
  if (now.day.restOfDay || !now.rules.any()) return {};
  seconds rulesLeft = now.rules.hours ? now.rules.hoursLeft(now.secondOfDay) : kADay;
  if (now.rules.allowance) {
    rulesLeft = std::min(rulesLeft, seconds(*now.rules.allowance) - now.day.used);
  }
  const seconds grantLeft = now.day.granted - now.day.grantUsed;
  return {true, std::max(rulesLeft, seconds(0)) + std::max(grantLeft, seconds(0))};
}

TimeLeft TimeKeeper::left() const {
  return leftOf(now());
}

// Time counts against the rules first, and against the parent's grants once the rules' time
// is over (outside the allowed hours, or past the day's minutes).
TimeLeft TimeKeeper::count(seconds elapsed) {
  Now current = now();
  const TimeLeft before = leftOf(current);
  if (!before.limited) return before;  // nothing to keep: no day file without a limit
  const seconds grantLeft = std::max(current.day.granted - current.day.grantUsed, seconds(0));
  const seconds rulesLeft = before.left - grantLeft;
  const seconds againstRules = std::clamp(rulesLeft, seconds(0), elapsed);
  current.day.used += againstRules;
  current.day.grantUsed += elapsed - againstRules;
  if (current.unreadable) {
    platform::logLine("The day file " + dayFile_.string() +
                      " could not be read: today counts as used, and it is written afresh.");
  }
  save(current.day);
  return leftOf(current);
}

void TimeKeeper::grant(minutes more) {
  Now current = now();
  current.day.granted += more;
  save(current.day);
  platform::logEvent(
      {"grant", "The parent gave " + std::to_string(more.count()) + " more minutes for today."});
}

void TimeKeeper::grantRestOfDay() {
  Now current = now();
  current.day.restOfDay = true;
  save(current.day);
  platform::logEvent({"grant", "The parent lifted the time limits for the rest of today."});
}

seconds TimeKeeper::usedToday() const {
  const TimeDay day = now().day;
  return day.used + day.grantUsed;
}

void TimeKeeper::save(const TimeDay& day) const {
  std::error_code ignored;
  std::filesystem::create_directories(dayFile_.parent_path(), ignored);
  const platform::FileWriteResult written =
      platform::writeFileAtomically(dayFile_, dayFileText(day), 0600);
  if (!written.ok) platform::logLine("The time used today was not kept: " + written.detail);
}

}  // namespace harbinel::browser

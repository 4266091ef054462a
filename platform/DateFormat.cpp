#include "platform/DateFormat.h"

#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cstdlib>
#include <memory>

namespace harbinel::platform {
namespace {

icu::Locale localeFor(const DateLocale& where) {
  return where.locale.empty() ? icu::Locale::getDefault() : icu::Locale(where.locale.c_str());
}

icu::TimeZone* timeZoneFor(const DateLocale& where) {
  if (where.timeZone.empty()) return icu::TimeZone::createDefault();
  return icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(where.timeZone));
}

UDate toUDate(TimePoint moment) {
  using namespace std::chrono;
  return static_cast<UDate>(duration_cast<milliseconds>(moment.time_since_epoch()).count());
}

TimePoint fromUDate(UDate date) {
  using namespace std::chrono;
  return TimePoint(duration_cast<TimePoint::duration>(milliseconds(static_cast<long long>(date))));
}

// A calendar of the locale's own kind (Gregorian, Buddhist, ...) in the wanted time zone.
std::unique_ptr<icu::Calendar> calendarFor(const DateLocale& where, UErrorCode& status) {
  return std::unique_ptr<icu::Calendar>(
      icu::Calendar::createInstance(timeZoneFor(where), localeFor(where), status));
}

}  // namespace

std::string formatDate(TimePoint moment, std::string_view pattern, const DateLocale& where) {
  UErrorCode status = U_ZERO_ERROR;
  icu::SimpleDateFormat formatter(
      icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), pattern.size())),
      localeFor(where), status);
  auto calendar = calendarFor(where, status);
  if (U_FAILURE(status)) return {};
  formatter.adoptCalendar(calendar.release());
  icu::UnicodeString text;
  formatter.format(toUDate(moment), text);
  std::string utf8;
  text.toUTF8String(utf8);
  return utf8;
}

TimePoint startOfDayBefore(TimePoint moment, int days, const DateLocale& where) {
  UErrorCode status = U_ZERO_ERROR;
  auto calendar = calendarFor(where, status);
  if (U_FAILURE(status)) return moment;
  calendar->setTime(toUDate(moment), status);
  const int32_t era = calendar->get(UCAL_ERA, status);
  const int32_t year = calendar->get(UCAL_YEAR, status);
  const int32_t month = calendar->get(UCAL_MONTH, status);
  const int32_t day = calendar->get(UCAL_DATE, status);
  calendar->clear();
  calendar->setLenient(true);
  calendar->set(UCAL_ERA, era);
  calendar->set(year, month, day - days);
  const UDate result = calendar->getTime(status);
  return U_FAILURE(status) ? moment : fromUDate(result);
}

void dropEmptyLocaleVariables() {
  for (const char* name :
       {"LC_ALL", "LC_MESSAGES", "LC_TIME", "LC_CTYPE", "LC_COLLATE", "LC_NUMERIC", "LC_MONETARY",
        "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value == '\0') ::unsetenv(name);
  }
}

}  // namespace harbinel::platform

#pragma once

#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace harbinel::platform {

// Which locale, calendar and time zone date texts are made in. Empty fields mean the
// user's current ones (ICU's defaults, which follow LANG/LC_* and TZ). A locale name may
// carry a calendar keyword, e.g. "th_TH" (Buddhist by default) or "de_DE@calendar=gregorian".
struct DateLocale {
  std::string locale;    // ICU locale id, e.g. "en_GB", "de_DE", "th_TH"
  std::string timeZone;  // Olson id, e.g. "Europe/Berlin"
};

// Formats `moment` with an ICU pattern ("ddMMyyyy", "dd-MMM-yyyy hh:mm:ss") in the given
// locale, calendar and time zone, using a fresh formatter every call. Returns UTF-8.
std::string formatDate(TimePoint moment, std::string_view pattern, const DateLocale& where = {});

// The start of the local calendar day that lies `days` days before the day of `moment`:
// today's year, month and day taken from the calendar, the day lowered by `days`, and the
// calendar left to carry into earlier months and years.
TimePoint startOfDayBefore(TimePoint moment, int days, const DateLocale& where = {});

// Removes the locale variables (LC_ALL, LC_*, LANG) that are set but empty. The C library
// skips an empty one and takes the next, but ICU takes an empty LC_ALL as the root locale,
// whose month names are "M01".."M12". Call at start-up, before ICU reads them.
void dropEmptyLocaleVariables();

}  // namespace harbinel::platform

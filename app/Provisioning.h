#pragma once

#include <functional>
#include <string>

#include "platform/Clock.h"
#include "platform/DateFormat.h"
#include "platform/Folders.h"

namespace harbinel::app {

// Provisions the user's data folder at every start, in this order, each step whatever became
// of the ones before: the data folder, its "hts" history folder, today's empty day file (its
// name written to the system log), then copies of the shipped data.plist, dmn and dmnsame
// where the data folder lacks them; then, outside the steps, an empty allowed list "allow".
// A step whose target exists (file or folder) does nothing.
// Every failed step calls `onStepFailed` once, and the next step follows.
// Returns the day file's name.
std::string createPlist(const platform::Folders& folders, const platform::Clock& clock,
                        const platform::DateLocale& where,
                        const std::function<void()>& onStepFailed);

}  // namespace harbinel::app

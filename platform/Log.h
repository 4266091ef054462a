#pragma once

#include <functional>
#include <string_view>

namespace harbinel::platform {

// Writes one diagnostic line to the system log (GLib's structured log, domain "Harbinel").
void logLine(std::string_view line);

// Tests watch the log through this: every line is also handed to the observer, if any.
// Returns the previous observer.
using LogObserver = std::function<void(std::string_view)>;
LogObserver setLogObserver(LogObserver observer);

}  // namespace harbinel::platform

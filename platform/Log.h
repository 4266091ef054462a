#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace harbinel::platform {

// Writes one diagnostic line to the system log (GLib's structured log, domain "Harbinel").
void logLine(std::string_view line);

// Tests watch the log through this: every line is also handed to the observer, if any.
// Returns the previous observer.
using LogObserver = std::function<void(std::string_view)>;
LogObserver setLogObserver(LogObserver observer);

// Something a parent or an administrator may want to find again in the system journal, with
// fields of its own so a collector can select it:
//   journalctl SYSLOG_IDENTIFIER=harbinel HARBINEL_EVENT=refused
// Empty fields are left out.
struct Event {
  Event(std::string kind, std::string message)
      : kind(std::move(kind)), message(std::move(message)) {}

  std::string kind;     // HARBINEL_EVENT: typed, favourite, refused, settings-saved, ...
  std::string message;  // MESSAGE, for a person reading the journal
  std::string address;  // HARBINEL_ADDRESS
  std::string host;     // HARBINEL_HOST
  std::string list;     // HARBINEL_LIST: what refused it
  std::string keys;     // HARBINEL_KEYS: the settings a save changed, by name only
};
void logEvent(const Event& event);

// Sends the program's log to the system journal when there is one, and to standard error
// (as GLib does by default) unless standard error already is the journal.
void useJournal();

}  // namespace harbinel::platform

#include "platform/Log.h"

#include <glib.h>

#include <string>
#include <utility>

namespace harbinel::platform {
namespace {

LogObserver& observer() {
  static LogObserver current;
  return current;
}

}  // namespace

void logLine(std::string_view line) {
  const std::string text(line);
  g_log_structured("Harbinel", G_LOG_LEVEL_MESSAGE, "MESSAGE", "%s", text.c_str());
  if (observer()) observer()(line);
}

LogObserver setLogObserver(LogObserver next) {
  return std::exchange(observer(), std::move(next));
}

}  // namespace harbinel::platform

#include "platform/Log.h"

#include <glib.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace harbinel::platform {
namespace {

LogObserver& observer() {
  static LogObserver current;
  return current;
}

GLogField field(const char* key, const std::string& value) {
  return GLogField{key, value.c_str(), static_cast<gssize>(value.size())};
}

GLogWriterOutput writeToJournalAndStandardError(GLogLevelFlags level, const GLogField* fields,
                                                gsize count, gpointer) {
  if (g_log_writer_is_journald(fileno(stderr))) {
    return g_log_writer_default(level, fields, count, nullptr);
  }
  g_log_writer_journald(level, fields, count, nullptr);  // no journal here: nothing lost
  return g_log_writer_default(level, fields, count, nullptr);
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

void logEvent(const Event& event) {
  static const std::string identifier = "harbinel", domain = "Harbinel";
  std::vector<GLogField> fields = {field("MESSAGE", event.message),
                                   field("SYSLOG_IDENTIFIER", identifier),
                                   field("GLIB_DOMAIN", domain),
                                   field("HARBINEL_EVENT", event.kind)};
  for (const auto& [key, value] : {std::pair{"HARBINEL_ADDRESS", &event.address},
                                   std::pair{"HARBINEL_HOST", &event.host},
                                   std::pair{"HARBINEL_LIST", &event.list},
                                   std::pair{"HARBINEL_KEYS", &event.keys}}) {
    if (!value->empty()) fields.push_back(field(key, *value));
  }
  g_log_structured_array(G_LOG_LEVEL_MESSAGE, fields.data(), fields.size());
}

void useJournal() {
  g_log_set_writer_func(writeToJournalAndStandardError, nullptr, nullptr);
}

}  // namespace harbinel::platform

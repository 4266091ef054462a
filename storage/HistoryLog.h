#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/DateFormat.h"

namespace harbinel::storage {

// The name of the day file for the local day of `moment`: "ddMMyyyy.lic".
std::string dayFileName(platform::TimePoint moment, const platform::DateLocale& where = {});

// The stored bytes of one history line: FF FE, then "<stamp>  --> <text>\n" in UTF-16LE,
// the stamp being `moment` formatted "dd-MMM-yyyy hh:mm:ss".
std::string historyLineBytes(platform::TimePoint moment, std::string_view text,
                             const platform::DateLocale& where = {});

// Appends time-stamped lines to the day files in the history folder.
class HistoryLog {
 public:
  HistoryLog(std::filesystem::path historyFolder, const platform::Clock& clock,
             platform::DateLocale where = {});

  // Appends one line with `text` (UTF-8) to today's day file, in one write. A missing day
  // file (and history folder) is created, so a run that passes midnight keeps logging.
  // Returns false when the line could not be written; the file is then as it was.
  bool append(std::string_view text) const;

  // Today's day file.
  std::filesystem::path todaysFile() const;

 private:
  std::filesystem::path folder_;
  const platform::Clock& clock_;
  platform::DateLocale where_;
};

}  // namespace harbinel::storage

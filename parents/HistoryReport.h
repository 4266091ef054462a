#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/DateFormat.h"

namespace harbinel::parents {

// The separator that follows every day of the report.
inline constexpr std::string_view kReportSeparator =
    "\n-------------------------------------------------\n\n";

// The text of a day file: its UTF-16LE history lines, byte-order marks removed, as UTF-8.
// Broken input (an odd byte, an unpaired surrogate) gives U+FFFD, never a failure.
std::string decodeDayFile(std::string_view bytes);

// One day of the week the report and the History section show.
struct HistoryDay {
  platform::TimePoint start;  // the start of the local day
  bool hasFile = false;       // whether its day file exists
  std::string text;           // the decoded day file; empty when there is none or it is unreadable
};

// Today and the six days before, newest first, each read from its day file in `historyFolder`.
std::vector<HistoryDay> readWeek(const std::filesystem::path& historyFolder,
                                 platform::TimePoint now, const platform::DateLocale& where = {});

// The report text (UTF-8): for today and the six days before, newest first, each day whose
// file exists in `historyFolder` contributes its decoded text followed by the separator.
std::string assembleReport(const std::filesystem::path& historyFolder, platform::TimePoint now,
                           const platform::DateLocale& where = {});

// Where the report for a name the parent chose is written: the name itself when it already
// ends in ".txt", else the name followed by ".txt".
std::filesystem::path reportPath(const std::filesystem::path& chosen);

struct WriteResult {
  bool ok = true;
  std::string detail;
};

// Writes `report` to `path`, replacing a file already there, atomically (temporary file in the
// same folder, flushed, renamed), so a failure leaves any previous file untouched.
WriteResult writeReport(const std::filesystem::path& path, std::string_view report);

}  // namespace harbinel::parents

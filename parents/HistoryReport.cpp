#include "parents/HistoryReport.h"

#include <string>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/TextCodec.h"

namespace harbinel::parents {
namespace fs = std::filesystem;

namespace {

constexpr int kDaysInReport = 7;
constexpr std::string_view kByteOrderMarkUtf8 = "\xEF\xBB\xBF";  // U+FEFF

void removeAll(std::string& text, std::string_view piece) {
  std::string kept;
  kept.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(piece, from)) != std::string::npos;
       from = at + piece.size()) {
    kept.append(text, from, at - from);
  }
  kept.append(text, from);
  text = std::move(kept);
}

// The text of one day's file; an unreadable one (a folder, no permission) reads as empty.
std::string dayText(const fs::path& file) {
  std::string bytes;
  if (!platform::readWholeFile(file, bytes)) return {};
  return decodeDayFile(bytes);
}

}  // namespace

std::string decodeDayFile(std::string_view bytes) {
  // Every history line starts with its own byte-order mark. They are removed after decoding,
  // so a surrogate cut off at the end of one line never pairs with the start of the next.
  std::string text = platform::utf16leToUtf8(bytes);
  removeAll(text, kByteOrderMarkUtf8);
  return text;
}

std::vector<HistoryDay> readWeek(const fs::path& historyFolder, platform::TimePoint now,
                                 const platform::DateLocale& where) {
  std::vector<HistoryDay> week;
  for (int daysBefore = 0; daysBefore < kDaysInReport; ++daysBefore) {
    HistoryDay& day = week.emplace_back();
    day.start = platform::startOfDayBefore(now, daysBefore, where);
    const fs::path file =
        historyFolder / (platform::formatDate(day.start, "ddMMyyyy", where) + ".lic");
    std::error_code error;
    day.hasFile = fs::exists(file, error);
    if (day.hasFile) day.text = dayText(file);
  }
  return week;
}

std::string assembleReport(const fs::path& historyFolder, platform::TimePoint now,
                           const platform::DateLocale& where) {
  std::string report;
  for (const HistoryDay& day : readWeek(historyFolder, now, where)) {
    if (!day.hasFile) continue;
    report += day.text;
    report += kReportSeparator;
  }
  return report;
}

fs::path reportPath(const fs::path& chosen) {
  static constexpr std::string_view kExtension = ".txt";
  if (chosen.native().ends_with(kExtension)) return chosen;
  fs::path path = chosen;
  path += kExtension;
  return path;
}

WriteResult writeReport(const fs::path& path, std::string_view report) {
  const platform::FileWriteResult written = platform::writeFileAtomically(path, report);
  return {written.ok, written.detail};
}

}  // namespace harbinel::parents

#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "parents/HistoryReport.h"

namespace harbinel::parents {

inline constexpr int kDaysInWeek = 7;
inline constexpr int kTopSites = 10;

// One history line as the History section lists it.
struct HistoryLine {
  int day = 0;          // index into WeekHistory::days: 0 is today
  std::string time;     // the time of the stored stamp, as stored ("02:05:09")
  std::string address;  // the logged text
};

struct SiteCount {
  std::string host;
  int pages = 0;
};

// The week at a glance: what the History section shows, made from the same day files the
// report is made of.
struct WeekHistory {
  std::array<platform::TimePoint, kDaysInWeek> days{};  // day starts, today first
  std::array<int, kDaysInWeek> pagesPerDay{};           // lines per day, today first
  std::vector<SiteCount> topSites;                      // at most ten, most pages first
  std::vector<HistoryLine> lines;                       // every line, newest first
};

// Counts the lines of each day, the sites seen most (the host text of each line, cut as the
// block check cuts it; ties in name order) and lists every line newest first. Lines that are
// not "<stamp>  --> <text>" (a broken or empty line) are left out.
WeekHistory summariseWeek(const std::vector<HistoryDay>& week);

// The week ending today, read from the history folder.
WeekHistory readWeekHistory(const std::filesystem::path& historyFolder, platform::TimePoint now,
                            const platform::DateLocale& where = {});

}  // namespace harbinel::parents

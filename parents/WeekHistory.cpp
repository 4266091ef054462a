#include "parents/WeekHistory.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "filter/Address.h"

namespace harbinel::parents {
namespace {

constexpr std::string_view kStampEnd = "  --> ";

struct ParsedLine {
  std::string_view stamp;
  std::string_view text;
};

// "<date> <time>  --> <text>"; a line without the arrow is not a history line.
bool parseLine(std::string_view line, ParsedLine& parsed) {
  const std::size_t arrow = line.find(kStampEnd);
  if (arrow == std::string_view::npos) return false;
  parsed.stamp = line.substr(0, arrow);
  parsed.text = line.substr(arrow + kStampEnd.size());
  return true;
}

std::string_view timeOf(std::string_view stamp) {
  const std::size_t space = stamp.rfind(' ');
  return space == std::string_view::npos ? stamp : stamp.substr(space + 1);
}

std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::vector<SiteCount> mostSeen(const std::unordered_map<std::string, int>& pagesPerHost) {
  std::vector<SiteCount> sites;
  sites.reserve(pagesPerHost.size());
  for (const auto& [host, pages] : pagesPerHost) sites.push_back({host, pages});
  const auto moreFirst = [](const SiteCount& a, const SiteCount& b) {
    return a.pages != b.pages ? a.pages > b.pages : a.host < b.host;
  };
  const std::size_t kept = std::min<std::size_t>(sites.size(), kTopSites);
  std::partial_sort(sites.begin(), sites.begin() + static_cast<std::ptrdiff_t>(kept), sites.end(),
                    moreFirst);
  sites.resize(kept);
  return sites;
}

}  // namespace

WeekHistory summariseWeek(const std::vector<HistoryDay>& week) {
  WeekHistory summary;
  std::unordered_map<std::string, int> pagesPerHost;
  const int days = std::min<int>(static_cast<int>(week.size()), kDaysInWeek);
  for (int day = 0; day < days; ++day) {
    summary.days[day] = week[day].start;
    const std::vector<std::string_view> lines = linesOf(week[day].text);
    // A day file grows at its end, so its newest line is its last.
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
      ParsedLine parsed;
      if (!parseLine(*line, parsed)) continue;
      ++summary.pagesPerDay[day];
      summary.lines.push_back({day, std::string(timeOf(parsed.stamp)), std::string(parsed.text)});
      const std::string host(filter::hostText(filter::changeURL(parsed.text)));
      if (!host.empty()) ++pagesPerHost[host];
    }
  }
  summary.topSites = mostSeen(pagesPerHost);
  return summary;
}

WeekHistory readWeekHistory(const std::filesystem::path& historyFolder, platform::TimePoint now,
                            const platform::DateLocale& where) {
  return summariseWeek(readWeek(historyFolder, now, where));
}

}  // namespace harbinel::parents

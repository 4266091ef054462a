// A domain list built from any bytes answers exactly as a scan of its lines would.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "filter/DomainList.h"
#include "platform/TextCodec.h"

namespace {

std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (;;) {
    const auto end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return lines;
    start = end + 1;
  }
}

std::int32_t scan(const std::vector<std::string_view>& lines, std::string_view host) {
  if (!harbinel::platform::isValidUtf8(host)) return -1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == host) return static_cast<std::int32_t>(i);
  }
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto list = harbinel::filter::DomainList::fromText(text);
  const auto lines = linesOf(text);
  if (list.size() != lines.size()) std::abort();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (list.entry(i) != lines[i]) std::abort();
    if (list.find(lines[i]) != scan(lines, lines[i])) std::abort();
  }
  // Hosts that are not lines: pieces of lines, lines with a character added, and lines with
  // their last byte changed (the same length, so the same buckets of the index).
  for (const auto line : lines) {
    std::string changed(line);
    if (!changed.empty()) changed.back() = static_cast<char>(changed.back() ^ 1);
    for (const auto& probe :
         {std::string(line.substr(0, line.size() / 2)), std::string(line) + "x", changed}) {
      if (list.find(probe) != scan(lines, probe)) std::abort();
    }
  }
  return 0;
}

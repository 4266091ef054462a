#include "platform/KioskPolicy.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace harbinel::platform {
namespace kiosk {
namespace {

bool isOneOf(std::string_view text, std::initializer_list<std::string_view> choices) {
  return std::find(choices.begin(), choices.end(), text) != choices.end();
}

char lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

// A scheme is a letter followed by letters, digits, "+", "-" or ".", up to the first ":".
std::string schemeOf(std::string_view address) {
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  std::string scheme;
  for (std::size_t i = 0; i < colon; ++i) {
    const auto c = static_cast<unsigned char>(address[i]);
    const bool fits =
        std::isalpha(c) || (i > 0 && (std::isdigit(c) || c == '+' || c == '-' || c == '.'));
    if (!fits || c > 127) return {};
    scheme += lower(address[i]);
  }
  return scheme;
}

bool mayNavigate(std::string_view address) {
  const std::string scheme = schemeOf(address);
  if (scheme == "about") return isOneOf(address.substr(6), {"blank", "srcdoc"});
  return isOneOf(scheme, {"http", "https", "data", "blob"});
}

bool isWebAddress(std::string_view address) {
  return isOneOf(schemeOf(address), {"http", "https"});
}

bool mayShowInMainFrame(std::string_view address) {
  return isWebAddress(address) || address == "about:blank";
}

}  // namespace kiosk

bool RestartBudget::mayRestart(Clock::time_point now) {
  while (!restarts_.empty() && now - restarts_.front() >= window_) restarts_.pop_front();
  if (static_cast<int>(restarts_.size()) >= limit_) return false;
  restarts_.push_back(now);
  return true;
}

}  // namespace harbinel::platform

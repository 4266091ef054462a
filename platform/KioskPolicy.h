#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <string_view>

namespace harbinel::platform {

// What the kiosk lets the page area do, decided without the engine so that it can be read and
// tested in one place. The web view asks these questions; the answers never depend on the page.
namespace kiosk {

// The scheme of an address, in lower case, or the empty text when it has none.
std::string schemeOf(std::string_view address);

// Whether the engine may go to `address` at all, in any frame. Web pages are reached by http
// and https; about:blank, about:srcdoc, data: and blob: also serve frames inside a page (the
// engine does not let a page send its main frame to data: itself). Everything else (file:,
// javascript:, view-source:, mailto: and every scheme handed to another program) is refused.
bool mayNavigate(std::string_view address);

// Whether `address` is a web page: http or https.
bool isWebAddress(std::string_view address);

// Whether a page at `address` may be shown in the main frame: web pages, and the empty page
// the view starts with.
bool mayShowInMainFrame(std::string_view address);

}  // namespace kiosk

// Bounds how often in a row a failed part is restarted: at most `limit` restarts within any
// `window`. Past that, the caller stops restarting and shows that something is wrong instead.
class RestartBudget {
 public:
  using Clock = std::chrono::steady_clock;

  RestartBudget(int limit, Clock::duration window) : limit_(limit), window_(window) {}

  // Counts a restart at `now` and says whether it may go ahead.
  bool mayRestart(Clock::time_point now);

 private:
  int limit_;
  Clock::duration window_;
  std::deque<Clock::time_point> restarts_;
};

}  // namespace harbinel::platform

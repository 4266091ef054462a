#include "tests/gui/BrowserFixture.h"

#include <glibmm/main.h>

#include <algorithm>

namespace harbinel::test {
namespace {

// The first requests for the home page are lost (never answered); the server answers from then
// on. The kiosk asks again, and shows its home page.
TEST_F(BrowserTest, KioskAsksForHomeAgainWhenNoPageCameAtFirst) {
  const std::string home = std::string(kHome).substr(std::string("http://").size());
  server.page(home, {.body = titled("Home"), .held = true});
  auto recover = Glib::signal_timeout().connect(
      [&] {
        const auto& requests = server.requests();
        if (std::find(requests.begin(), requests.end(), home) == requests.end()) return true;
        server.page(home, {.body = titled("Home")});
        return false;
      },
      10);
  open();  // waits for the home page
  recover.disconnect();
}

}  // namespace
}  // namespace harbinel::test

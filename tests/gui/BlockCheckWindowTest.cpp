#include <gtest/gtest.h>

#include "filter/DomainList.h"
#include "tests/gui/BrowserFixture.h"

namespace harbinel::test {
namespace {

using Lines = std::vector<std::string>;
using Alerts = std::vector<AlertRecorder::Shown>;

AlertRecorder::Shown blocked(const std::string& address) {
  return {"URL Block", address + " is Blocked"};
}

// A page is judged when it commits, untitled or not, and at each new title, but refused once;
// the refusal is logged after the typed address, and the next page is judged afresh.
TEST_F(BrowserTest, BlockedPageIsRefusedOnceWithItsAlertAndLoggedAfterTheTypedAddress) {
  settings.save({{"BW0", "example.org"}});
  lists.setDnsArray(filter::DomainList::fromText("bad.example\n"));
  const std::string changing =
      titled("One",
             "<script>let n = 0; const t = setInterval(() => { document.title = 'T' + (++n); "
             "if (n == 5) clearInterval(t); }, 30);</script>");
  server.page("fine.example/title.html", {.body = changing});
  server.page("www.example.org/title.html", {.body = changing});
  server.page("bad.example/picture.txt", {.body = "just text", .contentType = "text/plain"});
  open();
  AlertRecorder alerts;
  load("http://fine.example/title.html");
  ASSERT_TRUE(waitUntil([&] { return view->webView().title() == "T5"; }));
  enter("http://www.example.org/title.html");
  expectRefused(alerts, 1);
  load("http://bad.example/picture.txt");
  expectRefused(alerts, 2);
  settle();
  EXPECT_EQ(alerts.alerts(),
            (Alerts{blocked("example.org/title.html"), blocked("bad.example/picture.txt")}));
  EXPECT_EQ(historyLines(), (Lines{"http://www.example.org/title.html", "example.org/title.html",
                                   "bad.example/picture.txt"}));
}

}  // namespace
}  // namespace harbinel::test

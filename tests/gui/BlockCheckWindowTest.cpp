#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "filter/DomainList.h"
#include "tests/gui/BrowserFixture.h"

namespace harbinel::test {
namespace {

using Lines = std::vector<std::string>;
using Alerts = std::vector<AlertRecorder::Shown>;

AlertRecorder::Shown blocked(const std::string& address) {
  return {"URL Block", address + " is Blocked"};
}

TEST_F(BrowserTest, TitledPageOnTheParentsListIsRefusedOnce) {
  settings.save({{"BW0", "example.org"}});
  server.page("www.example.org/games/index.html", {.body = titled("Games")});
  open();
  AlertRecorder alerts;

  enter("http://www.example.org/games/index.html");
  expectRefused(alerts);
  settle();

  EXPECT_EQ(alerts.alerts(), Alerts{blocked("example.org/games/index.html")});
  EXPECT_EQ(historyLines(),
            (Lines{"http://www.example.org/games/index.html", "example.org/games/index.html"}));
}

TEST_F(BrowserTest, PageWithoutATitleOnADomainListIsRefused) {
  lists.setDnsArray(filter::DomainList::fromText("ads.example\nbad.example\n"));
  server.page("bad.example/picture.txt", {.body = "just text", .contentType = "text/plain"});
  server.page("bad.example/untitled.html", {.body = "<p>no title here</p>"});
  open();
  AlertRecorder alerts;

  load("http://bad.example/picture.txt");
  expectRefused(alerts, 1);
  load("http://bad.example/untitled.html");
  expectRefused(alerts, 2);
  settle();

  EXPECT_EQ(alerts.alerts(),
            (Alerts{blocked("bad.example/picture.txt"), blocked("bad.example/untitled.html")}));
  EXPECT_EQ(historyLines(), (Lines{"bad.example/picture.txt", "bad.example/untitled.html"}));
}

TEST_F(BrowserTest, PageThatKeepsChangingItsTitle) {
  const std::string changing =
      titled("One",
             "<script>let n = 0; const t = setInterval(() => { document.title = 'T' + (++n); "
             "if (n == 5) clearInterval(t); }, 30);</script>");
  server.page("fine.example/title.html", {.body = changing});
  server.page("www.example.org/title.html", {.body = changing});
  settings.save({{"BW3", "example.org"}});
  open();
  AlertRecorder alerts;

  // Allowed: judged at every new title, never refused.
  load("http://fine.example/title.html");
  ASSERT_TRUE(waitUntil([&] { return view->webView().title() == "T5"; }));
  EXPECT_TRUE(alerts.alerts().empty());

  // Refused: once, however often the title changes under the alert.
  load("http://www.example.org/title.html");
  expectRefused(alerts);
  settle();
  EXPECT_EQ(alerts.alerts(), Alerts{blocked("example.org/title.html")});
  EXPECT_EQ(historyLines(), Lines{"example.org/title.html"});
}

TEST_F(BrowserTest, RedirectIsJudgedAtItsTarget) {
  lists.setDnssameArray(filter::DomainList::fromText("example.org"));
  server.page("www.fine.org/go",
              {.status = 302, .location = "http://www.example.org/landing.html"});
  server.page("www.example.org/landing.html", {.body = titled("Landing")});
  server.page("www.example.org/out", {.status = 301, .location = "http://www.fine.org/safe.html"});
  server.page("www.fine.org/safe.html", {.body = titled("Safe")});
  open();
  AlertRecorder alerts;

  load("http://www.fine.org/go");
  expectRefused(alerts);
  // Leaving a blocked host by a redirect is judged by where it lands.
  load("http://www.example.org/out");
  EXPECT_TRUE(waitForPage("http://www.fine.org/safe.html"));
  settle();
  EXPECT_EQ(alerts.alerts(), Alerts{blocked("example.org/landing.html")});
}

// A blocked host inside a frame of an allowed page is not refused; a host added to the
// parents' list is refused from the next page on.
TEST_F(BrowserTest, FramesAreNotJudgedAndTheParentsListCountsFromTheNextPageOn) {
  settings.save({{"BW0", "example.org"}});
  server.page(
      "www.fine.org/frame.html",
      {.body = titled("Outer", "<iframe src='http://www.example.org/inner.html'></iframe>")});
  server.page("www.example.org/inner.html", {.body = titled("Inner")});
  server.page("kids.example/one.html", {.body = titled("One")});
  server.page("kids.example/two.html", {.body = titled("Two")});
  open();
  AlertRecorder alerts;

  load("http://www.fine.org/frame.html");
  EXPECT_TRUE(waitForPage("http://www.fine.org/frame.html"));
  ASSERT_TRUE(waitUntil(
      [&] { return std::ranges::count(server.requests(), "www.example.org/inner.html") > 0; }));
  settle();
  EXPECT_TRUE(alerts.alerts().empty());

  load("http://kids.example/one.html");
  EXPECT_TRUE(waitForPage("http://kids.example/one.html"));
  // Its title report comes after the load: judged under the new list, it would refuse this
  // page rather than the next.
  ASSERT_TRUE(waitUntil([&] { return view->webView().title() == "One"; }));
  settings.save({{"BW4", "kids.example"}});
  load("http://kids.example/two.html");
  expectRefused(alerts);
  // Removed again: allowed again, without a restart either.
  settings.save({{"BW4", ""}});
  load("http://kids.example/two.html");
  EXPECT_TRUE(waitForPage("http://kids.example/two.html"));
  settle();
  EXPECT_EQ(alerts.alerts(), Alerts{blocked("kids.example/two.html")});
}

// A blocked home page is refused again after every dismissal, once per load: two alerts for
// one load would pile up faster than they can be answered.
TEST_F(BrowserTest, BlockedHomePageIsRefusedOncePerDismissal) {
  open();
  AlertRecorder alerts([&](platform::ShownAlert&) {
    if (alerts.alerts().size() == 3) lists.setDnssameArray(filter::DomainList::fromText(""));
    return true;
  });
  lists.setDnssameArray(filter::DomainList::fromText("home.test"));

  view->goToHome();
  expectRefused(alerts, 3);
  settle(800ms);
  EXPECT_EQ(alerts.alerts(), Alerts(3, blocked("home.test/net/")));
  EXPECT_EQ(historyLines(), Lines(3, "home.test/net/"));
}

}  // namespace
}  // namespace harbinel::test

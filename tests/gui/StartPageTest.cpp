#include <string>

#include "tests/gui/BrowserFixture.h"
#include "tests/gui/HomeSupport.h"

namespace harbinel::test {
namespace {

using StartPageTest = BrowserTest;

std::string tileNames(browser::MainView& view) {
  return runInPage(view.webView(),
                   "[...document.querySelectorAll('.name')].map(n => n.textContent).join(',')");
}

// No request leaves for the home address: the start page is the browser's own.
TEST_F(StartPageTest, ShowsTheFavouritesOfflineAndATileOpensItsSiteLikeThePicker) {
  settings.save({{"FW0", ""}, {"FW1", "kids.test/play"}, {"FW4", "bad.test"}, {"FW7", "art.test"},
                 {"BW0", "bad.test"}});
  server.page("kids.test/play", {.body = titled("Play")});
  server.page("bad.test/", {.body = titled("Bad")});
  open();
  EXPECT_TRUE(server.requests().empty());
  EXPECT_EQ(tileNames(*view), "kids.test,bad.test,art.test");
  keepScreenshot("start-page-with-favourites");

  runInPage(view->webView(), "document.querySelectorAll('.tile')[0].click(); 'ok'");
  EXPECT_TRUE(waitForPage("http://kids.test/play"));
  EXPECT_EQ(historyLines(), std::vector<std::string>{"kids.test/play"});

  view->goToHome();
  ASSERT_TRUE(waitForPage(kHome));
  AlertRecorder alerts;
  runInPage(view->webView(), "document.querySelectorAll('.tile')[1].click(); 'ok'");
  expectRefused(alerts);
  EXPECT_EQ(alerts.alerts().at(0).informative, "bad.test/ is Blocked");
}

// A page that makes up a tile's address without this run's secret opens nothing.
TEST_F(StartPageTest, WithoutFavouritesSaysHowToAddThemAndForgedTilesOpenNothing) {
  server.page("page.test/", {.body = titled("Page", "<a id=t href='harbinel-tile:x/0'>t</a>")});
  open();
  EXPECT_NE(pageText(view->webView()).find("No favourite sites yet"), std::string::npos);
  keepScreenshot("start-page-without-favourites");
  settings.save({{"FW0", "kids.test"}});
  load("http://page.test/");
  ASSERT_TRUE(waitForPage("http://page.test/"));
  runInPage(view->webView(), "document.getElementById('t').click(); 'ok'");
  settle();
  EXPECT_EQ(view->webView().mainFrameURL(), "http://page.test/");
  EXPECT_TRUE(historyLines().empty());
}

// The parent's own home page is loaded as typed; unreachable, the start page takes its place.
TEST_F(StartPageTest, ParentsHomePageLoadsAndWhenUnreachableTheStartPageStandsIn) {
  settings.save({{"HP", "gone.test"}});
  server.page("gone.test/", {.dropped = true});
  server.page("mine.test/", {.body = titled("Mine")});
  view = std::make_unique<browser::MainView>(browser::BrowserServices{
      .resourceFolder = HARBINEL_BUILD_RESOURCES, .settings = settings, .history = history,
      .blockLists = lists, .homeAddress = kHome,
      .webView = {.ephemeral = true, .proxyURL = server.proxyURL()}});
  view->window();
  ASSERT_TRUE(waitForPage("http://gone.test/"));
  EXPECT_NE(pageText(view->webView()).find("Hello!"), std::string::npos);

  settings.save({{"HP", "mine.test"}});
  view->goToHome();
  EXPECT_TRUE(waitForPage("http://mine.test/"));
  EXPECT_TRUE(waitUntil([&] { return view->webView().title() == "Mine"; }));
}

}  // namespace
}  // namespace harbinel::test

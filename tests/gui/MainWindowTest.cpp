// The main window's wiring: its controls, the start page, the block check, and the parents'
// windows it opens.
#include <glibmm/main.h>
#include <gtkmm/stack.h>

#include <string>

#include "browser/TimeLimits.h"
#include "filter/DomainList.h"
#include "platform/ModalSession.h"
#include "tests/gui/Harness.h"

namespace harbinel::test {
namespace {

// Tests that need the keyboard focus and the pointer (run one at a time).
using MainWindowKeyboardTest = BrowserTest;

// Go and Home load without logging (Enter's load and log are the end-to-end journey's). The bar is
// as laid out at start and follows the switch (exactly "ON") when told.
TEST_F(BrowserTest, ControlsLoadAndLogAsWiredAndTheBarFollowsTheSwitch) {
  settings.save({{"AB", "OFF"}});
  server.page("www.example.org/go.html", {.body = titled("Page")});
  open();
  EXPECT_TRUE(field().get_visible());
  field().set_text("www.example.org/go.html");
  view->outlets().btnGo->activate();
  EXPECT_TRUE(waitForPage("http://www.example.org/go.html"));
  view->outlets().btnHome->activate();
  EXPECT_TRUE(waitForPage(kHome));
  EXPECT_TRUE(historyLines().empty());

  for (const auto& [value, shown] :
       {std::pair<const char*, bool>{"ON", true}, {"on", false}, {"ON", true}, {nullptr, false}}) {
    std::filesystem::remove(folder / "data.plist");
    if (value != nullptr) settings.save({{"AB", value}});
    view->showhideAddressBar();
    EXPECT_EQ(field().get_visible(), shown) << (value ? value : "(absent)");
    EXPECT_EQ(view->outlets().btnGo->get_visible(), shown) << (value ? value : "(absent)");
  }
}

// Editing ends with Enter or with the focus leaving the field after an edit, once; neither a
// click on Go (which must not take the focus first) nor an alert taking the focus ends it.
TEST_F(MainWindowKeyboardTest, ClicksAndAlertsDoNotEndEditingAndFocusLeavingAfterAnEditEndsItOnce) {
  settings.save({{"BW0", "example.org"}});
  for (const char* page :
       {"www.example.org/late.html", "fine.example/clicked.html", "fine.example/left.html"}) {
    server.page(page, {.body = titled("Page")});
  }
  openFocused();
  field().grab_focus();
  field().set_text("half-typ");
  AlertRecorder alerts;
  load("http://www.example.org/late.html");
  expectRefused(alerts);
  EXPECT_EQ(field().get_text(), "half-typ");

  field().set_text("fine.example/clicked.html");
  Gtk::Button& go = *view->outlets().btnGo;
  clickAt(go, go.get_width() / 2.0, go.get_height() / 2.0);
  EXPECT_TRUE(waitForPage("http://fine.example/clicked.html"));
  settle();
  Gtk::Widget* focus = view->window().get_focus();
  EXPECT_TRUE(focus != nullptr && focus->is_ancestor(field())) << "the field kept the focus";

  field().set_text("fine.example/left.html");
  view->outlets().btnHome->grab_focus();
  EXPECT_TRUE(waitForPage("http://fine.example/left.html"));
  field().grab_focus();  // focus coming and going without an edit ends nothing
  view->outlets().btnHome->grab_focus();
  settle();
  EXPECT_EQ(historyLines(), (Lines{"example.org/late.html", "fine.example/left.html"}));
}

// A page is judged when it commits, untitled or not, and at each new title, but refused once.
// The refusal is logged after the typed address, both whole (the field keeps 8192 characters),
// and the alert cuts it. Under the whole-site rule a frame
// from a listed site is not loaded, and the page around it stays.
TEST_F(BrowserTest, BlockedPageIsRefusedOnceWithItsAlertAndLoggedAfterTheTypedAddress) {
  settings.save({{"BW0", "example.org"}, {"WS", "ON"}});
  lists.setDnsArray(filter::DomainList::fromText("bad.example\n"));
  const std::string changing =
      titled("One",
             "<script>let n = 0; const t = setInterval(() => { document.title = 'T' + (++n); "
             "if (n == 5) clearInterval(t); }, 30);</script>");
  server.page("fine.example/title.html", {.body = changing});
  server.page("www.example.org/title.html", {.body = changing});
  server.page("bad.example/picture.txt", {.body = "just text", .contentType = "text/plain"});
  const std::string frame = "<script>parent.postMessage(document.title, '*')</script>";
  server.page("fine.example/outer.html",
              {.body = titled("Outer",
                              "<script>addEventListener('message', e => document.title += ' ' + "
                              "e.data)</script><iframe src='http://m.example.org/in.html'>"
                              "</iframe><iframe src='http://kids.example/in.html'></iframe>")});
  server.page("m.example.org/in.html", {.body = titled("listed", frame)});
  server.page("kids.example/in.html", {.body = titled("kids", frame)});
  open();
  AlertRecorder alerts;
  load("http://fine.example/title.html");
  ASSERT_TRUE(waitForTitle("T5"));
  const std::string typed = "http://www.example.org/title.html?" + std::string(10000, 'a');
  enter(typed);
  expectRefused(alerts, 1);
  load("http://bad.example/picture.txt");
  expectRefused(alerts, 2);
  load("http://fine.example/outer.html");
  ASSERT_TRUE(waitForTitle("Outer kids"));
  settle();
  EXPECT_EQ(view->webView().title(), "Outer kids");

  const std::string kept = typed.substr(0, 8192), refused = kept.substr(11);
  EXPECT_EQ(field().get_text().raw(), kept);
  EXPECT_EQ(alerts.alerts, (std::vector<AlertRecorder::Shown>{
                               {"URL Block", refused.substr(0, 200) + "… is Blocked"},
                               {"URL Block", "bad.example/picture.txt is Blocked"}}));
  EXPECT_EQ(historyLines(), (Lines{kept, refused, "bad.example/picture.txt"}));
}

// The time rules are the core's; here: the spent day shows the time-up page at the start, Home
// and a typed address load nothing, Parents still opens (asking for the password), and a grant
// there brings the home page back. The new settings count at once: the Time section's limits are
// saved, the switch as the parent leaves it hides the address bar, and a site blocked there is
// refused from the next page on.
TEST_F(BrowserTest, TimeUpAndParentsNewSettingsCountAtOnce) {
  std::vector<std::pair<std::string, std::string>> entries = {
      {"PD", "Secret"}, {"AB", "ON"}, {"HP", "kids.test/home"}};
  server.page("kids.test/home", {.body = titled("Kids")});
  for (int day = 0; day < 7; ++day) entries.emplace_back("TM" + std::to_string(day), "30");
  ASSERT_TRUE(settings.save(entries).ok());
  browser::TimeKeeper(settings, folder / "time", clock).count(30min);
  start();
  ASSERT_TRUE(waitForTitle("Time is up for today") &&
              waitUntil([&] { return !view->webView().isLoading(); }));
  keepScreenshot("time-up-page", view->window());
  view->outlets().btnHome->activate();
  enter("kids.test");
  settle();
  EXPECT_EQ(view->webView().title(), "Time is up for today");
  EXPECT_TRUE(server.requests().empty());

  // The steps wait side by side: each condition asks only once the one before it holds.
  const auto prompt = [&] { return view->frmpassword(); };
  const auto parentsOpen = [&] {
    return prompt() && prompt()->frmparentcontroller() &&
           isInSession(&prompt()->frmparentcontroller()->window());
  };
  const auto parents = [&]() -> const auto& {
    return prompt()->frmparentcontroller()->outlets();
  };
  Steps steps;
  steps.when([&] { return prompt() && isInSession(&prompt()->window()); },
             [&] {
               EXPECT_EQ(prompt()->window().get_title(), "Open Parents Menu");
               EXPECT_FALSE(view->window().get_sensitive()) << "only the prompt takes input";
               prompt()->outlets().txtfieldpassword->set_text("Secret");
               pressEnter(*prompt()->outlets().txtfieldpassword);
             });
  steps.when(parentsOpen, [&] {
    dynamic_cast<Gtk::Stack&>(*parents().lblTimeToday->get_ancestor(GTK_TYPE_STACK))
        .set_visible_child("time");
  });
  steps.when([&] { return parentsOpen() && parents().btnGrant15->get_mapped(); },
             [&] {
               parents().btnGrant15->activate();
               parents().timeminutes[0]->set_value(45);
               parents().btnSameEveryDay->activate();
               parents().btnCheck->activate();
               parents().txtfieldbw[0]->set_text("http://www.games.example");
             });
  steps.when([&] { return parentsOpen() && parents().timeminutes[6]->get_value() == 45; },
             [&] {
               EXPECT_EQ(parents().lblTimeToday->get_text(), "Today: 30 min used, 15 min left.");
               keepScreenshot("parents-time-section", prompt()->frmparentcontroller()->window());
               parents().btnClose->activate();
             });
  view->outlets().btnParent->activate();
  ASSERT_TRUE(waitUntil([&] { return steps.finished() && platform::modalDepth() == 0; }));
  EXPECT_TRUE(waitForPage("http://kids.test/home"));
  EXPECT_EQ(settings.value("TM6"), "45");
  EXPECT_FALSE(field().get_visible() || view->outlets().btnGo->get_visible());
  AlertRecorder alerts;
  enter("www.games.example/play");
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts.size() == 1; }));
  EXPECT_EQ(alerts.alerts[0].first, "URL Block");
}

// No request leaves for the home address: the start page is the browser's own. A tile opens its
// site like the picker, and a page that makes up a tile's address without this run's secret opens
// nothing. The parent's own home page is loaded as typed.
TEST_F(BrowserTest, StartPageShowsTheFavouritesOfflineAndOnlyItsOwnTilesOpenThem) {
  server.page("kids.test/play", {.body = titled("Play")});
  server.page("mine.test/", {.body = titled("Mine")});
  open();
  EXPECT_TRUE(server.requests().empty());
  keepScreenshot("start-page-without-favourites", view->window());
  settings.save({{"FW0", ""},
                 {"FW1", "kids.test/play"},
                 {"FW4", "bad.test"},
                 {"FW7", "art.test"},
                 {"BW0", "bad.test"}});
  view->goToHome();
  const std::string tileNames = "[...document.querySelectorAll('.name')].map(n => n.textContent)";
  ASSERT_TRUE(waitUntil(
      [&] { return runInPage(view->webView(), tileNames) == "kids.test,bad.test,art.test"; }));
  keepScreenshot("start-page-with-favourites", view->window());
  show("page.test/", titled("Page", "<a id=t href='harbinel-tile:x/0'>t</a>"));
  runInPage(view->webView(), "document.getElementById('t').click(); 'ok'");
  settle();
  EXPECT_EQ(view->webView().mainFrameURL(), "http://page.test/");
  EXPECT_TRUE(historyLines().empty());

  view->goToHome();
  ASSERT_TRUE(waitForPage(kHome));
  runInPage(view->webView(), "document.querySelectorAll('.tile')[0].click(); 'ok'");
  EXPECT_TRUE(waitForPage("http://kids.test/play"));
  EXPECT_EQ(historyLines(), Lines{"kids.test/play"});
  view->goToHome();
  ASSERT_TRUE(waitForPage(kHome));
  AlertRecorder alerts;
  runInPage(view->webView(), "document.querySelectorAll('.tile')[1].click(); 'ok'");
  expectRefused(alerts);
  EXPECT_EQ(alerts.alerts.at(0).second, "bad.test/ is Blocked");

  server.page("gone.test/", {.dropped = true});
  settings.save({{"HP", "gone.test"}});
  view->goToHome();
  ASSERT_TRUE(waitForPage("http://gone.test/"));
  EXPECT_TRUE(waitForTitle("Harbinel")) << "the start page stands in for a home page that fails";
  settings.save({{"HP", "mine.test"}});
  view->goToHome();
  EXPECT_TRUE(waitForPage("http://mine.test/"));
  EXPECT_TRUE(waitForTitle("Mine"));
}

}  // namespace
}  // namespace harbinel::test

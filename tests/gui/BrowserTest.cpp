#include <gtest/gtest.h>

#include <glibmm/main.h>

#include "filter/DomainList.h"
#include "parents/FrmPassword.h"
#include "platform/ModalSession.h"
#include "tests/gui/BrowserFixture.h"
#include "tests/gui/ParentsSupport.h"

// The main window's wiring: its controls, the block check, and the parents' windows it opens.

namespace harbinel::test {
namespace {

using Lines = std::vector<std::string>;
using Alerts = std::vector<AlertRecorder::Shown>;

// Tests that need the keyboard focus and the pointer (run one at a time).
class KeyboardTest : public BrowserTest {};

TEST_F(BrowserTest, GoAndHomeLoadWithoutLoggingAndEnterLoadsAndLogsTheTextAsTyped) {
  server.page("www.example.org/go.html", {.body = titled("Go")});
  server.page("www.example.org/a.html", {.body = titled("A")});
  open();
  field().set_text("www.example.org/go.html");
  view->outlets().btnGo->activate();
  EXPECT_TRUE(waitForPage("http://www.example.org/go.html"));
  view->outlets().btnHome->activate();
  EXPECT_TRUE(waitForPage(kHome));
  enter("www.example.org/a.html");
  EXPECT_TRUE(waitForPage("http://www.example.org/a.html"));
  EXPECT_EQ(historyLines(), Lines{"www.example.org/a.html"});
}

// Editing ends with Enter or with the focus leaving the field after an edit, once; neither a
// click on Go (which must not take the focus first) nor an alert taking the focus ends it.
TEST_F(KeyboardTest, ClicksAndAlertsDoNotEndEditingAndFocusLeavingAfterAnEditEndsItOnce) {
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

// The bar is as laid out at start, and follows the switch (exactly "ON") when told; the
// spinner shows while a page loads, bar or no bar, and a page that cannot load says so.
TEST_F(BrowserTest, AddressBarFollowsTheSwitchWhenToldAndTheSpinnerFollowsTheLoad) {
  settings.save({{"AB", "OFF"}});
  server.page("slow.example/page.html", {.body = titled("Slow"), .held = true});
  server.page("gone.example/page.html", {.dropped = true});
  open();
  EXPECT_TRUE(field().get_visible());
  for (const auto& [value, shown] : {std::pair<std::optional<std::string>, bool>{"ON", true},
                                     {"on", false},
                                     {"ON", true},
                                     {std::nullopt, false}}) {
    writeFile(folder / "data.plist", propertyList({{"AB", value}}));
    view->showhideAddressBar();
    EXPECT_EQ(field().get_visible(), shown) << value.value_or("(absent)");
    EXPECT_EQ(view->outlets().btnGo->get_visible(), shown) << value.value_or("(absent)");
  }
  EXPECT_FALSE(spinner().get_visible());
  load("http://slow.example/page.html");
  ASSERT_TRUE(waitUntil([&] { return spinner().get_visible() && spinner().get_spinning(); }));
  server.releaseHeld();
  EXPECT_TRUE(waitForPage("http://slow.example/page.html"));
  EXPECT_FALSE(spinner().get_visible() || spinner().get_spinning());
  load("http://gone.example/page.html");
  EXPECT_TRUE(waitUntil([&] { return view->webView().title() == "Page not found"; }));
  EXPECT_FALSE(spinner().get_visible());
}

TEST_F(BrowserTest, ClosingThePickerLoadsNothingAndAPickedFavouriteLoadsAndIsLogged) {
  settings.save({{"FW0", "www.fav.org/a.html"}, {"FW2", "second.org"}});
  server.page("www.fav.org/a.html", {.body = titled("Fav")});
  open();
  const std::size_t requests = server.requests().size();
  Glib::signal_idle().connect_once(
      [&] { findButton(view->frmFavourites()->window(), "Close")->activate(); });
  view->goToFavourites();
  settle();
  EXPECT_EQ(server.requests().size(), requests);

  LogRecorder log;
  Glib::signal_idle().connect_once([&] {
    EXPECT_EQ(view->frmFavourites()->window().get_title(), "Favourites Websites");
    findButton(view->frmFavourites()->window(), "Open")->activate();
  });
  view->goToFavourites();
  EXPECT_FALSE(view->frmFavourites()->window().get_visible());
  EXPECT_TRUE(waitForPage("http://www.fav.org/a.html"));
  EXPECT_EQ(historyLines(), Lines{"www.fav.org/a.html"});
  EXPECT_EQ(log.lines(), Lines{"Selected Text: www.fav.org/a.html"});
}

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

using ParentsFromMainWindow = BrowserTest;

// The prompt the main window opened last, once it runs its session.
parents::FrmPassword* promptInSession(browser::MainView& view) {
  parents::FrmPassword* prompt = view.frmpassword();
  return prompt != nullptr && isInSession(prompt->window()) ? prompt : nullptr;
}

// Close asks for the password in a new prompt each time, and Cancel keeps the kiosk running.
// Parents, the password, the settings: the switch as the parent leaves it decides the address
// bar once the window closes, and a site blocked there is refused from the next page on.
TEST_F(ParentsFromMainWindow, CloseAndParentsAskForThePasswordAndNewSettingsCountAtOnce) {
  writeFile(folder / "data.plist", propertyList({{"PD", "Secret"}, {"AB", "ON"}}));
  server.page("www.games.example/play", {.body = titled("Games")});
  open();
  AlertRecorder alerts;
  for (int press = 0; press < 2; ++press) {
    Steps steps;
    steps.when([&] { return promptInSession(*view) != nullptr; },
               [&] {
                 parents::FrmPassword& prompt = *view->frmpassword();
                 EXPECT_EQ(prompt.window().get_title(), "Close Application");
                 EXPECT_EQ(prompt.delegate(), nullptr);
                 EXPECT_EQ(prompt.outlets().txtfieldpassword->get_text(), "");
                 enterPassword(prompt, "secret");
                 prompt.outlets().btnCancel->activate();
               });
    view->outlets().closeBtn->activate();
    ASSERT_TRUE(waitUntil([&] { return steps.finished() && platform::modalDepth() == 0; }));
  }
  EXPECT_EQ(alerts.alerts().size(), 2u);
  EXPECT_TRUE(view->window().get_visible());

  Steps steps;
  steps
      .when([&] { return promptInSession(*view) != nullptr; },
            [&] {
              EXPECT_EQ(view->frmpassword()->window().get_title(), "Open Parents Menu");
              enterPassword(*view->frmpassword(), "Secret");
            })
      .when([&] { return parentsWindowInSession(*view->frmpassword()) != nullptr; },
            [&] {
              auto& parents = *view->frmpassword()->frmparentcontroller();
              parents.outlets().btnCheck->activate();
              parents.outlets().txtfieldbw[0]->set_text("http://www.games.example");
              parents.outlets().btnClose->activate();
            });
  view->outlets().btnParent->activate();
  ASSERT_TRUE(waitUntil([&] { return steps.finished() && platform::modalDepth() == 0; }));
  EXPECT_FALSE(field().get_visible() || view->outlets().btnGo->get_visible());
  enter("www.games.example/play");
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == 3; }));
  EXPECT_EQ(alerts.alerts()[2].message, "URL Block");
}

}  // namespace
}  // namespace harbinel::test

#include <gtest/gtest.h>

#include <glibmm/main.h>

#include <cstdlib>
#include <string>

#include "tests/gui/BrowserFixture.h"

namespace harbinel::test {
namespace {

using Lines = std::vector<std::string>;

// Tests that need the keyboard focus and the pointer (run one at a time).
class KeyboardTest : public BrowserTest {};

TEST_F(BrowserTest, EnterInTheAddressFieldCompletesLoadsAndLogsTheTextAsTyped) {
  server.page("www.example.org/a.html", {.body = titled("A")});
  server.page("www.example.org/b.html", {.body = titled("B")});
  open();

  field().set_text("www.example.org/a.html");
  pressEnter(field());
  EXPECT_TRUE(waitForPage("http://www.example.org/a.html"));

  // An address with its scheme loads and is logged unchanged.
  field().set_text("http://www.example.org/b.html");
  pressEnter(field());
  EXPECT_TRUE(waitForPage("http://www.example.org/b.html"));
  EXPECT_EQ(historyLines(), (Lines{"www.example.org/a.html", "http://www.example.org/b.html"}));
}

TEST_F(KeyboardTest, FocusLeavingTheFieldAfterAnEditEndsEditingOnce) {
  server.page("www.example.org/left.html", {.body = titled("Left")});
  open();
  ASSERT_TRUE(waitUntil([&] { return view->window().is_active(); }));

  field().grab_focus();
  field().set_text("www.example.org/left.html");
  view->outlets().btnHome->grab_focus();
  EXPECT_TRUE(waitForPage("http://www.example.org/left.html"));

  // Focus coming and going without an edit ends nothing.
  field().grab_focus();
  view->outlets().btnHome->grab_focus();
  settle();
  EXPECT_EQ(historyLines(), (Lines{"www.example.org/left.html"}));
}

TEST_F(BrowserTest, GoLoadsWithoutAHistoryLineAndHomeGoesHome) {
  server.page("www.example.org/go.html", {.body = titled("Go")});
  open();

  field().set_text("www.example.org/go.html");
  view->outlets().btnGo->activate();
  EXPECT_TRUE(waitForPage("http://www.example.org/go.html"));

  view->outlets().btnHome->activate();
  EXPECT_TRUE(waitForPage(kHome));
  EXPECT_EQ(historyLines(), Lines{});
}

// An alert taking the focus while the child is typing leaves the typing as it was.
TEST_F(KeyboardTest, AlertOverAFieldBeingEditedDoesNotEndEditing) {
  settings.save({{"BW0", "example.org"}});
  server.page("www.example.org/late.html", {.body = titled("Late")});
  open();
  ASSERT_TRUE(waitUntil([&] { return view->window().is_active(); }));
  field().grab_focus();
  field().set_text("half-typ");
  AlertRecorder alerts;

  view->webView().setMainFrameURL("http://www.example.org/late.html");
  ASSERT_TRUE(waitUntil([&] { return !alerts.alerts().empty(); }));
  EXPECT_TRUE(waitForPage(kHome));
  settle();
  EXPECT_EQ(historyLines(), Lines{"example.org/late.html"});
  EXPECT_EQ(field().get_text(), "half-typ");
}

// A mouse click on Go must not take the focus from the field first: that would end editing
// and log the address before Go loads it.
TEST_F(KeyboardTest, ClickingGoWithTheMouseDoesNotEndEditing) {
  server.page("www.example.org/clicked.html", {.body = titled("Clicked")});
  open();
  ASSERT_TRUE(waitUntil([&] { return view->window().is_active(); }));
  field().grab_focus();
  field().set_text("www.example.org/clicked.html");

  Gtk::Button& go = *view->outlets().btnGo;
  double x = 0, y = 0;
  ASSERT_TRUE(
      go.translate_coordinates(view->window(), go.get_width() / 2.0, go.get_height() / 2.0, x, y));
  // The kiosk window covers the screen from its top left corner.
  const std::string click =
      "xdotool mousemove " + std::to_string(int(x)) + " " + std::to_string(int(y)) + " click 1";
  ASSERT_EQ(std::system(click.c_str()), 0);

  EXPECT_TRUE(waitForPage("http://www.example.org/clicked.html"));
  settle();
  Gtk::Widget* focus = view->window().get_focus();
  EXPECT_TRUE(focus != nullptr && focus->is_ancestor(field())) << "the field kept the focus";
  EXPECT_EQ(historyLines(), Lines{});
}

TEST_F(BrowserTest, SpinnerShowsWhileAPageLoadsAndHidesWhenItHasLoaded) {
  server.page("slow.example/page.html", {.body = titled("Slow"), .held = true});
  open();
  EXPECT_FALSE(spinner().get_visible());

  view->webView().setMainFrameURL("http://slow.example/page.html");
  ASSERT_TRUE(waitUntil([&] { return spinner().get_visible(); }));
  EXPECT_TRUE(spinner().get_spinning());
  settle(200ms);
  EXPECT_TRUE(spinner().get_visible()) << "still loading";

  server.releaseHeld();
  EXPECT_TRUE(waitForPage("http://slow.example/page.html"));
  EXPECT_FALSE(spinner().get_visible());
  EXPECT_FALSE(spinner().get_spinning());
}

TEST_F(BrowserTest, PageThatCannotBeLoadedShowsAFailurePageAndStopsTheSpinner) {
  server.page("gone.example/page.html", {.dropped = true});
  open();

  view->webView().setMainFrameURL("http://gone.example/page.html");
  EXPECT_TRUE(waitUntil([&] { return view->webView().title() == "Page not found"; }));
  EXPECT_TRUE(waitForPage("http://gone.example/page.html"));
  EXPECT_FALSE(spinner().get_visible());
}

TEST_F(BrowserTest, AddressBarStartsAsLaidOutAndFollowsTheSettingWhenAsked) {
  settings.save({{"AB", "OFF"}});
  open();
  // The setting is not applied at start.
  EXPECT_TRUE(field().get_visible());
  EXPECT_TRUE(view->outlets().btnGo->get_visible());

  struct Case {
    const char* value;  // nullptr: the key is absent
    bool shown;
  };
  for (const Case& c : {Case{"ON", true}, Case{"OFF", false}, Case{"on", false}, Case{"", false},
                        Case{nullptr, false}, Case{"ON", true}}) {
    if (c.value != nullptr) {
      settings.save({{"AB", c.value}});
    } else {
      writeFile(folder / "data.plist",
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                "<key>PD</key><string>x</string></dict></plist>\n");
    }
    view->showhideAddressBar();
    const std::string which = c.value ? c.value : "(absent)";
    EXPECT_EQ(field().get_visible(), c.shown) << which;
    EXPECT_EQ(view->outlets().btnGo->get_visible(), c.shown) << which;
    EXPECT_EQ(spinner().get_visible(), c.shown) << which;
  }

  // With the bar hidden a load still shows the spinner, and its end hides it.
  settings.save({{"AB", "OFF"}});
  view->showhideAddressBar();
  server.page("slow.example/hidden.html", {.body = titled("Slow"), .held = true});
  view->webView().setMainFrameURL("http://slow.example/hidden.html");
  ASSERT_TRUE(waitUntil([&] { return spinner().get_visible(); }));
  server.releaseHeld();
  EXPECT_TRUE(waitForPage("http://slow.example/hidden.html"));
  EXPECT_FALSE(spinner().get_visible());
  EXPECT_FALSE(field().get_visible());
}

TEST_F(BrowserTest, PickedFavouriteLoadsAndIsLoggedWithTheSelectedText) {
  settings.save({{"FW0", "www.fav.org/a.html"}, {"FW1", ""}, {"FW2", "second.org"}, {"FW5", " "}});
  server.page("www.fav.org/a.html", {.body = titled("Fav")});
  open();
  LogRecorder log;

  std::vector<std::string> listed;
  Glib::signal_idle().connect_once([&] {
    browser::FrmFavourites& picker = *view->frmFavourites();
    EXPECT_EQ(picker.window().get_title(), "Favourites Websites");
    for (int i = 0;; ++i) {
      picker.fvrtList().set_active(i);
      if (picker.fvrtList().get_active_row_number() != i) break;
      listed.push_back(picker.fvrtList().get_active_text());
    }
    picker.fvrtList().set_active(0);
    findButton(picker.window(), "Open")->activate();
  });
  view->goToFavourites();

  EXPECT_EQ(listed, (Lines{"www.fav.org/a.html", "second.org", " "}));
  EXPECT_FALSE(view->frmFavourites()->window().get_visible());
  EXPECT_TRUE(waitForPage("http://www.fav.org/a.html"));
  EXPECT_EQ(historyLines(), Lines{"www.fav.org/a.html"});
  EXPECT_EQ(log.lines(), Lines{"Selected Text: www.fav.org/a.html"});
}

TEST_F(BrowserTest, ClosingThePickerLoadsNothing) {
  settings.save({{"FW0", "www.fav.org/a.html"}});
  open();
  int requests = static_cast<int>(server.requests().size());
  Glib::signal_idle().connect_once(
      [&] { findButton(view->frmFavourites()->window(), "Close")->activate(); });
  view->goToFavourites();
  settle();
  EXPECT_EQ(static_cast<int>(server.requests().size()), requests);
  EXPECT_EQ(view->webView().mainFrameURL(), kHome);
  EXPECT_EQ(historyLines(), Lines{});
}

TEST_F(BrowserTest, KioskWindowCoversTheMonitorUndecoratedAndRefusesToClose) {
  open();
  browser::FullScreenableWindow& window = view->window();
  EXPECT_EQ(window.presentationOptions(), 106u);
  EXPECT_FALSE(window.get_decorated());
  const platform::MonitorFrame screen = platform::primaryMonitorFrame();
  ASSERT_TRUE(waitUntil([&] { return window.get_width() == screen.width; }));
  EXPECT_EQ(window.get_height(), screen.height);
  EXPECT_EQ(window.frame(), (browser::Rect{0, 0, double(screen.width), double(screen.height)}));
  EXPECT_EQ(window.growRect(), (browser::Rect{double(screen.width) - 16, 0, 16, 16}));
  EXPECT_EQ(window.locationInScreen({10, 20}), (browser::Point{10, 20}));

  window.close();
  settle(200ms);
  EXPECT_TRUE(window.get_visible());
}

}  // namespace
}  // namespace harbinel::test

#include <gtest/gtest.h>

#include <glibmm/main.h>

#include <optional>
#include <string>

#include "tests/gui/BrowserFixture.h"

namespace harbinel::test {
namespace {

using Lines = std::vector<std::string>;

// Tests that need the keyboard focus and the pointer (run one at a time).
class KeyboardTest : public BrowserTest {};

TEST_F(BrowserTest, GoAndHomeLogNothingAndEnterLoadsAndLogsTheTextAsTyped) {
  server.page("www.example.org/go.html", {.body = titled("Go")});
  server.page("www.example.org/a.html", {.body = titled("A")});
  server.page("www.example.org/b.html", {.body = titled("B")});
  open();

  field().set_text("www.example.org/go.html");
  view->outlets().btnGo->activate();
  EXPECT_TRUE(waitForPage("http://www.example.org/go.html"));
  view->outlets().btnHome->activate();
  EXPECT_TRUE(waitForPage(kHome));
  EXPECT_EQ(historyLines(), Lines{});

  enter("www.example.org/a.html");
  EXPECT_TRUE(waitForPage("http://www.example.org/a.html"));
  // An address with its scheme loads and is logged unchanged.
  enter("http://www.example.org/b.html");
  EXPECT_TRUE(waitForPage("http://www.example.org/b.html"));
  EXPECT_EQ(historyLines(), (Lines{"www.example.org/a.html", "http://www.example.org/b.html"}));
}

// An alert taking the focus while the child is typing leaves the typing as it was.
TEST_F(KeyboardTest, AlertOverAFieldBeingEditedDoesNotEndEditing) {
  settings.save({{"BW0", "example.org"}});
  server.page("www.example.org/late.html", {.body = titled("Late")});
  openFocused();
  field().grab_focus();
  field().set_text("half-typ");
  AlertRecorder alerts;

  load("http://www.example.org/late.html");
  expectRefused(alerts);
  settle();
  EXPECT_EQ(historyLines(), Lines{"example.org/late.html"});
  EXPECT_EQ(field().get_text(), "half-typ");
}

// A mouse click on Go must not take the focus from the field first: that would end editing
// and log the address before Go loads it. The focus leaving the field after an edit ends
// editing, once.
TEST_F(KeyboardTest, ClickingGoKeepsEditingAndFocusLeavingAfterAnEditEndsItOnce) {
  server.page("www.example.org/clicked.html", {.body = titled("Clicked")});
  server.page("www.example.org/left.html", {.body = titled("Left")});
  openFocused();
  field().grab_focus();
  field().set_text("www.example.org/clicked.html");
  Gtk::Button& go = *view->outlets().btnGo;
  clickAt(go, go.get_width() / 2.0, go.get_height() / 2.0);
  EXPECT_TRUE(waitForPage("http://www.example.org/clicked.html"));
  settle();
  Gtk::Widget* focus = view->window().get_focus();
  EXPECT_TRUE(focus != nullptr && focus->is_ancestor(field())) << "the field kept the focus";
  EXPECT_EQ(historyLines(), Lines{});

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

TEST_F(BrowserTest, SpinnerShowsWhileAPageLoadsAndStopsOnceItLoadedOrFailed) {
  server.page("slow.example/page.html", {.body = titled("Slow"), .held = true});
  server.page("gone.example/page.html", {.dropped = true});
  open();
  EXPECT_FALSE(spinner().get_visible());

  load("http://slow.example/page.html");
  ASSERT_TRUE(waitUntil([&] { return spinner().get_visible(); }));
  EXPECT_TRUE(spinner().get_spinning());
  settle(200ms);
  EXPECT_TRUE(spinner().get_visible()) << "still loading";
  server.releaseHeld();
  EXPECT_TRUE(waitForPage("http://slow.example/page.html"));
  EXPECT_FALSE(spinner().get_visible());
  EXPECT_FALSE(spinner().get_spinning());

  // A page that cannot be loaded shows a failure page.
  load("http://gone.example/page.html");
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

  const std::pair<std::optional<std::string>, bool> cases[] = {
      {"ON", true}, {"OFF", false},        {"on", false},
      {"", false},  {std::nullopt, false}, {"ON", true}};
  for (const auto& [value, shown] : cases) {
    writeFile(folder / "data.plist", propertyList({{"PD", "x"}, {"AB", value}}));
    view->showhideAddressBar();
    const std::string which = value.value_or("(absent)");
    EXPECT_EQ(field().get_visible(), shown) << which;
    EXPECT_EQ(view->outlets().btnGo->get_visible(), shown) << which;
    EXPECT_EQ(spinner().get_visible(), shown) << which;
  }

  // With the bar hidden a load still shows the spinner, and its end hides it.
  settings.save({{"AB", "OFF"}});
  view->showhideAddressBar();
  server.page("slow.example/hidden.html", {.body = titled("Slow"), .held = true});
  load("http://slow.example/hidden.html");
  ASSERT_TRUE(waitUntil([&] { return spinner().get_visible(); }));
  server.releaseHeld();
  EXPECT_TRUE(waitForPage("http://slow.example/hidden.html"));
  EXPECT_FALSE(spinner().get_visible());
  EXPECT_FALSE(field().get_visible());
}

TEST_F(BrowserTest, ClosingThePickerLoadsNothingAndAPickedFavouriteLoadsAndIsLogged) {
  settings.save({{"FW0", "www.fav.org/a.html"}, {"FW1", ""}, {"FW2", "second.org"}, {"FW5", " "}});
  server.page("www.fav.org/a.html", {.body = titled("Fav")});
  open();

  int requests = static_cast<int>(server.requests().size());
  Glib::signal_idle().connect_once(
      [&] { findButton(view->frmFavourites()->window(), "Close")->activate(); });
  view->goToFavourites();
  settle();
  EXPECT_EQ(static_cast<int>(server.requests().size()), requests);
  EXPECT_EQ(view->webView().mainFrameURL(), kHome);
  EXPECT_EQ(historyLines(), Lines{});

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

}  // namespace
}  // namespace harbinel::test

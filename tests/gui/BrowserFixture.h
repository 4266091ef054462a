#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "browser/MainView.h"
#include "filter/BlockLists.h"
#include "platform/Clock.h"
#include "storage/HistoryLog.h"
#include "storage/SettingsFile.h"
#include "tests/core/TestSupport.h"
#include "tests/gui/GuiTestSupport.h"

namespace harbinel::test {

// A main browser window over a test server, with its settings file and history folder in a
// temporary folder. Every host name reaches the test server.
class BrowserTest : public ::testing::Test {
 protected:
  static constexpr const char* kHome = "http://home.test/net/";

  void SetUp() override { server.page("home.test/net/", {.body = titled("Home")}); }

  // Opens the main window and waits for the home page.
  browser::MainView& open() {
    view = std::make_unique<browser::MainView>(browser::BrowserServices{
        .resourceFolder = HARBINEL_BUILD_RESOURCES,
        .settings = settings,
        .history = history,
        .blockLists = lists,
        .homeAddress = kHome,
        .webView = {.ephemeral = true,
                     .proxyURL = server.proxyURL(),
                     .unresponsiveLimit = unresponsiveLimit},
    });
    view->window();
    EXPECT_TRUE(waitForPage(kHome));
    return *view;
  }

  // Waits until `address` is the page shown and its load has ended.
  bool waitForPage(const std::string& address) {
    return waitUntil(
        [&] { return view->webView().mainFrameURL() == address && !view->webView().isLoading(); });
  }

  // Opens the main window and waits until it has the keyboard focus.
  void openFocused() {
    open();
    ASSERT_TRUE(waitUntil([&] { return view->window().is_active(); }));
  }

  void load(const std::string& address) { view->webView().setMainFrameURL(address); }

  // Types `text` in the address field and presses Enter.
  void enter(const std::string& text) {
    field().set_text(text);
    pressEnter(field());
  }

  // Waits for the alert numbered `count` and for the home page the refusal brings back.
  void expectRefused(const AlertRecorder& alerts, std::size_t count = 1) {
    ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() >= count; }));
    EXPECT_TRUE(waitForPage(kHome));
  }

  // Clicks with the real pointer, `button`, at (x, y) of `widget`. The kiosk window covers the
  // screen from its top left corner.
  void clickAt(Gtk::Widget& widget, double x, double y, int button = 1) {
    double sx = 0, sy = 0;
    ASSERT_TRUE(widget.translate_coordinates(view->window(), x, y, sx, sy));
    const std::string click = "xdotool mousemove " + std::to_string(int(sx)) + " " +
                              std::to_string(int(sy)) + " click " + std::to_string(button);
    ASSERT_EQ(std::system(click.c_str()), 0);
  }

  std::vector<std::string> historyLines() const { return historyTexts(history.todaysFile()); }
  Gtk::Entry& field() { return *view->outlets().urltxtField; }
  Gtk::Spinner& spinner() { return *view->outlets().progressIndicator; }

  TemporaryFolder folder;
  TestServer server;
  platform::SystemClock clock;
  storage::SettingsFile settings{folder / "data.plist"};
  storage::HistoryLog history{folder / "hts", clock};
  filter::BlockLists lists{storage::SettingsFile(folder / "data.plist")};
  std::unique_ptr<browser::MainView> view;
  std::chrono::milliseconds unresponsiveLimit = 3s;
};

}  // namespace harbinel::test

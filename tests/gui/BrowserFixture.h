#pragma once

#include <gtest/gtest.h>

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
        .webView = {.ephemeral = true, .proxyURL = server.proxyURL()},
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
};

}  // namespace harbinel::test

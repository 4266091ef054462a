#include <gtest/gtest.h>

#include <glibmm/main.h>

#include "app/HarbinelAppDelegate.h"
#include "platform/ModalSession.h"
#include "tests/core/TestSupport.h"
#include "tests/gui/GuiTestSupport.h"

namespace harbinel::test {
namespace {

namespace fs = std::filesystem;

// The window resources and the shipped files, but for the list of sites blocked by name.
fs::path resourcesWithoutDmnsame(const TemporaryFolder& folder) {
  const fs::path resources = folder / "resources";
  fs::create_directories(resources);
  for (const auto& entry : fs::directory_iterator(HARBINEL_BUILD_RESOURCES)) {
    if (entry.path().extension() == ".ui") fs::copy(entry.path(), resources);
  }
  writeFile(resources / "data.plist", propertyList({{"AB", "ON"}}));
  writeFile(resources / "dmn", "ads.example\nbad.example\n");
  return resources;
}

// A start-up step that fails is reported. The main window must not open under that alert, even
// when the delay has long passed; it opens as soon as the launch handler has returned.
TEST(Launch, AFailedStepIsReportedAndTheMainWindowWaitsForItsAlertThenOpensAtOnce) {
  TemporaryFolder folder;
  TestServer server;
  server.page("home.test/net/", {.body = titled("Home")});
  app::HarbinelAppDelegate delegate({
      .folders = {folder / "support", resourcesWithoutDmnsame(folder)},
      .delay = 100ms,
      .homeAddress = "http://home.test/net/",
      .webView = {.ephemeral = true, .proxyURL = server.proxyURL()},
  });
  delegate.showSplash();
  bool openedUnderTheAlert = false;
  AlertRecorder alerts([&](platform::ShownAlert& alert) {
    Glib::signal_timeout().connect_once(
        [&] {
          openedUnderTheAlert = delegate.mainView() != nullptr && delegate.mainView()->isShown();
          alert.pressOK();
        },
        500);
    return false;
  });
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(alerts.alerts(),
            (std::vector<AlertRecorder::Shown>{
                {"Harbinel Error", "Some of the modules are missing while opening Harbinel"}}));
  EXPECT_FALSE(openedUnderTheAlert);
  EXPECT_FALSE(delegate.mainView() != nullptr && delegate.mainView()->isShown())
      << "not inside the handler either";

  // The main window runs its session; the test ends it once the home page shows there, or
  // gives up, so that a window that never shows it fails the test rather than hanging it.
  const std::string home = "http://home.test/net/";
  const auto giveUp = std::chrono::steady_clock::now() + 60s;
  std::string shown;
  bool ended = false;
  auto watch = Glib::signal_timeout().connect(
      [&] {
        if (platform::modalDepth() != 1 || delegate.mainView() == nullptr) return true;
        shown = delegate.mainView()->webView().mainFrameURL();
        if (shown != home && std::chrono::steady_clock::now() < giveUp) return true;
        platform::stopModal(*platform::modalWindow());
        ended = true;
        return false;
      },
      20);
  EXPECT_TRUE(waitUntil([&] { return ended; }, 70s));
  watch.disconnect();
  EXPECT_EQ(shown, home) << alerts.alerts().size() << " alert(s)";
  EXPECT_EQ(delegate.blockLists().dnsArray().size(), 3u) << "ads, bad and the empty last line";
}

}  // namespace
}  // namespace harbinel::test

#include <gtest/gtest.h>

#include <glibmm/main.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/HarbinelAppDelegate.h"
#include "platform/ModalSession.h"
#include "tests/core/TestSupport.h"
#include "tests/gui/GuiTestSupport.h"

namespace harbinel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const AlertRecorder::Shown kProvisioningAlert{
    "Harbinel Error", "Some of the modules are missing while opening Harbinel"};

// A resource folder with the window resources and the shipped files, less those named.
fs::path resourceFolder(const TemporaryFolder& folder, const std::vector<std::string>& without) {
  const fs::path resources = folder / "resources";
  fs::create_directories(resources);
  for (const auto& entry : fs::directory_iterator(HARBINEL_BUILD_RESOURCES)) {
    if (entry.path().extension() == ".ui")
      fs::copy_file(entry.path(), resources / entry.path().filename());
  }
  writeFile(resources / "data.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>AB</key><string>ON</string></dict></plist>\n");
  writeFile(resources / "dmn", "ads.example\nbad.example\n");
  writeFile(resources / "dmnsame", "same.example\n");
  for (const std::string& name : without) fs::remove(resources / name);
  return resources;
}

// Runs the main loop until the main window runs its session with `shown` holding, then ends
// that session, so that the test goes on; false when that never came.
bool endMainWindowSession(
    app::HarbinelAppDelegate& delegate, const std::function<bool()>& shown = [] { return true; }) {
  bool ended = false;
  auto watch = Glib::signal_timeout().connect(
      [&] {
        if (platform::modalDepth() != 1 || delegate.mainView() == nullptr || !shown()) return true;
        ended = true;
        platform::stopModal(*platform::modalWindow());
        return false;
      },
      20);
  waitUntil([&] { return ended; }, 20s);
  watch.disconnect();
  return ended;
}

TEST(Launch, DataFolderThatCannotBeMadeGivesSixIdenticalAlertsAndStartUpGoesOn) {
  TemporaryFolder folder;
  writeFile(folder / "occupied", "a plain file where a folder would have to be");
  app::HarbinelAppDelegate delegate({
      .folders = {folder / "occupied" / "support", resourceFolder(folder, {})},
      .delay = 60s,
  });
  AlertRecorder alerts;
  delegate.applicationDidFinishLaunching();

  for (const auto& alert : alerts.alerts()) {
    EXPECT_EQ(alert.message, kProvisioningAlert.message);
    EXPECT_EQ(alert.informative, kProvisioningAlert.informative);
  }
  EXPECT_EQ(alerts.alerts().size(), 6u);
  EXPECT_EQ(delegate.blockLists().dnsArray().size(), 0u);
  EXPECT_EQ(delegate.blockLists().dnssameArray().size(), 0u);
  EXPECT_EQ(delegate.mainView(), nullptr);
}

// The main window must not open under a start-up alert, even when the delay has long passed;
// it opens as soon as the launch handler has returned.
TEST(Launch, MainWindowWaitsForTheStartUpAlertsThenOpensAtOnce) {
  TemporaryFolder folder;
  TestServer server;
  server.page("home.test/net/", {.body = titled("Home")});
  app::HarbinelAppDelegate delegate({
      .folders = {folder / "support", resourceFolder(folder, {"dmnsame"})},
      .delay = 100ms,
      .homeAddress = "http://home.test/net/",
      .webView = {.ephemeral = true, .proxyURL = server.proxyURL()},
  });
  delegate.showSplash();

  bool openedUnderTheAlert = false;
  AlertRecorder alerts([&](platform::ShownAlert& alert) {
    Glib::signal_timeout().connect_once(
        [&] {
          openedUnderTheAlert = delegate.mainView() != nullptr;
          alert.pressOK();
        },
        500);
    return false;
  });

  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(alerts.alerts().size(), 1u) << "only dmnsame is missing";
  EXPECT_FALSE(openedUnderTheAlert);
  EXPECT_EQ(delegate.mainView(), nullptr) << "not inside the handler either";

  std::string homeShown;
  EXPECT_TRUE(endMainWindowSession(delegate, [&] {
    homeShown = delegate.mainView()->webView().mainFrameURL();
    return homeShown == "http://home.test/net/";
  }));
  EXPECT_EQ(homeShown, "http://home.test/net/");
  EXPECT_EQ(delegate.blockLists().dnsArray().size(), 3u) << "ads, bad and the empty last line";
  EXPECT_EQ(delegate.blockLists().dnssameArray().size(), 0u);
  EXPECT_TRUE(fs::exists(folder / "support" / "Pellwick" / "dmn"));
}

TEST(Launch, FirstStartProvisionsQuietlyAndOpensTheMainWindowAfterTheDelay) {
  TemporaryFolder folder;
  TestServer server;
  server.page("home.test/net/", {.body = titled("Home")});
  app::HarbinelAppDelegate delegate({
      .folders = {folder / "support", resourceFolder(folder, {})},
      .delay = 300ms,
      .homeAddress = "http://home.test/net/",
      .webView = {.ephemeral = true, .proxyURL = server.proxyURL()},
  });
  AlertRecorder alerts;
  LogRecorder log;
  delegate.showSplash();
  delegate.applicationDidFinishLaunching();
  EXPECT_EQ(delegate.mainView(), nullptr);

  EXPECT_TRUE(endMainWindowSession(delegate));
  EXPECT_TRUE(alerts.alerts().empty());
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(fs::exists(folder / "support" / "Pellwick" / "hts" / log.lines()[0]));
}

}  // namespace
}  // namespace harbinel::test

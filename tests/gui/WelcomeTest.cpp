#include <gtest/gtest.h>

#include <glibmm/main.h>

#include <filesystem>
#include <string>

#include "app/HarbinelAppDelegate.h"
#include "platform/ModalSession.h"
#include "tests/core/TestSupport.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/HomeSupport.h"

namespace harbinel::test {
namespace {
namespace fs = std::filesystem;

// Launches and, inside whichever session runs, calls `step` until it answers true; then ends
// the main window's session once it runs.
void launch(app::HarbinelAppDelegate& delegate, const std::function<bool()>& step) {
  bool stepped = false, ended = false;
  const auto giveUp = std::chrono::steady_clock::now() + 20s;  // the session would never end
  auto watch = Glib::signal_timeout().connect(
      [&] {
        if (platform::modalDepth() != 1) return true;
        if (!stepped) stepped = step();
        if (!stepped && std::chrono::steady_clock::now() > giveUp) {
          ADD_FAILURE() << "the expected window never came";
          stepped = true;
        }
        if (stepped && delegate.mainView() != nullptr) {
          ended = true;
          platform::stopModal();
          return false;
        }
        return true;
      },
      50);
  delegate.showSplash();
  delegate.applicationDidFinishLaunching();
  EXPECT_TRUE(waitUntil([&] { return ended; }, 30s));
  watch.disconnect();
  settle();
}

app::LaunchOptions options(const TemporaryFolder& folder) {
  return {.folders = {folder / "support", folder / "resources"},
          .delay = 50ms,
          .homeAddress = "http://home.test/net/",
          .webView = {.ephemeral = true}};
}

// The shipped password opens the welcome window alone; the parent's choice is saved through
// the parents' save; the next start goes straight to the kiosk.
TEST(Welcome, ShippedPasswordAsksForTheParentsOwnBeforeTheKioskAndOnlyOnce) {
  TemporaryFolder folder;
  fs::create_directories(folder / "resources");
  for (const char* name : {"FrmWelcome.ui", "MainMenu.ui", "Splash.ui", "StartPage.html"}) {
    fs::copy_file(fs::path(HARBINEL_BUILD_RESOURCES) / name, folder / "resources" / name);
  }
  writeFile(folder / "resources" / "dmn", "");
  writeFile(folder / "resources" / "dmnsame", "");
  writeFile(folder / "resources" / "data.plist",
            propertyList({{"PD", "harbinel"}, {"FW0", "kept.example"}}));
  AlertRecorder alerts;
  {
    app::HarbinelAppDelegate delegate(options(folder));
    launch(delegate, [&] {
      auto* welcome = delegate.welcome();
      if (welcome == nullptr || !welcome->window().get_visible()) return false;
      EXPECT_EQ(delegate.mainView(), nullptr);
      const auto& outlets = welcome->outlets();
      EXPECT_EQ(outlets.favourites[0]->get_text(), "kept.example");
      outlets.password->set_text("harbinel");
      outlets.repeated->set_text("harbinel");
      EXPECT_FALSE(outlets.btnStart->get_sensitive());
      outlets.password->set_text("Tulip7");
      outlets.repeated->set_text("Tulip7");
      outlets.blocked[1]->set_text("https://www.bad.example");
      keepScreenshot("welcome-window");
      outlets.btnStart->activate();
      return true;
    });
    EXPECT_NE(delegate.mainView(), nullptr);
  }
  const auto saved = storage::SettingsFile(folder / "resources" / "data.plist").load();
  EXPECT_EQ(storage::valueOf(saved, "PD"), "Tulip7");
  EXPECT_EQ(storage::valueOf(saved, "BW1"), "bad.example");
  EXPECT_EQ(storage::valueOf(saved, "FW0"), "kept.example");

  app::HarbinelAppDelegate again(options(folder));
  launch(again, [&] { return again.mainView() != nullptr; });
  EXPECT_EQ(again.welcome(), nullptr);
  EXPECT_TRUE(alerts.alerts().empty());
}

}  // namespace
}  // namespace harbinel::test

#include <gtest/gtest.h>

#include <gtkmm/window.h>

#include <string>

#include "platform/Presentation.h"
#include "tests/gui/BrowserFixture.h"

namespace harbinel::test {
namespace {

using Lines = std::vector<std::string>;

TEST_F(BrowserTest, ALongBlockedAddressIsCutInTheFieldAndInTheAlertButLoggedWhole) {
  settings.save({{"BW0", "blocked.example"}});
  open();
  AlertRecorder alerts;
  const std::string typed = "http://blocked.example/" + std::string(10000, 'a');
  enter(typed);
  expectRefused(alerts);

  const std::string kept = typed.substr(0, 8192);
  EXPECT_EQ(field().get_text().raw(), kept);
  const std::string normalised = kept.substr(std::string("http://").size());
  ASSERT_EQ(alerts.alerts().size(), 1u);
  EXPECT_EQ(alerts.alerts()[0].informative, normalised.substr(0, 200) + "… is Blocked");
  EXPECT_EQ(historyLines(), (Lines{kept, normalised}));
}

TEST(LongAlert, NeverTallerThanTheScreen) {
  int height = 0;
  AlertRecorder alerts([&](platform::ShownAlert& alert) {
    auto& window = dynamic_cast<Gtk::Window&>(alert);
    waitUntil([&] { return window.get_height() > 0; });
    height = window.get_height();
    return true;
  });
  std::string text;
  for (int i = 0; i < 600; ++i) text += "a long text ";
  platform::runAlert("Validation Error", text);
  EXPECT_GT(height, 0);
  EXPECT_LE(height, platform::primaryMonitorFrame().height);
}

TEST_F(BrowserTest, AnAddressTheEngineWillNotLoadGivesTheFailurePage) {
  open();
  view->loadwebview("http://allowed.example/" + std::string(100000, 'a'));
  EXPECT_TRUE(waitUntil([&] { return view->webView().title() == "Page not found"; })) << view->webView().title() << " at " << view->webView().mainFrameURL().size();
}

}  // namespace
}  // namespace harbinel::test

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/ModalSession.h"
#include "tests/core/FileFaults.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

using parents::FrmParentController;
using parents::kSlots;

using ParentsWindow = ParentControls;

// Counts the parents' window's report that it has saved and closed.
class PromptStandIn : public parents::myprotocolparent {
 public:
  void showhideAddressBar() override { ++told; }
  int told = 0;
};

struct Switch {
  std::optional<std::string> stored;
  bool shownOn;
  int clicks;
  std::string saved;
};

// The switch keeps the stored text, whatever it is, until the parent clicks it.
TEST_F(ParentsWindow, SavesTheAddressBarAsReadUntilTheSwitchIsClicked) {
  const Switch cases[] = {
      {"ON", true, 0, "ON"}, {"on", false, 0, "on"},       {"OFF", false, 0, "OFF"},
      {"", false, 0, ""},    {std::nullopt, false, 0, ""}, {"on", false, 2, "OFF"},
      {"ON", true, 2, "ON"}, {"on", false, 1, "ON"},       {"ON", true, 1, "OFF"},
  };
  for (const Switch& c : cases) {
    SCOPED_TRACE((c.stored ? "[" + *c.stored + "]" : "absent") + " clicked " +
                 std::to_string(c.clicks));
    store({{"PD", "x"}, {"AB", c.stored}});
    PromptStandIn prompt;
    const auto window = parentsWindow(&prompt);
    EXPECT_EQ(window->outlets().btnCheck->get_active(), c.shownOn);
    for (int i = 0; i < c.clicks; ++i) window->outlets().btnCheck->activate();

    window->outlets().btnClose->activate();
    ASSERT_TRUE(waitUntil([&] { return prompt.told == 1; }));
    EXPECT_EQ(settings.value("AB"), c.saved);
  }
}

TEST_F(ParentsWindow, SavesBlockedSitesNormalisedAndTheRestAsTypedKeepingOtherEntries) {
  // Untouched fields go back as they were filled, each to its own slot.
  store({{"PD", "old"},
         {"BW2", "kept.example"},
         {"BW7", "http://www.not-normalised.example"},
         {"FW3", "kept favourite"},
         {"FW6", "www.six.example"},
         {"HP", "www.mine.example"},
         {"Theme", "blue"}},
        "\t<key>Launches</key>\n\t<integer>7</integer>\n");
  const auto window = parentsWindow();
  const auto& outlets = window->outlets();
  outlets.txtfieldpassword->set_text(" New Pass ");
  outlets.txtfieldbw[0]->set_text("https://www.toys.example/shop");
  outlets.txtfieldbw[1]->set_text("http://wwww.games.example");
  outlets.txtfieldbw[8]->set_text("Sweets.Example");
  outlets.txtfieldfw[0]->set_text("http://www.fun.example/");
  outlets.txtfieldfw[8]->set_text("  spaced  ");

  outlets.btnClose->activate();
  ASSERT_TRUE(waitUntil([&] { return !window->window().get_visible(); }));

  const storage::Settings saved = settings.load();
  storage::Settings expected{{"PD", " New Pass "},
                             {"BW0", "toys.example/shop"},
                             {"BW1", "games.example"},
                             {"BW2", "kept.example"},
                             {"BW7", "not-normalised.example"},
                             {"BW8", "Sweets.Example"},
                             {"FW0", "http://www.fun.example/"},
                             {"FW3", "kept favourite"},
                             {"FW6", "www.six.example"},
                             {"FW8", "  spaced  "},
                             {"AB", ""},
                             {"HP", "www.mine.example"},
                             {"Theme", "blue"}};
  for (int n = 0; n < kSlots; ++n) {
    expected.emplace("BW" + std::to_string(n), "");
    expected.emplace("FW" + std::to_string(n), "");
  }
  EXPECT_EQ(saved, expected);
  const std::string file = readFile(settingsPath());
  EXPECT_NE(file.find("<key>Launches</key>"), std::string::npos) << file;
  EXPECT_NE(file.find("<integer>7</integer>"), std::string::npos) << file;
  EXPECT_TRUE(alerts.alerts().empty());
}

// The close button is the only way out; a window-manager close would leave the session (and
// so the prompt and the main window) waiting for ever.
TEST_F(ParentsWindow, IgnoresTheWindowManagersCloseAndEndsItsSessionOnClose) {
  store({{"PD", "x"}, {"AB", "OFF"}});
  PromptStandIn prompt;
  const auto window = parentsWindow(&prompt);
  Steps steps;
  steps.when([&] { return isInSession(window->window()); }, [&] { window->window().close(); })
      .when([&] { return true; },
            [&] {
              EXPECT_TRUE(isInSession(window->window()));
              EXPECT_EQ(prompt.told, 0);
              window->outlets().btnCheck->activate();
              window->outlets().btnClose->activate();
            });
  platform::runModalForWindow(window->window());
  EXPECT_TRUE(steps.finished());
  EXPECT_FALSE(window->window().get_visible());
  EXPECT_EQ(prompt.told, 1);
  EXPECT_EQ(settings.value("AB"), "ON");
}

struct SaveFault {
  const char* what;
  std::string file;  // the settings file as it stands before the save
  bool limitFileSize;
};

// A save that fails tells the parent what was lost, leaves the file as it was, and still
// closes the window and tells the prompt, as a save that works does.
TEST_F(ParentsWindow, AFailedSaveIsReportedAndLosesNothing) {
  const SaveFault faults[] = {
      {"file is not a property list", "PD=Secret\nBW0=kept\n", false},
      {"root is not a dictionary",
       "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>PD</string>"
       "</array></plist>",
       false},
      {"disk full", propertyList({{"PD", "Secret"}, {"BW0", "kept.example"}, {"AB", "ON"}}), true},
  };
  for (const SaveFault& fault : faults) {
    SCOPED_TRACE(fault.what);
    writeFile(settingsPath(), fault.file);
    const std::string before = readFile(settingsPath());
    const std::size_t alertsBefore = alerts.alerts().size();
    PromptStandIn prompt;
    const auto window = parentsWindow(&prompt);
    window->outlets().txtfieldpassword->set_text("changed");
    window->outlets().txtfieldbw[0]->set_text("changed.example");
    {
      std::optional<FileSizeLimit> full;
      if (fault.limitFileSize) full.emplace(before.size() / 2);
      window->outlets().btnClose->activate();
      ASSERT_TRUE(waitUntil([&] { return prompt.told == 1; }));
    }
    EXPECT_EQ(readFile(settingsPath()), before);
    EXPECT_FALSE(window->window().get_visible());
    ASSERT_EQ(alerts.alerts().size(), alertsBefore + 1);
    const auto& alert = alerts.alerts().back();
    EXPECT_EQ(alert.message, "Settings Not Saved");
    for (const char* lost : {"password", "blocked sites", "favourite sites", "address bar"}) {
      EXPECT_NE(alert.informative.find(lost), std::string::npos) << alert.informative;
    }
    EXPECT_NE(alert.informative.find(settingsPath().string()), std::string::npos)
        << alert.informative;
  }
}

}  // namespace
}  // namespace harbinel::test

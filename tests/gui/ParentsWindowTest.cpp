#include <gtest/gtest.h>
#include <gtkmm/dialog.h>

#include "parents/HistoryReport.h"
#include "storage/HistoryLog.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

namespace fs = std::filesystem;

using ParentsWindow = ParentControls;

// Counts the parents' window's report that it has saved and closed.
class PromptStandIn : public parents::myprotocolparent {
 public:
  void showhideAddressBar() override { ++told; }
  int told = 0;
};

// A switch keeps the stored text, whatever it is, until the parent clicks it. Close is the
// only way out: the window manager's close would leave the sessions waiting for ever.
TEST_F(ParentsWindow, SavesTheAddressBarAsReadUntilTheSwitchIsClickedAndOnlyCloseCloses) {
  const struct {
    std::optional<std::string> stored;
    bool shownOn;
    int clicks;
    std::string saved;
    std::string key = "AB";
  } cases[] = {{"ON", true, 0, "ON"},  {"on", false, 0, "on"}, {std::nullopt, false, 0, ""},
               {"on", false, 1, "ON"}, {"ON", true, 1, "OFF"}, {"ON", true, 2, "ON"},
               {"ON", true, 1, "OFF", "OF"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored.value_or("(absent)") + " clicked " + std::to_string(c.clicks));
    store({{"PD", "x"}, {c.key, c.stored}});
    PromptStandIn prompt;
    const auto window = parentsWindow(&prompt);
    auto* button = c.key == "OF" ? window->outlets().btnOnlyAllowed : window->outlets().btnCheck;
    EXPECT_EQ(button->get_active(), c.shownOn);
    for (int i = 0; i < c.clicks; ++i) button->activate();
    window->window().close();
    EXPECT_TRUE(window->window().get_visible());
    EXPECT_EQ(prompt.told, 0);
    window->outlets().btnClose->activate();
    ASSERT_TRUE(waitUntil([&] { return prompt.told == 1; }));
    EXPECT_FALSE(window->window().get_visible());
    EXPECT_EQ(settings.value(c.key), c.saved);
  }
}

// Blocked sites are saved normalised, the password and favourites as typed, every slot in its
// own place, emptied ones too.
TEST_F(ParentsWindow, SavesBlockedSitesNormalisedAndTheRestAsTypedEachInItsSlot) {
  store({{"PD", "old"},
         {"BW2", "cleared.example"},
         {"BW7", "http://www.kept.example"},
         {"FW3", "kept favourite"},
         {"HP", "www.mine.example"}});
  const auto window = parentsWindow();
  const auto& outlets = window->outlets();
  EXPECT_EQ(outlets.txtfieldfw[3]->get_text(), "kept favourite");
  outlets.txtfieldpassword->set_text(" New Pass ");
  outlets.txtfieldbw[0]->set_text("https://www.toys.example/shop");
  outlets.txtfieldbw[2]->set_text("");
  outlets.txtfieldbw[8]->set_text("Sweets.Example");
  outlets.txtfieldfw[8]->set_text("  http://www.fun.example/ ");
  outlets.btnClose->activate();
  ASSERT_TRUE(waitUntil([&] { return !window->window().get_visible(); }));
  const storage::Settings expected{{"PD", " New Pass "},
                                   {"BW0", "toys.example/shop"},
                                   {"BW2", ""},
                                   {"BW7", "kept.example"},
                                   {"BW8", "Sweets.Example"},
                                   {"FW3", "kept favourite"},
                                   {"FW8", "  http://www.fun.example/ "},
                                   {"AB", ""},
                                   {"HP", "www.mine.example"}};
  const storage::Settings saved = settings.load();
  for (const auto& [key, value] : expected) EXPECT_EQ(storage::valueOf(saved, key), value) << key;
  EXPECT_EQ(saved.size(), 3u + 2 * parents::kSlots);
  EXPECT_TRUE(alerts.alerts().empty());
}

// A save that fails tells the parent what was lost, leaves the file as it was, and still
// closes the window and tells the prompt, as a save that works does.
TEST_F(ParentsWindow, AFailedSaveIsReportedAndLosesNothing) {
  writeFile(settingsPath(), "PD=Secret\nBW0=kept\n");
  PromptStandIn prompt;
  const auto window = parentsWindow(&prompt);
  window->outlets().txtfieldpassword->set_text("changed");
  window->outlets().btnClose->activate();
  ASSERT_TRUE(waitUntil([&] { return prompt.told == 1; }));
  EXPECT_EQ(readFile(settingsPath()), "PD=Secret\nBW0=kept\n");
  EXPECT_FALSE(window->window().get_visible());
  ASSERT_EQ(alerts.alerts().size(), 1u);
  EXPECT_EQ(alerts.alerts()[0].message, "Settings Not Saved");
  EXPECT_NE(alerts.alerts()[0].informative.find(settingsPath().string()), std::string::npos);
}

class HistoryReportWindow : public ParentControls {
 protected:
  void log(std::string_view text) {
    ASSERT_TRUE(storage::HistoryLog(folder / "hts", clock, where).append(text));
  }

  // The history button; the parent answers the save panel with `response`, in the folder "out"
  // under the name `name`.
  ParentsWindowController save(const std::string& name,
                               Gtk::ResponseType response = Gtk::ResponseType::ACCEPT) {
    auto window = parentsWindow();
    window->outlets().btnHistory->activate();
    EXPECT_TRUE(
        waitUntil([&] { return window->savePanel() && window->savePanel()->get_visible(); }));
    log("after.example");  // the report is the history as it was when the panel opened
    Gtk::FileChooserDialog& panel = *window->savePanel();
    const auto inFolder = [&](const fs::path& wanted) {
      const auto current = panel.get_current_folder();
      return current && (wanted.empty() || current->get_path() == wanted.string());
    };
    // A folder picked before the panel has settled on its own first one would be overruled.
    EXPECT_TRUE(waitUntil([&] { return inFolder({}); }));
    panel.set_current_folder(Gio::File::create_for_path(folder / "out"));
    EXPECT_TRUE(waitUntil([&] { return inFolder(folder / "out"); }));
    panel.set_current_name(name);
    panel.response(response);
    EXPECT_TRUE(waitUntil([&] { return !panel.get_visible(); }));
    return window;
  }
  std::string out(const std::string& name) const { return (folder / "out" / name).string(); }
};

// The history button saves the report as the parent names it (".txt" added where missing);
// Cancel writes nothing; a failed write is reported. The parents' window stays open throughout.
TEST_F(HistoryReportWindow, SavesTheReportAsNamedCancelWritesNothingAndAFailureIsReported) {
  fs::create_directories(out("taken.txt"));  // where that report would go stands a folder
  log("kids.example");
  const std::string report = parents::assembleReport(folder / "hts", clock.now(), where);
  EXPECT_TRUE(save("week")->window().get_visible());
  EXPECT_EQ(readFile(out("week.txt")), report);
  EXPECT_TRUE(save("none", Gtk::ResponseType::CANCEL)->window().get_visible());
  EXPECT_FALSE(fs::exists(out("none.txt")) || fs::exists(out("none")));
  const auto window = save("taken");
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == 1; }));
  EXPECT_EQ(alerts.alerts()[0].message, "History Not Saved");
  EXPECT_NE(alerts.alerts()[0].informative.find(out("taken.txt")), std::string::npos);
  EXPECT_TRUE(window->window().get_visible());
}

}  // namespace
}  // namespace harbinel::test

#include <gtest/gtest.h>
#include <gtkmm/dialog.h>

#include "parents/HistoryReport.h"
#include "storage/HistoryLog.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

namespace fs = std::filesystem;

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

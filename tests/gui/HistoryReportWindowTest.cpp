#include <gtest/gtest.h>
#include <gtkmm/dialog.h>

#include <filesystem>
#include <string>

#include "parents/HistoryReport.h"
#include "storage/HistoryLog.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

namespace fs = std::filesystem;

const std::string kSeparator = "\n-------------------------------------------------\n\n";

// A week of history around a new year, written by the history log itself. "Today" is
// 2 January 2025; the report covers 2 January back to 27 December.
class HistoryReportWindow : public ParentControls {
 protected:
  void SetUp() override {
    logAt(2025, 1, 3, 8, 0, 0, "tomorrow.example");  // after today: never reported
    logAt(2025, 1, 2, 9, 15, 0, "kids.example");
    logAt(2025, 1, 2, 9, 16, 30, "caf\xC3\xA9.example/\xC3\x9F");
    logAt(2025, 1, 1, 23, 59, 59, "newyear.example");
    logAt(2024, 12, 31, 8, 0, 0, "dec31.example");
    // 30 December: no day file at all.
    writeFile(folder / "hts" / "29122024.lic", "");  // a day started without a line
    logAt(2024, 12, 27, 14, 5, 9, "oldest.example");
    logAt(2024, 12, 26, 12, 0, 0, "too-old.example");  // seven days before: never reported
    fs::create_directory(folder / "out");
  }

  void logAt(int year, int month, int day, int hour, int minute, int second,
             std::string_view text) {
    platform::FixedClock at(localTime(year, month, day, hour, minute, second, "Europe/Berlin"));
    ASSERT_TRUE(storage::HistoryLog(folder / "hts", at, where).append(text));
  }

  // The history button, then the parent's answer to the save panel.
  ParentsWindowController openPanel() {
    auto window = parentsWindow();
    window->outlets().btnHistory->activate();
    EXPECT_TRUE(
        waitUntil([&] { return window->savePanel() && window->savePanel()->get_visible(); }));
    return window;
  }

  // The parent picks a folder and types a name, then presses Save.
  static void choose(parents::FrmParentController& window, const fs::path& chosen) {
    Gtk::FileChooserDialog& panel = *window.savePanel();
    const auto isFolder = [&](const fs::path& folder) {
      const auto current = panel.get_current_folder();
      return current && (folder.empty() || current->get_path() == folder.string());
    };
    // A folder picked before the panel has settled on its own first one would be overruled.
    ASSERT_TRUE(waitUntil([&] { return isFolder({}); }));
    panel.set_current_folder(Gio::File::create_for_path(chosen.parent_path()));
    ASSERT_TRUE(waitUntil([&] { return isFolder(chosen.parent_path()); }));
    panel.set_current_name(chosen.filename().string());
    panel.response(Gtk::ResponseType::ACCEPT);
  }

  std::string out(const std::string& name) const { return (folder / "out" / name).string(); }

  const std::string expectedReport =
      "02-Jan-2025 09:15:00  --> kids.example\n"
      "02-Jan-2025 09:16:30  --> caf\xC3\xA9.example/\xC3\x9F\n" +
      kSeparator + "01-Jan-2025 11:59:59  --> newyear.example\n" + kSeparator +
      "31-Dec-2024 08:00:00  --> dec31.example\n" + kSeparator + kSeparator +
      "27-Dec-2024 02:05:09  --> oldest.example\n" + kSeparator;
};

TEST_F(HistoryReportWindow, WritesTheLastSevenDaysNewestFirstAddingTxtOnlyWhereMissing) {
  for (const char* name : {"week", "week two.txt"}) {
    SCOPED_TRACE(name);
    const auto window = openPanel();
    choose(*window, out(name));
    ASSERT_TRUE(waitUntil([&] { return !window->savePanel()->get_visible(); }));
    EXPECT_EQ(readFile(parents::reportPath(out(name))), expectedReport);
  }
  EXPECT_EQ(readFile(out("week.txt")), expectedReport);
  EXPECT_EQ(readFile(out("week two.txt")), expectedReport);
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "out"), fs::directory_iterator()), 2);
  EXPECT_TRUE(alerts.alerts().empty());
}

// A report is the history as it was when the panel opened; without day files, an empty file.
TEST_F(HistoryReportWindow, IsTheHistoryAsItWasWhenThePanelOpenedOrEmptyWithoutDayFiles) {
  {
    const auto window = openPanel();
    logAt(2025, 1, 2, 9, 30, 0, "while-the-panel-was-up.example");
    choose(*window, out("week"));
    ASSERT_TRUE(waitUntil([&] { return fs::exists(out("week.txt")); }));
    EXPECT_EQ(readFile(out("week.txt")), expectedReport);
  }
  fs::remove_all(folder / "hts");
  const auto window = openPanel();
  choose(*window, out("empty"));
  ASSERT_TRUE(waitUntil([&] { return fs::exists(out("empty.txt")); }));
  EXPECT_EQ(readFile(out("empty.txt")), "");
}

// Cancelling writes nothing. The panel itself asks before a file is replaced; once the parent
// agrees, the file is replaced.
TEST_F(HistoryReportWindow, CancellingWritesNothingAndAReplaceTheParentAgreedToReplaces) {
  {
    const auto window = openPanel();
    window->savePanel()->set_current_folder(Gio::File::create_for_path(folder / "out"));
    window->savePanel()->set_current_name("week");
    window->savePanel()->response(Gtk::ResponseType::CANCEL);
    settle();
    EXPECT_FALSE(window->savePanel()->get_visible());
    EXPECT_TRUE(fs::is_empty(folder / "out"));
    EXPECT_TRUE(alerts.alerts().empty());
    EXPECT_TRUE(window->window().get_visible());
  }
  writeFile(out("week.txt"), "last week's report");
  const auto window = openPanel();
  choose(*window, out("week.txt"));

  Gtk::Button* replace = nullptr;
  ASSERT_TRUE(waitUntil([&] {
    for (Gtk::Window* shown : Gtk::Window::list_toplevels()) {
      if (shown->get_visible() && shown != window->savePanel() && shown != &window->window()) {
        if (Gtk::Button* found = findButton(*shown, "_Replace")) replace = found;
      }
    }
    return replace != nullptr;
  }));
  EXPECT_EQ(readFile(out("week.txt")), "last week's report");
  replace->activate();
  ASSERT_TRUE(waitUntil([&] { return !window->savePanel()->get_visible(); }));
  EXPECT_EQ(readFile(out("week.txt")), expectedReport);
}

TEST_F(HistoryReportWindow, AFailedWriteIsReported) {
  fs::create_directory(out("week.txt"));  // where the report would go stands a folder
  const auto window = openPanel();
  choose(*window, out("week"));
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == 1; }));
  EXPECT_EQ(alerts.alerts()[0].message, "History Not Saved");
  EXPECT_NE(alerts.alerts()[0].informative.find(out("week.txt")), std::string::npos)
      << alerts.alerts()[0].informative;
  EXPECT_TRUE(fs::is_directory(out("week.txt")));
  EXPECT_TRUE(window->window().get_visible());
}

}  // namespace
}  // namespace harbinel::test

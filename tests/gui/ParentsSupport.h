#pragma once

#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include <deque>

#include "browser/Protocols.h"
#include "parents/FrmParentController.h"
#include "parents/FrmPassword.h"
#include "platform/Clock.h"
#include "storage/SettingsFile.h"
#include "tests/core/TestSupport.h"
#include "tests/gui/GuiTestSupport.h"

namespace harbinel::test {

// Acts inside modal sessions, which block the code that opened them: each step runs from the
// main loop, in order, once its condition holds. A step that does not come in time fails the
// test and ends the sessions opened since, so a broken window cannot hang the run.
class Steps {
 public:
  Steps();
  ~Steps() { poll_.disconnect(); }
  Steps(const Steps&) = delete;
  Steps& operator=(const Steps&) = delete;

  Steps& when(std::function<bool()> ready, std::function<void()> act) {
    steps_.push_back({std::move(ready), std::move(act)});
    return *this;
  }
  bool finished() const { return steps_.empty() && !abandoned_; }

 private:
  struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
  };
  bool poll();

  std::deque<Step> steps_;
  std::chrono::steady_clock::time_point deadline_;
  int depth_;
  bool abandoned_ = false;
  sigc::connection poll_;
};

// The window that runs the innermost session is `window`, on screen.
bool isInSession(const Gtk::Window& window);
// The parents' window `prompt` opened, once it runs its session; else nullptr.
parents::FrmParentController* parentsWindowInSession(parents::FrmPassword& prompt);
// Types `text` in the prompt's password field and presses Enter.
void enterPassword(parents::FrmPassword& prompt, const std::string& text);

// Stands in for the main browser window: notes the address-bar switch each time it is told.
class MainWindowStandIn : public browser::myprotocolpassword {
 public:
  explicit MainWindowStandIn(storage::SettingsFile settings) : settings_(std::move(settings)) {}
  void showhideAddressBar() override { told_.push_back(settings_.value("AB")); }
  const std::vector<std::string>& told() const { return told_; }

 private:
  storage::SettingsFile settings_;
  std::vector<std::string> told_;
};

// Closes a window left open before it goes: a visible window destroyed with the focus in a text
// field makes GTK warn that the field never lost the focus.
struct CloseThenDelete {
  template <typename Controller>
  void operator()(Controller* controller) const {
    controller->window().set_visible(false);
    delete controller;
  }
};
using Prompt = std::unique_ptr<parents::FrmPassword, CloseThenDelete>;
using ParentsWindowController = std::unique_ptr<parents::FrmParentController, CloseThenDelete>;

// The parent controls over a settings file and a history folder in a temporary folder, with
// "today" pinned to 2 January 2025 in Berlin.
class ParentControls : public ::testing::Test {
 public:
  parents::ParentServices services() const {
    return {HARBINEL_BUILD_RESOURCES, settings, folder / "hts", clock, where};
  }
  void store(const Entries& entries, const std::string& moreXml = {}) const {
    writeFile(settingsPath(), propertyList(entries, moreXml));
  }
  Prompt prompt(std::string_view windowname, browser::myprotocolpassword* delegate = nullptr);
  ParentsWindowController parentsWindow(parents::myprotocolparent* delegate = nullptr);
  // Runs the prompt in its own session, as the main window does: `act` runs inside it, then
  // `inParents`, if given, inside the session of the parents' window the prompt opened.
  void runPrompt(parents::FrmPassword& prompt, std::function<void()> act,
                 std::function<void(parents::FrmParentController&)> inParents = {});
  std::filesystem::path settingsPath() const { return folder / "data.plist"; }

 protected:
  TemporaryFolder folder;
  platform::FixedClock clock{localTime(2025, 1, 2, 10, 0, 0, "Europe/Berlin")};
  platform::DateLocale where{"en_US", "Europe/Berlin"};
  storage::SettingsFile settings{folder / "data.plist"};
  AlertRecorder alerts;
};

}  // namespace harbinel::test

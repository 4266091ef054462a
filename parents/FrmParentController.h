#pragma once

#include <gtkmm/button.h>
#include <gtkmm/checkbutton.h>
#include <gtkmm/entry.h>
#include <gtkmm/filechooserdialog.h>
#include <gtkmm/label.h>
#include <gtkmm/window.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "parents/HistoryView.h"
#include "parents/Protocols.h"
#include "platform/Clock.h"
#include "platform/DateFormat.h"
#include "platform/WindowResource.h"
#include "storage/SettingsFile.h"

namespace harbinel::parents {

class PasswordPacing;

inline constexpr int kSlots = 9;

// What the parent controls work with, handed in by their opener.
struct ParentServices {
  std::filesystem::path resourceFolder;  // holds FrmPassword.ui and FrmParent.ui
  storage::SettingsFile settings;        // read afresh at every use, written on closing
  std::filesystem::path historyFolder;   // the day files the history report is made of
  const platform::Clock& clock;          // "today" of the history report
  platform::DateLocale where;            // the locale and time zone the day files are named in
  PasswordPacing* pacing = nullptr;      // the run's pace of password attempts, if paced
};

// Tells the parent that their changes were not saved and why (the parents' window and the
// welcome window save the same settings and say so the same way).
void reportUnsavedSettings(const storage::SaveResult& result);

// The parents' settings window: the password, nine blocked sites, nine favourite sites and the
// address-bar switch, all saved when the window closes, and the history report.
class FrmParentController {
 public:
  explicit FrmParentController(ParentServices services);
  ~FrmParentController();
  FrmParentController(const FrmParentController&) = delete;
  FrmParentController& operator=(const FrmParentController&) = delete;

  void setDelegate(myprotocolparent* delegate) { delegate_ = delegate; }
  myprotocolparent* delegate() const { return delegate_; }

  // The window; the first call loads the window resource "FrmParent" and fills every control
  // from the settings file.
  Gtk::Window& window();

  // Fills every control from one load of the settings file; returns the stored password.
  std::string readPassword();
  // The switch's action: from now on the address-bar value follows the switch.
  void hideAddressBar();
  // The close button's action, the window's only way out: saves, closes, tells the delegate.
  void closeWindow();
  // Saves every control to the settings file in one atomic write.
  storage::SaveResult writeToPlist();
  std::string changeURL(std::string_view address) const;

  // The history button's action: opens the save panel on this window and assembles the report.
  void downloadHistory();
  // The save panel's answer: writes the report when the parent accepted it.
  void savePanelDidEnd(int response);

  // "Block this site": puts `host` in the first empty blocked-site field (saved on closing, as
  // a typed entry is); says so when all nine are in use.
  void blockSite(const std::string& host);

  // The History section.
  HistoryView& history() { return *history_; }

  // The address-bar value to be saved under AB.
  const std::string& checkstate() const { return checkstate_; }
  // The report text of the last downloadHistory.
  const std::string& contentstr() const { return contentstr_; }
  // The save panel of the report in progress, if any.
  Gtk::FileChooserDialog* savePanel() { return savePanel_.get(); }

  // The controls, joined by name when the window resource loads.
  struct Outlets {
    Gtk::Entry* txtfieldpassword = nullptr;
    Gtk::Entry* txtfieldhomepage = nullptr;
    std::array<Gtk::Entry*, kSlots> txtfieldfw{};
    std::array<Gtk::Entry*, kSlots> txtfieldbw{};
    Gtk::CheckButton* btnCheck = nullptr;
    Gtk::CheckButton* btnWholeSites = nullptr;
    Gtk::CheckButton* btnOnlyAllowed = nullptr;
    // One line under each blocked-site field: what the entry will do.
    std::array<Gtk::Label*, kSlots> explainbw{};
    Gtk::Button* btnClose = nullptr;
    Gtk::Button* btnHistory = nullptr;
    Gtk::Label* lblAdministered = nullptr;
  };
  const Outlets& outlets() const { return outlets_; }

 private:
  void load();
  void bindOutlets();
  void showHistory();
  void connectActions();
  void windowDidLoad();
  void reportUnsaved(const storage::SaveResult& result);
  void addExplanations();
  void explainEntries();
  void logSave(const std::vector<std::string>& changedKeys);
  void lockAdministeredFields(const storage::ManagedSettings& managed);
  Gtk::Widget* fieldOf(std::string_view key) const;

  ParentServices services_;
  myprotocolparent* delegate_ = nullptr;
  std::string checkstate_;
  int explainedSlot_ = -1;  // the blocked-site field that has the keyboard, if any
  std::string wholeSites_;  // WS as read, then as the switch says once the parent clicks it
  std::string onlyAllowed_;  // OF, the same way
  std::string contentstr_;
  Outlets outlets_;
  // Outlives the window that shows it: the list's rows read its lines until the window goes.
  std::unique_ptr<HistoryView> history_;
  std::unique_ptr<platform::WindowResource> resource_;
  std::unique_ptr<Gtk::Window> window_;
  struct PanelDestroyer {
    void operator()(Gtk::FileChooserDialog* panel) const;
  };
  std::unique_ptr<Gtk::FileChooserDialog, PanelDestroyer> savePanel_;
};

}  // namespace harbinel::parents

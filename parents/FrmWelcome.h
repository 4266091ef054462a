#pragma once

#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/label.h>
#include <gtkmm/passwordentry.h>
#include <gtkmm/window.h>

#include <array>
#include <filesystem>
#include <memory>

#include "parents/FrmParentController.h"
#include "platform/WindowResource.h"
#include "storage/SettingsFile.h"

namespace harbinel::parents {

// Whether the settings still hold the password Harbinel ships with.
bool needsWelcome(const storage::SettingsFile& settings);

// The welcome window of a first start: the parent chooses their own password (typed twice) and
// may fill in favourite and blocked sites. It has no way out but saving, and runs in a session
// of its own that ends once the settings are saved.
class FrmWelcome {
 public:
  FrmWelcome(std::filesystem::path resourceFolder, storage::SettingsFile settings);
  ~FrmWelcome();
  FrmWelcome(const FrmWelcome&) = delete;
  FrmWelcome& operator=(const FrmWelcome&) = delete;

  // The window; the first call loads the window resource "FrmWelcome" and fills the sites from
  // the settings file.
  Gtk::Window& window();

  // The start button's action (and Enter in the second password field): saves through the
  // parents' window's save and ends the session, or says why not.
  void save();

  struct Outlets {
    Gtk::PasswordEntry* password = nullptr;
    Gtk::PasswordEntry* repeated = nullptr;
    Gtk::Label* problem = nullptr;
    std::array<Gtk::Entry*, kSlots> favourites{};
    std::array<Gtk::Entry*, kSlots> blocked{};
    Gtk::Button* btnStart = nullptr;
  };
  const Outlets& outlets() const { return outlets_; }

 private:
  void load();
  void addSiteFields(const std::string& gridName, std::array<Gtk::Entry*, kSlots>& fields,
                     const char* accessibleName);
  void fillSites();
  void showProblem();

  std::filesystem::path resourceFolder_;
  storage::SettingsFile settings_;
  Outlets outlets_;
  std::unique_ptr<platform::WindowResource> resource_;
  std::unique_ptr<Gtk::Window> window_;
};

}  // namespace harbinel::parents

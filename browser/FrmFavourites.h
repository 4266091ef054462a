#pragma once

#include <gtkmm/comboboxtext.h>
#include <gtkmm/window.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "browser/Protocols.h"
#include "platform/WindowResource.h"
#include "storage/SettingsFile.h"

namespace harbinel::browser {

// The favourites picker: lists the parent's favourite sites (FW0..FW8) and hands the chosen
// one to the main browser controller.
class FrmFavourites {
 public:
  FrmFavourites(std::filesystem::path resourceFolder, storage::SettingsFile settings);
  ~FrmFavourites();
  FrmFavourites(const FrmFavourites&) = delete;
  FrmFavourites& operator=(const FrmFavourites&) = delete;

  // Set by the opener before the window is first asked for.
  void setWindowname(std::string name) { windowname_ = std::move(name); }
  const std::string& windowname() const { return windowname_; }
  void setTmpa(myprotocol* receiver) { tmpa_ = receiver; }
  myprotocol* tmpa() const { return tmpa_; }

  // The picker's window; the first call loads the window resource "FrmFavourites", fills the
  // list and sets the title.
  Gtk::Window& window();

  // Confirm: closes the picker, ends its session and hands the selected site on.
  void addFavourites();
  // Close without choosing.
  void closeWindow();

  void readFvrtSites();
  const std::vector<std::string>& userfvrtArray() const { return userfvrtArray_; }
  Gtk::ComboBoxText& fvrtList() { return *fvrtList_; }

 private:
  void awakeFromNib();
  void windowDidLoad();

  std::filesystem::path resourceFolder_;
  storage::SettingsFile settings_;
  std::string windowname_;
  myprotocol* tmpa_ = nullptr;
  std::vector<std::string> userfvrtArray_;
  std::unique_ptr<platform::WindowResource> resource_;
  std::unique_ptr<Gtk::Window> window_;
  Gtk::ComboBoxText* fvrtList_ = nullptr;
};

}  // namespace harbinel::browser

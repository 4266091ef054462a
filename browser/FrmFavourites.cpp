#include "browser/FrmFavourites.h"

#include <gtkmm/button.h>

#include "platform/Log.h"
#include "platform/ModalSession.h"
#include "platform/Translation.h"

namespace harbinel::browser {

FrmFavourites::FrmFavourites(std::filesystem::path resourceFolder, storage::SettingsFile settings)
    : resourceFolder_(std::move(resourceFolder)), settings_(std::move(settings)) {}

FrmFavourites::~FrmFavourites() = default;

Gtk::Window& FrmFavourites::window() {
  if (!window_) {
    resource_ = std::make_unique<platform::WindowResource>(resourceFolder_, "FrmFavourites");
    window_.reset(&resource_->outlet<Gtk::Window>("window"));
    fvrtList_ = &resource_->outlet<Gtk::ComboBoxText>("fvrtList");
    resource_->outlet<Gtk::Button>("btnOpen").signal_clicked().connect([this] { addFavourites(); });
    resource_->outlet<Gtk::Button>("btnClose").signal_clicked().connect([this] { closeWindow(); });
    awakeFromNib();
    windowDidLoad();
  }
  return *window_;
}

void FrmFavourites::readFvrtSites() {
  userfvrtArray_ = storage::slotList(settings_.load(), "FW");
}

void FrmFavourites::awakeFromNib() {
  readFvrtSites();
  for (const std::string& site : userfvrtArray_) fvrtList_->append(site);
  if (!userfvrtArray_.empty()) fvrtList_->set_active(0);
}

void FrmFavourites::windowDidLoad() {
  window_->set_title(_(windowname_.c_str()));
}

void FrmFavourites::addFavourites() {
  if (!window_->get_visible()) return;  // a late click of a picker already closed
  platform::closeWindow(*window_);
  platform::stopModal(*window_);
  const std::string selected = fvrtList_->get_active_text();
  platform::logLine("Selected Text: " + selected);
  if (tmpa_ != nullptr) tmpa_->loadwebview(selected);
}

void FrmFavourites::closeWindow() {
  platform::closeWindow(*window_);
  platform::stopModal(*window_);
}

}  // namespace harbinel::browser

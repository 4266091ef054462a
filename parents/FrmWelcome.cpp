#include "parents/FrmWelcome.h"

#include <gtkmm/grid.h>

#include <string>
#include <utility>
#include <vector>

#include "filter/Address.h"
#include "parents/NewPassword.h"
#include "platform/ModalSession.h"
#include "platform/Presentation.h"
#include "platform/Translation.h"

namespace harbinel::parents {
namespace {

std::string slotKey(std::string_view prefix, int slot) {
  return std::string(prefix) + std::to_string(slot);
}

}  // namespace

bool needsWelcome(const storage::SettingsFile& settings) {
  return settings.value("PD") == kShippedPassword;
}

FrmWelcome::FrmWelcome(std::filesystem::path resourceFolder, storage::SettingsFile settings)
    : resourceFolder_(std::move(resourceFolder)), settings_(std::move(settings)) {}

FrmWelcome::~FrmWelcome() = default;

Gtk::Window& FrmWelcome::window() {
  if (!window_) load();
  return *window_;
}

void FrmWelcome::load() {
  resource_ = std::make_unique<platform::WindowResource>(resourceFolder_, "FrmWelcome");
  window_.reset(&resource_->outlet<Gtk::Window>("window"));
  outlets_.password = &resource_->outlet<Gtk::PasswordEntry>("password");
  outlets_.repeated = &resource_->outlet<Gtk::PasswordEntry>("repeated");
  outlets_.problem = &resource_->outlet<Gtk::Label>("problem");
  outlets_.btnStart = &resource_->outlet<Gtk::Button>("btnStart");
  // TRANSLATORS: what a screen reader says of a field; %1 is its number.
  addSiteFields("favourites", outlets_.favourites, _("Favourite website %1"));
  // TRANSLATORS: what a screen reader says of a field; %1 is its number.
  addSiteFields("blocked", outlets_.blocked, _("Blocked website %1"));
  fillSites();
  outlets_.btnStart->signal_clicked().connect([this] { save(); });
  for (Gtk::PasswordEntry* field : {outlets_.password, outlets_.repeated}) {
    field->signal_changed().connect([this] { showProblem(); });
  }
  // (gtkmm 4.8 does not wrap this entry's "activate" signal.)
  g_signal_connect_swapped(outlets_.repeated->gobj(), "activate",
                           G_CALLBACK(+[](FrmWelcome* self) { self->save(); }), this);
  // No way around the choice: the window manager's close does nothing.
  window_->signal_close_request().connect([] { return true; }, false);
  showProblem();
}

// Nine numbered fields under the grid's heading, as in the parents' window.
void FrmWelcome::addSiteFields(const std::string& gridName, std::array<Gtk::Entry*, kSlots>& fields,
                               const char* accessibleName) {
  auto& grid = resource_->outlet<Gtk::Grid>(gridName);
  for (int slot = 0; slot < kSlots; ++slot) {
    auto* number = Gtk::make_managed<Gtk::Label>(std::to_string(slot + 1));
    number->add_css_class("dim-label");
    fields[slot] = Gtk::make_managed<Gtk::Entry>();
    fields[slot]->set_hexpand(true);
    const Glib::ustring name = Glib::ustring::compose(accessibleName, slot + 1);
    gtk_accessible_update_property(GTK_ACCESSIBLE(fields[slot]->gobj()),
                                   GTK_ACCESSIBLE_PROPERTY_LABEL, name.c_str(), -1);
    grid.attach(*number, 0, slot + 1);
    grid.attach(*fields[slot], 1, slot + 1);
  }
}

void FrmWelcome::fillSites() {
  const storage::Settings settings = settings_.load();
  for (int slot = 0; slot < kSlots; ++slot) {
    outlets_.favourites[slot]->set_text(storage::valueOf(settings, slotKey("FW", slot)));
    outlets_.blocked[slot]->set_text(storage::valueOf(settings, slotKey("BW", slot)));
  }
}

void FrmWelcome::showProblem() {
  const std::string problem =
      newPasswordProblem(outlets_.password->get_text().raw(), outlets_.repeated->get_text().raw());
  outlets_.problem->set_text(problem.empty() ? _("Ready: press Start Harbinel.") : problem);
  outlets_.btnStart->set_sensitive(problem.empty());
}

// The same entries and the same save as the parents' window; a failed save keeps the window
// open, so the parent can try again once the cause is mended.
void FrmWelcome::save() {
  if (!window_->get_visible()) return;  // a late click of a window already closed
  const std::string password = outlets_.password->get_text().raw();
  if (!newPasswordProblem(password, outlets_.repeated->get_text().raw()).empty()) return;
  std::vector<std::pair<std::string, std::string>> entries{{"PD", password}};
  for (int slot = 0; slot < kSlots; ++slot) {
    entries.emplace_back(slotKey("BW", slot), filter::changeURL(outlets_.blocked[slot]->get_text().raw()));
  }
  for (int slot = 0; slot < kSlots; ++slot) {
    entries.emplace_back(slotKey("FW", slot), outlets_.favourites[slot]->get_text().raw());
  }
  const storage::SaveResult saved = settings_.save(entries);
  if (!saved.ok()) {
    reportUnsavedSettings(saved);
    return;
  }
  platform::stopModal(*window_);
  platform::closeWindow(*window_);
}

}  // namespace harbinel::parents

#include "parents/FrmParentController.h"

#include <string>
#include <utility>
#include <vector>

#include <gtkmm/eventcontrollerfocus.h>
#include <gtkmm/grid.h>

#include "filter/Address.h"
#include "filter/BlockLists.h"
#include "parents/HistoryReport.h"
#include "platform/Alert.h"
#include "platform/Log.h"
#include "platform/ModalSession.h"
#include "platform/Presentation.h"
#include "platform/Translation.h"

namespace harbinel::parents {
namespace {

std::string slotKey(std::string_view prefix, int slot) {
  return std::string(prefix) + std::to_string(slot);
}

std::string text(const Gtk::Entry& field) {
  return field.get_text().raw();
}

}  // namespace

FrmParentController::FrmParentController(ParentServices services)
    : services_(std::move(services)) {}

FrmParentController::~FrmParentController() = default;

void FrmParentController::PanelDestroyer::operator()(Gtk::FileChooserDialog* panel) const {
  gtk_window_destroy(GTK_WINDOW(panel->gobj()));
}

Gtk::Window& FrmParentController::window() {
  if (!window_) load();
  return *window_;
}

void FrmParentController::load() {
  resource_ = std::make_unique<platform::WindowResource>(services_.resourceFolder, "FrmParent");
  window_.reset(&resource_->outlet<Gtk::Window>("window"));
  bindOutlets();
  showHistory();
  windowDidLoad();
  connectActions();
}

void FrmParentController::bindOutlets() {
  outlets_.txtfieldpassword = &resource_->outlet<Gtk::Entry>("txtfieldpassword");
  outlets_.txtfieldhomepage = &resource_->outlet<Gtk::Entry>("txtfieldhomepage");
  for (int slot = 0; slot < kSlots; ++slot) {
    outlets_.txtfieldbw[slot] = &resource_->outlet<Gtk::Entry>(slotKey("txtfieldbw", slot));
    outlets_.txtfieldfw[slot] = &resource_->outlet<Gtk::Entry>(slotKey("txtfieldfw", slot));
  }
  outlets_.btnCheck = &resource_->outlet<Gtk::CheckButton>("btnCheck");
  outlets_.btnWholeSites = &resource_->outlet<Gtk::CheckButton>("btnWholeSites");
  outlets_.btnOnlyAllowed = &resource_->outlet<Gtk::CheckButton>("btnOnlyAllowed");
  addExplanations();
  outlets_.btnClose = &resource_->outlet<Gtk::Button>("btnClose");
  outlets_.btnHistory = &resource_->outlet<Gtk::Button>("btnHistory");
  outlets_.lblAdministered = &resource_->outlet<Gtk::Label>("lblAdministered");
}

void FrmParentController::showHistory() {
  history_ = std::make_unique<HistoryView>(HistoryView::Services{
      .resourceFolder = services_.resourceFolder,
      .historyFolder = services_.historyFolder,
      .now = services_.clock.now(),
      .where = services_.where,
      .blockSite = [this](const std::string& host) { blockSite(host); },
  });
  resource_->outlet<Gtk::Box>("historyPage").append(history_->widget());
}

void FrmParentController::blockSite(const std::string& host) {
  for (Gtk::Entry* field : outlets_.txtfieldbw) {
    if (changeURL(text(*field)) == host) return;  // already blocked
  }
  for (Gtk::Entry* field : outlets_.txtfieldbw) {
    if (field->get_sensitive() && text(*field).empty()) {  // not one the administrator locked
      field->set_text(host);
      return;
    }
  }
  platform::runAlert(_("Blocked Sites Full"),
                     Glib::ustring::compose(_("All nine blocked-site fields are in use. Empty one "
                                              "under Settings, then block %1 again."),
                                            host)
                         .raw());
}

void FrmParentController::connectActions() {
  outlets_.btnCheck->signal_toggled().connect([this] { hideAddressBar(); });
  outlets_.btnWholeSites->signal_toggled().connect([this] {
    wholeSites_ = outlets_.btnWholeSites->get_active() ? "ON" : "OFF";
    explainEntries();
  });
  outlets_.btnOnlyAllowed->signal_toggled().connect([this] {
    onlyAllowed_ = outlets_.btnOnlyAllowed->get_active() ? "ON" : "OFF";
  });
  // One line at a time, under the field being typed in: nine would not fit on a small screen.
  for (int slot = 0; slot < kSlots; ++slot) {
    Gtk::Entry* field = outlets_.txtfieldbw[slot];
    field->signal_changed().connect([this] { explainEntries(); });
    auto focus = Gtk::EventControllerFocus::create();
    focus->signal_enter().connect([this, slot] {
      explainedSlot_ = slot;
      explainEntries();
    });
    focus->signal_leave().connect([this, slot] {
      if (explainedSlot_ == slot) explainedSlot_ = -1;
      explainEntries();
    });
    field->add_controller(focus);
  }
  outlets_.btnClose->signal_clicked().connect([this] { closeWindow(); });
  outlets_.btnHistory->signal_clicked().connect([this] { downloadHistory(); });
  // Closing without saving is not offered: the window manager's close does nothing.
  window_->signal_close_request().connect([] { return true; }, false);
}

void FrmParentController::windowDidLoad() {
  outlets_.txtfieldpassword->set_text(readPassword());
}

std::string FrmParentController::readPassword() {
  const storage::Settings settings = services_.settings.load();
  const std::string password = storage::valueOf(settings, "PD");
  outlets_.txtfieldpassword->set_text(password);
  outlets_.txtfieldhomepage->set_text(storage::valueOf(settings, "HP"));
  for (int slot = 0; slot < kSlots; ++slot) {
    outlets_.txtfieldbw[slot]->set_text(storage::valueOf(settings, slotKey("BW", slot)));
  }
  for (int slot = 0; slot < kSlots; ++slot) {
    outlets_.txtfieldfw[slot]->set_text(storage::valueOf(settings, slotKey("FW", slot)));
  }
  // The switch is set before the value is kept: setting it reports a toggle like a click
  // would, and the value read must be saved back unchanged until the parent clicks.
  const std::string addressBar = storage::valueOf(settings, "AB");
  outlets_.btnCheck->set_active(addressBar == "ON");
  checkstate_ = addressBar;
  const std::string wholeSites = storage::valueOf(settings, filter::kWholeSiteKey);
  outlets_.btnWholeSites->set_active(wholeSites == "ON");
  wholeSites_ = wholeSites;
  const std::string onlyAllowed = storage::valueOf(settings, filter::kOnlyAllowedKey);
  outlets_.btnOnlyAllowed->set_active(onlyAllowed == "ON");
  onlyAllowed_ = onlyAllowed;
  explainEntries();
  lockAdministeredFields(services_.settings.managed());
  return password;
}

// The lines go into the grid of the fields, each in a row of its own under its field.
void FrmParentController::addExplanations() {
  for (int slot = 0; slot < kSlots; ++slot) {
    Gtk::Entry& field = *outlets_.txtfieldbw[slot];
    auto* grid = dynamic_cast<Gtk::Grid*>(field.get_parent());
    auto* line = Gtk::make_managed<Gtk::Label>();
    line->set_name(slotKey("explainbw", slot));
    line->set_xalign(0);
    line->set_ellipsize(Pango::EllipsizeMode::END);
    line->set_max_width_chars(36);
    line->add_css_class("dim-label");
    line->set_visible(false);
    grid->insert_next_to(field, Gtk::PositionType::BOTTOM);
    grid->attach_next_to(*line, field, Gtk::PositionType::BOTTOM);
    outlets_.explainbw[slot] = line;
  }
}

// What each entry will do once saved, under the rule the switch shows; shown under the field
// being typed in, and never for an empty one.
void FrmParentController::explainEntries() {
  const bool wholeSites = outlets_.btnWholeSites->get_active();
  for (int slot = 0; slot < kSlots; ++slot) {
    const std::string line =
        filter::explainEntry(changeURL(text(*outlets_.txtfieldbw[slot])), wholeSites);
    outlets_.explainbw[slot]->set_text(line);
    outlets_.explainbw[slot]->set_visible(slot == explainedSlot_ && !line.empty());
  }
}

Gtk::Widget* FrmParentController::fieldOf(std::string_view key) const {
  if (key == "PD") return outlets_.txtfieldpassword;
  if (key == "AB") return outlets_.btnCheck;
  if (key == filter::kWholeSiteKey) return outlets_.btnWholeSites;
  if (key == filter::kOnlyAllowedKey) return outlets_.btnOnlyAllowed;
  for (int slot = 0; slot < kSlots; ++slot) {
    if (key == slotKey("BW", slot)) return outlets_.txtfieldbw[slot];
    if (key == slotKey("FW", slot)) return outlets_.txtfieldfw[slot];
  }
  return nullptr;
}

// The values shown are already the administrator's (the load puts them over the parent's);
// here their fields stop taking changes and say why. A save leaves those keys alone anyway.
void FrmParentController::lockAdministeredFields(const storage::ManagedSettings& managed) {
  const std::string note = _("Set by your administrator");
  bool anyLocked = false;
  for (const auto& [key, value] : managed.values) {
    Gtk::Widget* field = fieldOf(key);
    if (field == nullptr) continue;
    field->set_sensitive(false);
    field->set_tooltip_text(note);
    if (auto* entry = dynamic_cast<Gtk::Entry*>(field)) {
      entry->set_icon_from_icon_name("changes-prevent-symbolic",
                                     Gtk::Entry::IconPosition::SECONDARY);
      entry->set_icon_tooltip_text(note, Gtk::Entry::IconPosition::SECONDARY);
    }
    anyLocked = true;
  }
  // TRANSLATORS: %1 names the administrator's settings file and what is wrong with it.
  const std::string said =
      !managed.problem.empty()
          ? Glib::ustring::compose(_("%1 Its settings are not in force: tell your administrator."),
                                   managed.problem).raw()
      : anyLocked ? Glib::ustring::compose(_("Fields with a lock: %1."), note).raw()
                  : std::string();
  outlets_.lblAdministered->set_text(said);
  outlets_.lblAdministered->set_visible(!said.empty());
}

void FrmParentController::hideAddressBar() {
  checkstate_ = outlets_.btnCheck->get_active() ? "ON" : "OFF";
}

// The session ends first and the delegate is told last, so the main window re-reads the
// address-bar switch only after it has been saved.
void FrmParentController::closeWindow() {
  if (!window_->get_visible()) return;  // a late click once the window has closed
  platform::stopModal(*window_);
  const storage::SaveResult saved = writeToPlist();
  if (!saved.ok()) reportUnsaved(saved);
  platform::closeWindow(*window_);
  if (delegate_ != nullptr) delegate_->showhideAddressBar();
}

storage::SaveResult FrmParentController::writeToPlist() {
  std::vector<std::pair<std::string, std::string>> entries;
  entries.emplace_back("PD", text(*outlets_.txtfieldpassword));
  for (int slot = 0; slot < kSlots; ++slot) {
    entries.emplace_back(slotKey("BW", slot), changeURL(text(*outlets_.txtfieldbw[slot])));
  }
  for (int slot = 0; slot < kSlots; ++slot) {
    entries.emplace_back(slotKey("FW", slot), text(*outlets_.txtfieldfw[slot]));
  }
  entries.emplace_back("AB", checkstate_);
  entries.emplace_back("HP", text(*outlets_.txtfieldhomepage));
  // Absent stays absent (the exact rule) until the parent clicks the switch.
  if (!wholeSites_.empty()) entries.emplace_back(filter::kWholeSiteKey, wholeSites_);
  if (!onlyAllowed_.empty()) entries.emplace_back(filter::kOnlyAllowedKey, onlyAllowed_);
  storage::SaveResult saved = services_.settings.save(entries);
  if (saved.ok() && !saved.changedKeys.empty()) logSave(saved.changedKeys);
  return saved;
}

// Names only: the journal is read by others, and the password's value is the parent's.
void FrmParentController::logSave(const std::vector<std::string>& changedKeys) {
  std::string keys;
  for (const std::string& key : changedKeys) keys += (keys.empty() ? "" : " ") + key;
  // TRANSLATORS: %1 names the settings that changed, e.g. "BW0 HP".
  platform::Event event("settings-saved",
                        Glib::ustring::compose(_("The parent saved new settings: %1."), keys).raw());
  event.keys = keys;
  platform::logEvent(event);
}

std::string FrmParentController::changeURL(std::string_view address) const {
  return filter::changeURL(address);
}

// The window closes whatever the outcome (it has no other way out), so the parent must hear
// here that the changes are gone.
void FrmParentController::reportUnsaved(const storage::SaveResult& result) {
  reportUnsavedSettings(result);
}

void reportUnsavedSettings(const storage::SaveResult& result) {
  // TRANSLATORS: %1 is the reason from the system, in its own words.
  platform::runAlert(
      _("Settings Not Saved"),
      Glib::ustring::compose(_("Your changes to the password, blocked sites, "
                               "favourite sites and address bar were not saved; the "
                               "previous settings are still in force.\n\nDetails: %1"),
                             result.detail)
          .raw());
}

// The report is assembled while the panel is already up: the parent cannot answer it before
// this returns, so the text is complete whenever the answer comes.
void FrmParentController::downloadHistory() {
  if (!window_->get_visible()) return;  // a late click once the window has closed
  // Made by GTK itself: GTK 4.8 complains when a file chooser dialog of a gtkmm-derived type
  // is destroyed.
  GtkWidget* panel = gtk_file_chooser_dialog_new(
      _("Save"), window_->gobj(), GTK_FILE_CHOOSER_ACTION_SAVE, _("_Cancel"), GTK_RESPONSE_CANCEL,
      _("_Save"), GTK_RESPONSE_ACCEPT, nullptr);
  savePanel_.reset(Glib::wrap(GTK_FILE_CHOOSER_DIALOG(panel)));
  savePanel_->set_modal(true);
  savePanel_->set_default_response(Gtk::ResponseType::ACCEPT);
  savePanel_->signal_response().connect([this](int response) { savePanelDidEnd(response); });
  savePanel_->present();
  platform::centreIfNothingPlacesWindows(*savePanel_);
  contentstr_ = assembleReport(services_.historyFolder, services_.clock.now(), services_.where);
}

// The panel has already asked before replacing an existing file, so an agreed replace
// replaces.
void FrmParentController::savePanelDidEnd(int response) {
  savePanel_->set_visible(false);
  // Without a window manager nobody else gives the keyboard back to this window.
  window_->present();
  if (response != Gtk::ResponseType::ACCEPT) return;
  const Glib::RefPtr<Gio::File> chosen = savePanel_->get_file();
  if (!chosen) return;
  if (chosen->get_path().empty()) {
    // TRANSLATORS: %1 is the address the parent chose.
    platform::runAlert(_("History Not Saved"),
                       Glib::ustring::compose(_("The history report can only be saved in a folder "
                                                "on this computer, not at %1."),
                                              chosen->get_uri())
                           .raw());
    return;
  }
  const std::filesystem::path path = reportPath(chosen->get_path());
  const WriteResult written = writeReport(path, contentstr_);
  if (!written.ok) {
    // TRANSLATORS: %1 is the file, %2 the reason from the system, in its own words.
    platform::runAlert(
        _("History Not Saved"),
        Glib::ustring::compose(_("The history report could not be saved as %1 (%2)."),
                               path.string(), written.detail)
            .raw());
  }
}

}  // namespace harbinel::parents

#include "parents/FrmPassword.h"

#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/label.h>

#include <glibmm/main.h>

#include <cstdlib>
#include <utility>

#include "parents/NewPassword.h"
#include "parents/PasswordPacing.h"

#include "platform/Alert.h"
#include "platform/Log.h"
#include "platform/ModalSession.h"
#include "platform/Translation.h"

namespace harbinel::parents {

FrmPassword::FrmPassword(ParentServices services) : services_(std::move(services)) {}

FrmPassword::~FrmPassword() {
  countdown_.disconnect();
}

Gtk::Window& FrmPassword::window() {
  if (!window_) load();
  return *window_;
}

void FrmPassword::load() {
  resource_ = std::make_unique<platform::WindowResource>(services_.resourceFolder, "FrmPassword");
  window_.reset(&resource_->outlet<Gtk::Window>("window"));
  outlets_.txtfieldpassword = &resource_->outlet<Gtk::PasswordEntry>("txtfieldpassword");
  outlets_.btnOk = &resource_->outlet<Gtk::Button>("btnOk");
  outlets_.btnCancel = &resource_->outlet<Gtk::Button>("btnCancel");
  outlets_.lblWait = &resource_->outlet<Gtk::Label>("lblWait");
  connectActions();
  windowDidLoad();
  showWait();
}

void FrmPassword::connectActions() {
  outlets_.btnOk->signal_clicked().connect([this] { btnOkClick(); });
  outlets_.btnCancel->signal_clicked().connect([this] { btnCancelClick(); });
  // Only Enter ends editing here. The buttons take the focus when clicked, so a check on the
  // field losing the focus would run once more before OK's own check, and before Cancel.
  // (gtkmm 4.8 does not wrap this entry's "activate" signal.)
  g_signal_connect_swapped(outlets_.txtfieldpassword->gobj(), "activate",
                           G_CALLBACK(+[](FrmPassword* self) { self->controlTextDidEndEditing(); }),
                           this);
  auto keys = Gtk::EventControllerKey::create();
  keys->signal_key_pressed().connect(
      [this, &controller = *keys](guint, guint, Gdk::ModifierType) { return keyDown(controller); },
      false);
  window_->add_controller(keys);
}

// A key press that the field and the buttons did not take ends here. This controller is the
// first the window asks, so the window's own keys (Tab and the like) are handed to it first.
bool FrmPassword::keyDown(Gtk::EventControllerKey& keys) {
  if (forwardingKey_) return false;
  forwardingKey_ = true;
  keys.forward(*window_);
  forwardingKey_ = false;
  return true;
}

// The name is shown inside the window too: a kiosk desktop may draw no title bars.
void FrmPassword::windowDidLoad() {
  const char* shownName = _(windowname_.c_str());
  window_->set_title(shownName);
  resource_->outlet<Gtk::Label>("heading").set_text(shownName);
  if (Gtk::Window* opener = platform::modalWindow()) window_->set_transient_for(*opener);
}

void FrmPassword::btnOkClick() {
  passwordCorrect();
}

void FrmPassword::btnCancelClick() {
  platform::stopModal(*window_);
  platform::closeWindow(*window_);
}

void FrmPassword::controlTextDidEndEditing() {
  passwordCorrect();
}

std::string FrmPassword::readPassword() const {
  return services_.settings.value("PD");
}

void FrmPassword::passwordCorrect() {
  if (!window_->get_visible()) return;  // a late click of a prompt already closed
  if (mustWait()) return;               // Enter while OK is disabled
  const PasswordCheck check =
      checkPassword(outlets_.txtfieldpassword->get_text().raw(), readPassword());
  if (check == PasswordCheck::Empty) {
    platform::runAlert(_("Validation Error"), _("Please Enter a Password"));
    return;
  }
  if (check == PasswordCheck::Wrong) {
    platform::logEvent(
        {"wrong-password", "A wrong parent password was typed at " + windowname_ + "."});
    if (services_.pacing != nullptr) services_.pacing->wrongPassword();
    platform::runAlert(_("Validation Error"), _("Invalid Password"));
    showWait();
    return;
  }
  if (services_.pacing != nullptr) services_.pacing->rightPassword();
  platform::stopModal(*window_);
  platform::closeWindow(*window_);
  if (windowname_ == kParentsMenu) {
    openParentsMenu();
  } else {
    quit();
  }
}

bool FrmPassword::mustWait() const {
  return services_.pacing != nullptr && services_.pacing->waitLeft().count() > 0;
}

// While a wait is due, OK is disabled and the seconds left count down; a prompt opened again
// during the wait shows the rest of it.
void FrmPassword::showWait() {
  const long long left = services_.pacing != nullptr ? services_.pacing->waitLeft().count() : 0;
  outlets_.btnOk->set_sensitive(left == 0);
  outlets_.lblWait->set_visible(left > 0);
  if (left == 0) {
    countdown_.disconnect();
    return;
  }
  // TRANSLATORS: %1 is a number of seconds.
  outlets_.lblWait->set_text(Glib::ustring::compose(
      g_dngettext(GETTEXT_PACKAGE, "Too many wrong passwords. You can try again in %1 second.",
                  "Too many wrong passwords. You can try again in %1 seconds.",
                  static_cast<unsigned long>(left)),
      left));
  if (!countdown_.connected()) {
    countdown_ = Glib::signal_timeout().connect(
        [this] {
          showWait();
          return countdown_.connected();
        },
        250);
  }
}

// Runs while this prompt's session is still winding down: the parents' window gets its own
// session, and this call returns once that window has closed.
void FrmPassword::openParentsMenu() {
  frmparentcontroller_ = std::make_unique<FrmParentController>(services_);
  frmparentcontroller_->setDelegate(this);
  Gtk::Window& parents = frmparentcontroller_->window();
  if (Gtk::Window* opener = window_->get_transient_for()) parents.set_transient_for(*opener);
  platform::runModalForWindow(parents);
}

// The kiosk ends here and now: no teardown of the windows, the desktop lock goes with the
// process.
void FrmPassword::quit() {
  std::_Exit(EXIT_SUCCESS);
}

void FrmPassword::showhideAddressBar() {
  if (delegate_ != nullptr) delegate_->showhideAddressBar();
}

}  // namespace harbinel::parents

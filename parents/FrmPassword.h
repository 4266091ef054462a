#pragma once

#include <gtkmm/button.h>
#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/label.h>
#include <gtkmm/passwordentry.h>
#include <gtkmm/window.h>

#include <memory>
#include <string>

#include "browser/Protocols.h"
#include "parents/FrmParentController.h"
#include "parents/Protocols.h"
#include "platform/WindowResource.h"
#include "platform/Translation.h"

namespace harbinel::parents {

// The window name that makes the prompt guard the parents' settings; any other guards quitting.
inline constexpr std::string_view kParentsMenu = N_("Open Parents Menu");
inline constexpr std::string_view kCloseApplication = N_("Close Application");

// The password prompt that guards the parents' settings window and quitting. It compares the
// entry with the stored password, read afresh at every attempt, and passes the parents'
// window's "settings saved" on to its delegate.
class FrmPassword final : public myprotocolparent {
 public:
  explicit FrmPassword(ParentServices services);
  ~FrmPassword();
  FrmPassword(const FrmPassword&) = delete;
  FrmPassword& operator=(const FrmPassword&) = delete;

  // Set by the opener before the window is first asked for.
  void setWindowname(std::string name) { windowname_ = std::move(name); }
  const std::string& windowname() const { return windowname_; }
  void setDelegate(browser::myprotocolpassword* delegate) { delegate_ = delegate; }
  browser::myprotocolpassword* delegate() const { return delegate_; }

  // The prompt's window; the first call loads the window resource "FrmPassword" and takes the
  // title from the window name.
  Gtk::Window& window();

  void btnOkClick();
  void btnCancelClick();
  // Enter in the password field.
  void controlTextDidEndEditing();
  // Consumes a key press that reached the prompt itself.
  bool keyDown(Gtk::EventControllerKey& keys);
  std::string readPassword() const;
  void passwordCorrect();
  void showhideAddressBar() override;

  // The parents' settings window opened after the last correct password, if any.
  FrmParentController* frmparentcontroller() { return frmparentcontroller_.get(); }

  struct Outlets {
    Gtk::PasswordEntry* txtfieldpassword = nullptr;
    Gtk::Button* btnOk = nullptr;
    Gtk::Button* btnCancel = nullptr;
    Gtk::Label* lblWait = nullptr;  // the countdown after too many wrong passwords
  };
  const Outlets& outlets() const { return outlets_; }

 private:
  void load();
  void connectActions();
  void windowDidLoad();
  void openParentsMenu();
  bool mustWait() const;
  void showWait();
  [[noreturn]] void quit();

  ParentServices services_;
  std::string windowname_;
  browser::myprotocolpassword* delegate_ = nullptr;
  Outlets outlets_;
  std::unique_ptr<platform::WindowResource> resource_;
  std::unique_ptr<Gtk::Window> window_;
  std::unique_ptr<FrmParentController> frmparentcontroller_;
  bool forwardingKey_ = false;
  sigc::connection countdown_;
};

}  // namespace harbinel::parents

#pragma once

#include <gdkmm/toplevel.h>
#include <sigc++/connection.h>
#include <sigc++/trackable.h>

#include <stdexcept>

namespace Gtk {
class Window;
}

namespace harbinel::platform {

// How the application presents itself on the desktop while it runs: flags that combine into
// one value, with the platform's rules on which combinations make sense.
namespace presentation {
inline constexpr unsigned AutoHideDock = 1;
inline constexpr unsigned HideDock = 2;
inline constexpr unsigned AutoHideMenuBar = 4;
inline constexpr unsigned HideMenuBar = 8;
inline constexpr unsigned DisableAppleMenu = 16;
inline constexpr unsigned DisableProcessSwitching = 32;
inline constexpr unsigned DisableForceQuit = 64;
inline constexpr unsigned DisableSessionTermination = 128;
inline constexpr unsigned DisableHideApplication = 256;
inline constexpr unsigned DisableMenuBarTransparency = 512;
inline constexpr unsigned FullScreen = 1024;
inline constexpr unsigned AutoHideToolbar = 2048;
inline constexpr unsigned DisableCursorLocationAssistance = 4096;
inline constexpr unsigned Known = 8191;
}  // namespace presentation

class PresentationOptionsError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Throws PresentationOptionsError, naming the broken rule, when `options` is not a valid
// combination.
void validatePresentationOptions(unsigned options);

// The presentation of one window that stands for the whole application (the kiosk window).
//
// On this desktop, hiding the dock and the menu bar means the window covers the primary monitor
// in full screen (and is sized to it, since without a window manager fullscreen is not
// honoured); disabling process switching means the system's keyboard shortcuts are inhibited
// as soon as the window has the focus, and on X11 the application holds the keyboard (no key
// reaches a window manager) and the window comes straight back when a window manager minimises
// it or takes it out of full screen; disabling force quit means close requests are refused.
class Presentation : public sigc::trackable {
 public:
  explicit Presentation(Gtk::Window& window);
  ~Presentation();
  Presentation(const Presentation&) = delete;
  Presentation& operator=(const Presentation&) = delete;

  // Validates and applies `options`; on PresentationOptionsError nothing changes.
  void setPresentationOptions(unsigned options);
  unsigned presentationOptions() const { return options_; }

 private:
  void coverPrimaryMonitor();
  void inhibitShortcutsWhenFocused();
  void refuseCloseRequests();
  void holdKeyboardAndScreen();
  void keepOnScreen(const Glib::RefPtr<Gdk::Toplevel>& toplevel);
  void grabKeyboard();

  Gtk::Window& window_;
  sigc::connection regrab_;
  unsigned options_ = 0;
  bool shortcutsInhibited_ = false;
  bool fullScreenGranted_ = false;
};

// The geometry of the primary monitor (x, y, width, height), or an empty rectangle when the
// display has none.
struct MonitorFrame {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
MonitorFrame primaryMonitorFrame();

// Moves a shown window to the middle of the primary monitor where no window manager places
// windows (the kiosk session runs none, and a window would otherwise sit in the top left
// corner of the screen). Under a window manager it does nothing: placing is its job.
void centreIfNothingPlacesWindows(Gtk::Window& window);

}  // namespace harbinel::platform

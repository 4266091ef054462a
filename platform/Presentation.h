#pragma once

#include <gdkmm/toplevel.h>
#include <sigc++/connection.h>
#include <sigc++/trackable.h>

#include "platform/PresentationOptions.h"

namespace Gtk {
class Window;
}

namespace harbinel::platform {

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

#include "platform/Presentation.h"

#include <gtkmm/window.h>

#include <gdk/x11/gdkx.h>
#include <gdkmm/display.h>
#include <gdkmm/monitor.h>
#include <gdkmm/toplevel.h>
#include <glibmm/main.h>
#include <sigc++/adaptors/track_obj.h>

#include <algorithm>
#include <memory>
#include <string_view>

namespace harbinel::platform {
namespace p = presentation;

Presentation::Presentation(Gtk::Window& window) : window_(window) {}

Presentation::~Presentation() {
  regrab_.disconnect();
}

void Presentation::setPresentationOptions(unsigned options) {
  validatePresentationOptions(options);
  options_ = options;
  if (options & (p::HideDock | p::HideMenuBar)) coverPrimaryMonitor();
  if (options & p::DisableProcessSwitching) {
    inhibitShortcutsWhenFocused();
    holdKeyboardAndScreen();
  }
  if (options & p::DisableForceQuit) refuseCloseRequests();
}

namespace {

Glib::RefPtr<Gdk::Monitor> primaryMonitor() {
  auto display = Gdk::Display::get_default();
  if (!display) return {};
#ifdef GDK_WINDOWING_X11
  if (GDK_IS_X11_DISPLAY(display->gobj())) {
    if (GdkMonitor* primary = gdk_x11_display_get_primary_monitor(display->gobj())) {
      return Glib::wrap(primary, true);
    }
  }
#endif
  auto monitors = display->get_monitors();
  if (monitors->get_n_items() == 0) return {};
  return std::dynamic_pointer_cast<Gdk::Monitor>(monitors->get_object(0));
}

#ifdef GDK_WINDOWING_X11
bool windowManagerRuns(GdkDisplay* display) {
  const char* name = gdk_x11_screen_get_window_manager_name(gdk_x11_display_get_screen(display));
  return name != nullptr && std::string_view(name) != "unknown";
}

// A window meant to cover the monitor (the kiosk window) is left where it is.
void moveToMonitorCentre(GtkWindow* window, GdkSurface* surface) {
  GdkDisplay* display = gdk_surface_get_display(surface);
  if (!gdk_surface_get_mapped(surface) || windowManagerRuns(display)) return;
  const MonitorFrame screen = primaryMonitorFrame();
  int wantedWidth = 0, wantedHeight = 0;
  gtk_window_get_default_size(window, &wantedWidth, &wantedHeight);
  if (wantedWidth >= screen.width && wantedHeight >= screen.height) return;
  const int x = screen.x + std::max(0, (screen.width - gdk_surface_get_width(surface)) / 2);
  const int y = screen.y + std::max(0, (screen.height - gdk_surface_get_height(surface)) / 2);
  const int scale = gdk_surface_get_scale_factor(surface);
  XMoveWindow(gdk_x11_display_get_xdisplay(display), gdk_x11_surface_get_xid(surface), x * scale,
              y * scale);
}
#endif

}  // namespace

MonitorFrame primaryMonitorFrame() {
  auto monitor = primaryMonitor();
  if (!monitor) return {};
  Gdk::Rectangle area;
  monitor->get_geometry(area);
  return {area.get_x(), area.get_y(), area.get_width(), area.get_height()};
}

// The window's size is only known once its surface has been laid out, and it may change
// (an alert fitting its text): the window is placed at each layout of its surface, which goes
// before the window does.
void centreIfNothingPlacesWindows(Gtk::Window& window) {
#ifdef GDK_WINDOWING_X11
  auto surface = window.get_surface();
  if (!surface || !GDK_IS_X11_SURFACE(surface->gobj())) return;
  static const char* const kWatched = "harbinel-centred";
  GdkSurface* raw = surface->gobj();
  if (g_object_get_data(G_OBJECT(raw), kWatched) == nullptr) {
    g_object_set_data(G_OBJECT(raw), kWatched, GINT_TO_POINTER(1));
    g_signal_connect(raw, "layout",
                     G_CALLBACK(+[](GdkSurface* laidOut, int, int, gpointer toplevel) {
                       moveToMonitorCentre(GTK_WINDOW(toplevel), laidOut);
                     }),
                     window.gobj());
  }
  moveToMonitorCentre(window.gobj(), raw);
#else
  (void)window;
#endif
}

void Presentation::coverPrimaryMonitor() {
  auto monitor = primaryMonitor();
  if (!monitor) return;
  Gdk::Rectangle area;
  monitor->get_geometry(area);
  // Without a window manager the full-screen request is not honoured: size the window too.
  window_.set_default_size(area.get_width(), area.get_height());
  window_.fullscreen_on_monitor(monitor);
}

// The system's shortcuts can only be inhibited for a focused surface; the surface exists once
// the window is realized.
void Presentation::inhibitShortcutsWhenFocused() {
  const auto watch = [this] {
    auto toplevel = std::dynamic_pointer_cast<Gdk::Toplevel>(window_.get_surface());
    if (!toplevel) return;
    const auto inhibitIfFocused = [this, weak = std::weak_ptr<Gdk::Toplevel>(toplevel)] {
      auto surface = weak.lock();
      if (!surface || shortcutsInhibited_) return;
      if ((surface->get_state() & Gdk::Toplevel::State::FOCUSED) == Gdk::Toplevel::State::FOCUSED) {
        surface->inhibit_system_shortcuts({});
        shortcutsInhibited_ = true;
      }
    };
    toplevel->property_state().signal_changed().connect(sigc::track_obj(inhibitIfFocused, *this));
    inhibitIfFocused();
  };
  if (window_.get_realized()) {
    watch();
  } else {
    window_.signal_realize().connect(sigc::track_obj(watch, *this));
  }
}

// While the kiosk runs, every key goes to the application's own windows: an active keyboard
// grab takes precedence over the window manager's key bindings (switching desktops, showing the
// desktop, its window menu, switching windows). Keys still reach whichever of the
// application's windows has the focus (the grab reports them as usual). GTK drops the grab
// whenever one of its own pop-ups (a drop-down list) closes, so it is taken again every half
// second, as well as at once when the window is shown or changes state.
void Presentation::holdKeyboardAndScreen() {
  const auto watch = [this] {
    auto toplevel = std::dynamic_pointer_cast<Gdk::Toplevel>(window_.get_surface());
    if (!toplevel) return;
    toplevel->property_state().signal_changed().connect(
        sigc::track_obj([this, toplevel] { keepOnScreen(toplevel); }, *this));
    regrab_ = Glib::signal_timeout().connect(
        [this] {
          grabKeyboard();
          return true;
        },
        500);
  };
  window_.signal_map().connect(sigc::track_obj([this] { grabKeyboard(); }, *this));
  if (window_.get_realized()) {
    watch();
  } else {
    window_.signal_realize().connect(sigc::track_obj(watch, *this));
  }
}

void Presentation::keepOnScreen(const Glib::RefPtr<Gdk::Toplevel>& toplevel) {
  const auto state = toplevel->get_state();
  const auto has = [state](Gdk::Toplevel::State flag) { return (state & flag) == flag; };
  if (has(Gdk::Toplevel::State::MINIMIZED)) window_.present();
  // Only a window manager grants full screen, and only one takes it away again.
  if (has(Gdk::Toplevel::State::FULLSCREEN)) {
    fullScreenGranted_ = true;
  } else if (fullScreenGranted_ && window_.get_mapped()) {
    fullScreenGranted_ = false;
    coverPrimaryMonitor();
  }
  grabKeyboard();
}

void Presentation::grabKeyboard() {
#ifdef GDK_WINDOWING_X11
  auto surface = window_.get_surface();
  if (!window_.get_mapped() || !surface || !GDK_IS_X11_SURFACE(surface->gobj())) return;
  Display* display = gdk_x11_display_get_xdisplay(surface->get_display()->gobj());
  XGrabKeyboard(display, gdk_x11_surface_get_xid(surface->gobj()), True, GrabModeAsync,
                GrabModeAsync, CurrentTime);
#endif
}

// Runs before any other close handler (a modal session's included), so no close gets through.
void Presentation::refuseCloseRequests() {
  window_.signal_close_request().connect([] { return true; }, false);
}

}  // namespace harbinel::platform

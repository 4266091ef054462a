#include "platform/Presentation.h"

#include <gtkmm/window.h>

#include <gdk/x11/gdkx.h>
#include <gdkmm/display.h>
#include <gdkmm/monitor.h>
#include <gdkmm/toplevel.h>
#include <sigc++/adaptors/track_obj.h>
#include <memory>

namespace harbinel::platform {
namespace p = presentation;

void validatePresentationOptions(unsigned options) {
  const auto has = [options](unsigned flags) { return (options & flags) != 0; };
  const auto reject = [](const char* why) { throw PresentationOptionsError(why); };
  if (has(~p::Known)) reject("unknown presentation option");
  if (has(p::AutoHideDock) && has(p::HideDock))
    reject("auto-hide dock and hide dock exclude each other");
  if (has(p::AutoHideMenuBar) && has(p::HideMenuBar)) {
    reject("auto-hide menu bar and hide menu bar exclude each other");
  }
  if (has(p::HideMenuBar) && !has(p::HideDock)) reject("hiding the menu bar needs the dock hidden");
  const bool dockOut = has(p::HideDock | p::AutoHideDock);
  if (has(p::AutoHideMenuBar) && !dockOut) {
    reject("auto-hiding the menu bar needs the dock hidden or auto-hidden");
  }
  if (has(p::DisableProcessSwitching | p::DisableForceQuit | p::DisableSessionTermination |
          p::DisableMenuBarTransparency) &&
      !dockOut) {
    reject("disabling switching, force quit, session end or transparency needs the dock hidden");
  }
  if (has(p::AutoHideToolbar) && !(has(p::FullScreen) && has(p::AutoHideMenuBar))) {
    reject("auto-hiding the toolbar needs full screen and an auto-hidden menu bar");
  }
}

Presentation::Presentation(Gtk::Window& window) : window_(window) {}

void Presentation::setPresentationOptions(unsigned options) {
  validatePresentationOptions(options);
  options_ = options;
  if (options & (p::HideDock | p::HideMenuBar)) coverPrimaryMonitor();
  if (options & p::DisableProcessSwitching) inhibitShortcutsWhenFocused();
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

}  // namespace

MonitorFrame primaryMonitorFrame() {
  auto monitor = primaryMonitor();
  if (!monitor) return {};
  Gdk::Rectangle area;
  monitor->get_geometry(area);
  return {area.get_x(), area.get_y(), area.get_width(), area.get_height()};
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

// Runs before any other close handler (a modal session's included), so no close gets through.
void Presentation::refuseCloseRequests() {
  window_.signal_close_request().connect([] { return true; }, false);
}

}  // namespace harbinel::platform

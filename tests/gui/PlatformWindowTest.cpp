#include <gdkmm/display.h>
#include <gtest/gtest.h>
#include <gtkmm/entry.h>
#include <gtkmm/window.h>

#include <glibmm/main.h>

#include "platform/ModalSession.h"
#include "platform/Presentation.h"
#include "tests/gui/Harness.h"

// Xlib last: its macros clash with the C++ headers above.
#include <gdk/x11/gdkx.h>

namespace harbinel::test {
namespace {

// Where nothing places windows (the kiosk session has no window manager), a window sits in
// the middle of the screen, not in its top left corner.
bool inTheMiddleOfTheScreen(Gtk::Window& window) {
  const platform::MonitorFrame screen = platform::primaryMonitorFrame();
  Display* display = gdk_x11_display_get_xdisplay(Gdk::Display::get_default()->gobj());
  XSync(display, False);
  int x = -1, y = -1;
  Window child = 0;
  XTranslateCoordinates(display, gdk_x11_surface_get_xid(window.get_surface()->gobj()),
                        DefaultRootWindow(display), 0, 0, &x, &y, &child);
  return x == screen.x + (screen.width - window.get_width()) / 2 &&
         y == screen.y + (screen.height - window.get_height()) / 2;
}

// Only the innermost session's window takes input; a close of a window below it is ignored, a
// window-manager close ends it. The window below then gets its focused field back, so that a
// password prompt below an alert takes the next try at once.
TEST(ModalSession, OnlyTheInnermostWindowTakesInputAndTheOneBelowGetsItsFocusBack) {
  Gtk::Window below, above, bystander, alreadyOff;
  Gtk::Entry field;
  below.set_child(field);
  below.set_default_size(300, 200);
  bystander.present();
  alreadyOff.set_sensitive(false);
  alreadyOff.present();
  Glib::signal_idle().connect_once([&] {
    EXPECT_TRUE(waitUntil([&] { return inTheMiddleOfTheScreen(below); }, 5s));
    field.grab_focus();
    Glib::signal_idle().connect_once([&] {
      EXPECT_EQ(platform::modalDepth(), 2);
      EXPECT_EQ(platform::modalWindow(), &above);
      EXPECT_FALSE(below.get_sensitive() || bystander.get_sensitive());
      below.close();
      above.close();
    });
    platform::runModalForWindow(above);
    EXPECT_FALSE(above.get_visible());
    EXPECT_TRUE(below.get_visible() && below.get_sensitive());
    const Gtk::Widget* focus = below.get_focus();  // (it lies in the text widget inside)
    EXPECT_TRUE(focus != nullptr && focus->is_ancestor(field));
    platform::stopModal(*platform::modalWindow());
  });
  platform::runModalForWindow(below);
  EXPECT_EQ(platform::modalDepth(), 0);
  EXPECT_TRUE(bystander.get_sensitive());
  EXPECT_FALSE(alreadyOff.get_sensitive()) << "a window off before stays off";
}

// An alert shows its texts literally and is never taller than the screen; a window manager's
// close counts as OK.
TEST(Alert, ShowsItsTextsLiterallyNeverTallerThanTheScreenAndACloseCountsAsOK) {
  int height = 0;
  AlertRecorder alerts([&](platform::ShownAlert& alert) {
    auto& window = dynamic_cast<Gtk::Window&>(alert);
    waitUntil([&] { return window.get_height() > 0; });
    height = window.get_height();
    platform::modalWindow()->close();
    return false;
  });
  std::string text = "<b>a&amp;b</b> %@ is Blocked";
  for (int i = 0; i < 600; ++i) text += " a long text";
  platform::runAlert("URL Block", text);
  EXPECT_EQ(alerts.alerts, (std::vector<AlertRecorder::Shown>{{"URL Block", text}}));
  EXPECT_GT(height, 0);
  EXPECT_LT(height, platform::primaryMonitorFrame().height) << "the screen clamps a taller one";
  EXPECT_EQ(platform::modalDepth(), 0);
}

TEST(Presentation, CombinationsFollowThePlatformsRulesAndARejectedSetChangesNothing) {
  namespace p = platform::presentation;
  const std::pair<unsigned, bool> cases[] = {
      {0, true},
      {106, true},
      {p::AutoHideDock | p::AutoHideMenuBar | p::DisableProcessSwitching, true},
      {p::HideMenuBar, false},
      {p::AutoHideMenuBar, false},
      {p::DisableProcessSwitching, false},
      {p::DisableForceQuit | p::HideMenuBar, false},
      {p::HideDock | p::AutoHideDock, false},
      {p::HideDock | p::HideMenuBar | p::AutoHideMenuBar, false},
      {p::FullScreen | p::AutoHideToolbar, false},
      {p::FullScreen | p::AutoHideToolbar | p::AutoHideMenuBar | p::AutoHideDock, true},
      {106 | (1u << 13), false}};
  for (const auto& [options, valid] : cases) {
    Gtk::Window window;
    platform::Presentation presentation(window);
    if (valid) {
      EXPECT_NO_THROW(presentation.setPresentationOptions(options)) << options;
    } else {
      EXPECT_THROW(presentation.setPresentationOptions(options), platform::PresentationOptionsError)
          << options;
    }
    EXPECT_EQ(presentation.presentationOptions(), valid ? options : 0u) << options;
  }
}

}  // namespace
}  // namespace harbinel::test

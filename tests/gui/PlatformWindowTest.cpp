#include <gdkmm/display.h>
#include <gtest/gtest.h>
#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/window.h>

#include <glibmm/main.h>
#include <string>
#include <vector>

#include "platform/Alert.h"
#include "platform/ModalSession.h"
#include "platform/Presentation.h"
#include "tests/gui/GuiTestSupport.h"

// Xlib last: its macros clash with the C++ headers above.
#include <gdk/x11/gdkx.h>

namespace harbinel::test {
namespace {

TEST(ModalSession, NestsThreeDeepAndOnlyTheInnermostWindowTakesInput) {
  Gtk::Window bottom, middle, top, bystander, alreadyOff;
  bystander.present();
  alreadyOff.set_sensitive(false);
  alreadyOff.present();

  std::vector<std::string> seen;
  Glib::signal_idle().connect_once([&] {
    EXPECT_EQ(platform::modalDepth(), 1);
    EXPECT_FALSE(bystander.get_sensitive());
    Glib::signal_idle().connect_once([&] {
      Glib::signal_idle().connect_once([&] {
        EXPECT_EQ(platform::modalDepth(), 3);
        EXPECT_EQ(platform::modalWindow(), &top);
        EXPECT_TRUE(top.get_sensitive());
        EXPECT_FALSE(middle.get_sensitive());
        EXPECT_FALSE(bottom.get_sensitive());
        // A close of a window below the innermost session is ignored.
        bottom.close();
        seen.push_back("top");
        platform::stopModal(*platform::modalWindow());
      });
      platform::runModalForWindow(top);
      EXPECT_TRUE(middle.get_sensitive());
      EXPECT_FALSE(bottom.get_sensitive());
      EXPECT_TRUE(bottom.get_visible());
      seen.push_back("middle");
      platform::stopModal(*platform::modalWindow());
    });
    platform::runModalForWindow(middle);
    seen.push_back("bottom");
    // A window-manager close ends the innermost session and hides its window.
    bottom.close();
  });
  platform::runModalForWindow(bottom);

  EXPECT_EQ(seen, (std::vector<std::string>{"top", "middle", "bottom"}));
  EXPECT_EQ(platform::modalDepth(), 0);
  EXPECT_FALSE(bottom.get_visible());
  EXPECT_TRUE(bystander.get_sensitive());
  EXPECT_FALSE(alreadyOff.get_sensitive()) << "a window off before stays off";
}

// The password prompt below an "Invalid Password" alert must take the next try at once.
TEST(ModalSession, WindowBelowGetsItsFocusedFieldBackWhenTheWindowAboveEnds) {
  Gtk::Window below, above;
  Gtk::Entry field;
  below.set_child(field);
  Glib::signal_idle().connect_once([&] {
    field.grab_focus();
    Glib::signal_idle().connect_once([] { platform::stopModal(*platform::modalWindow()); });
    platform::runModalForWindow(above);
    // (The entry's focus lies in the text widget inside it.)
    const Gtk::Widget* focus = below.get_focus();
    EXPECT_TRUE(focus != nullptr && (focus == &field || focus->is_ancestor(field)));
    EXPECT_TRUE(below.get_sensitive());
    platform::stopModal(*platform::modalWindow());
  });
  platform::runModalForWindow(below);
}

// Without a window manager (the kiosk session) a prompt would otherwise open in the top left
// corner of the screen.
TEST(ModalSession, WindowSitsInTheMiddleOfTheScreenWhereNothingPlacesWindows) {
  const platform::MonitorFrame screen = platform::primaryMonitorFrame();
  Gtk::Window window;
  window.set_default_size(300, 200);
  int x = -1, y = -1;
  const auto placed = [&] {
    Display* display = gdk_x11_display_get_xdisplay(Gdk::Display::get_default()->gobj());
    XSync(display, False);
    Window child = 0;
    XTranslateCoordinates(display, gdk_x11_surface_get_xid(window.get_surface()->gobj()),
                          DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return x == screen.x + (screen.width - 300) / 2 && y == screen.y + (screen.height - 200) / 2;
  };
  Glib::signal_idle().connect_once([&] {
    EXPECT_TRUE(waitUntil(placed, 5s)) << "at " << x << "," << y;
    platform::stopModal(*platform::modalWindow());
  });
  platform::runModalForWindow(window);
}

// The second alert is closed by the window manager, which counts as OK.
TEST(Alert, ShowsItsTextsLiterallyAndWaitsForOKOrAWindowManagerClose) {
  AlertRecorder alerts([&](platform::ShownAlert&) {
    if (alerts.alerts().size() == 1) {
      EXPECT_EQ(platform::modalDepth(), 1);
      return true;
    }
    platform::modalWindow()->close();
    return false;
  });
  platform::runAlert("URL Block", "<b>a&b</b> %@ is Blocked");
  ASSERT_EQ(alerts.alerts().size(), 1u);
  EXPECT_EQ(alerts.alerts()[0].message, "URL Block");
  EXPECT_EQ(alerts.alerts()[0].informative, "<b>a&b</b> %@ is Blocked");
  EXPECT_EQ(platform::modalDepth(), 0);

  platform::runAlert("Harbinel Error", "Some of the modules are missing while opening Harbinel");
  EXPECT_EQ(alerts.alerts().size(), 2u);
  EXPECT_EQ(platform::modalDepth(), 0);
}

TEST(Presentation, CombinationsFollowThePlatformsRules) {
  namespace p = platform::presentation;
  struct Case {
    unsigned options;
    bool valid;
  };
  const Case cases[] = {
      {0, true},
      {106, true},
      {p::HideDock | p::HideMenuBar, true},
      {p::AutoHideDock | p::AutoHideMenuBar | p::DisableProcessSwitching, true},
      {p::HideMenuBar, false},                        // menu bar hidden, dock shown
      {p::AutoHideMenuBar, false},                    // needs the dock out of the way
      {p::DisableProcessSwitching, false},            // needs the dock hidden
      {p::DisableForceQuit | p::HideMenuBar, false},  // still no dock rule met
      {p::HideDock | p::AutoHideDock, false},
      {p::HideDock | p::HideMenuBar | p::AutoHideMenuBar, false},
      {p::FullScreen | p::AutoHideToolbar, false},
      {p::FullScreen | p::AutoHideToolbar | p::AutoHideMenuBar | p::AutoHideDock, true},
      {106 | (1u << 13), false},  // unknown flag
  };
  for (const Case& c : cases) {
    Gtk::Window window;
    platform::Presentation presentation(window);
    if (c.valid) {
      EXPECT_NO_THROW(presentation.setPresentationOptions(c.options)) << c.options;
      EXPECT_EQ(presentation.presentationOptions(), c.options);
    } else {
      EXPECT_THROW(presentation.setPresentationOptions(c.options),
                   platform::PresentationOptionsError)
          << c.options;
      EXPECT_EQ(presentation.presentationOptions(), 0u) << "a rejected set changes nothing";
    }
  }
}

}  // namespace
}  // namespace harbinel::test

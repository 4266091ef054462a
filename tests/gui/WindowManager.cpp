#include "tests/gui/WindowManager.h"

#include <gdkmm/display.h>

#include <sys/wait.h>
#include <csignal>
#include <cstdlib>

#include "tests/gui/GuiTestSupport.h"

// Xlib last: its macros clash with the C++ headers above.
#include <gdk/x11/gdkx.h>

namespace harbinel::test {

WindowManager::WindowManager() {
  char* argv[] = {const_cast<char*>("openbox"), const_cast<char*>("--sm-disable"), nullptr};
  const auto flags =
      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                               G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
  started_ = g_spawn_async(nullptr, argv, nullptr, flags, nullptr, nullptr, &pid_, nullptr);
  if (!started_) return;
  // It has taken the display once the root window names it.
  started_ = waitUntil(
      [] { return std::system("xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window") == 0; }, 5s);
}

WindowManager::~WindowManager() {
  if (pid_ == 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  g_spawn_close_pid(pid_);
  // It leaves the keyboard focus with no window; give it back to the window under the pointer,
  // as the server had it, so that later windows on the display take it again.
  Display* display = gdk_x11_display_get_xdisplay(Gdk::Display::get_default()->gobj());
  XSetInputFocus(display, PointerRoot, RevertToPointerRoot, CurrentTime);
  XSync(display, False);
}

}  // namespace harbinel::test

#pragma once

#include <glib.h>

namespace harbinel::test {

// A real window manager (openbox) on the test's display for as long as the object lives, so
// that close keys, full screen and its undoing are carried out as on a desktop. Only for tests
// that run alone: it manages every window on the display.
class WindowManager {
 public:
  WindowManager();
  ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  bool started() const { return started_; }

 private:
  GPid pid_ = 0;
  bool started_ = false;
};

}  // namespace harbinel::test

#pragma once

#include <gtkmm/window.h>

#include <filesystem>
#include <memory>

#include "platform/WindowResource.h"

namespace harbinel::app {

// The welcome window shown from launch until the main window opens (window resource "Splash").
class SplashScreen {
 public:
  explicit SplashScreen(const std::filesystem::path& resourceFolder);
  ~SplashScreen();
  SplashScreen(const SplashScreen&) = delete;
  SplashScreen& operator=(const SplashScreen&) = delete;

  Gtk::Window& window() { return *window_; }

 private:
  platform::WindowResource resource_;
  std::unique_ptr<Gtk::Window> window_;
};

}  // namespace harbinel::app

#include "app/SplashScreen.h"

#include "platform/Presentation.h"

namespace harbinel::app {

SplashScreen::SplashScreen(const std::filesystem::path& resourceFolder)
    : resource_(resourceFolder, "Splash"), window_(&resource_.outlet<Gtk::Window>("window")) {
  // The splash covers the primary monitor, as the main window will.
  const platform::MonitorFrame screen = platform::primaryMonitorFrame();
  if (screen.width > 0) window_->set_default_size(screen.width, screen.height);
}

SplashScreen::~SplashScreen() = default;

}  // namespace harbinel::app

#include <gtkmm/application.h>
#include <gtkmm/cssprovider.h>
#include <gtkmm/stylecontext.h>
#include <gtkmm/window.h>

#include <cstdlib>
#include <memory>

#include "app/HarbinelAppDelegate.h"
#include "platform/DateFormat.h"
#include "platform/Folders.h"
#include "platform/Log.h"
#include "platform/Renderer.h"
#include "platform/Translation.h"

namespace {

// The look of the windows; without the style sheet they keep GTK's own.
void loadStyle() {
  const auto sheet = harbinel::platform::resourceFolder() / "harbinel.css";
  auto provider = Gtk::CssProvider::create();
  try {
    provider->load_from_path(sheet.string());
  } catch (const Glib::Error&) {
    return;
  }
  Gtk::StyleContext::add_provider_for_display(Gdk::Display::get_default(), provider,
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

}  // namespace

// The arguments are not handed on: the kiosk opens no files and takes no options, and GApplication
// would answer any argument with "can not open files" and end the run before the kiosk opens.
int main() {
  harbinel::platform::dropEmptyLocaleVariables();
  harbinel::platform::useJournal();
  // The software renderer keeps its shader cache in a file in the home folder that it maps into
  // memory; on a full disk, touching that memory kills the process (SIGBUS) before the kiosk
  // shows. The shaders are built afresh at each start instead (also in the web process, which
  // inherits this).
  g_setenv("MESA_SHADER_CACHE_DISABLE", "true", true);
  harbinel::platform::startTranslations(
      harbinel::platform::localeFolderFor(harbinel::platform::executableFolder()));
  auto application =
      Gtk::Application::create("net.harbinel.Harbinel", Gio::Application::Flags::NON_UNIQUE);
  std::unique_ptr<harbinel::app::HarbinelAppDelegate> delegate;
  application->signal_activate().connect([&] {
    if (delegate) return;
    harbinel::platform::chooseRenderer();
    loadStyle();
    Gtk::Window::set_default_icon_name("net.harbinel.Harbinel");
    delegate = std::make_unique<harbinel::app::HarbinelAppDelegate>();
    delegate->showSplash();
    delegate->applicationDidFinishLaunching();
  });
  const int status = application->run();
  // Once the kiosk has started, only the parent password's quit ends the process, and it
  // ends it at once. Any other end of the run is a fault: it must never look like that quit
  // (the kiosk session starts Harbinel again after any other end).
  return delegate ? EXIT_FAILURE : status;
}

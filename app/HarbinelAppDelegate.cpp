#include "app/HarbinelAppDelegate.h"

#include <giomm/application.h>
#include <glibmm/main.h>

#include "app/Provisioning.h"
#include "platform/Alert.h"
#include "platform/ModalSession.h"
#include "platform/Translation.h"

namespace harbinel::app {

HarbinelAppDelegate::HarbinelAppDelegate(LaunchOptions options)
    : options_(std::move(options)),
      history_(options_.folders.historyFolder(), clock_),
      lists_(settings()) {}

HarbinelAppDelegate::~HarbinelAppDelegate() {
  timer_.disconnect();
}

void HarbinelAppDelegate::showSplash() {
  splash_ = std::make_unique<SplashScreen>(options_.folders.resources);
  splash_->window().present();
}

// GLib timers fire inside nested main loops, so the provisioning alerts would let the timer
// open the main window under them. The timer only notes that it is due while the handler
// runs; the main window then opens as soon as the handler has returned.
void HarbinelAppDelegate::applicationDidFinishLaunching() {
  // The run lasts as long as the main window's session, whatever windows come and go before.
  if (auto application = Gio::Application::get_default()) application->hold();
  launching_ = true;
  timer_ = Glib::signal_timeout().connect(
      [this] {
        timerFired();
        return false;
      },
      static_cast<unsigned>(options_.delay.count()));
  createPlist();
  createDnsArray();
  launching_ = false;
  if (due_) {
    timer_ = Glib::signal_idle().connect([this] {
      jumpTo();
      return false;
    });
  }
}

void HarbinelAppDelegate::timerFired() {
  if (launching_) {
    due_ = true;
    return;
  }
  jumpTo();
}

void HarbinelAppDelegate::jumpTo() {
  welcomeIfShippedPassword();
  mainView_ = std::make_unique<browser::MainView>(browser::BrowserServices{
      .resourceFolder = options_.folders.resources,
      .settings = settings(),
      .history = history_,
      .blockLists = lists_,
      .homeAddress = options_.homeAddress,
      .webView = options_.webView,
      .timeFile = options_.folders.timeFile(),
  });
  Gtk::Window& window = mainView_->window();
  if (splash_) platform::closeWindow(splash_->window());
  platform::runModalForWindow(window);
  if (auto application = Gio::Application::get_default()) application->release();
}

storage::SettingsFile HarbinelAppDelegate::settings() const {
  return storage::SettingsFile(options_.folders.settingsFile(),
                               options_.folders.managedSettingsFile());
}

// The parent chooses a password of their own before the child gets the kiosk.
void HarbinelAppDelegate::welcomeIfShippedPassword() {
  const storage::SettingsFile settings = this->settings();
  if (!parents::needsWelcome(settings)) return;
  if (splash_) platform::closeWindow(splash_->window());
  welcome_ = std::make_unique<parents::FrmWelcome>(options_.folders.resources, settings);
  platform::runModalForWindow(welcome_->window());
}

void HarbinelAppDelegate::createPlist() {
  app::createPlist(options_.folders, clock_, {}, [] {
    platform::runAlert(_("Harbinel Error"),
                       _("Some of the modules are missing while opening Harbinel"));
  });
}

void HarbinelAppDelegate::createDnsArray() {
  lists_.createDnsArray(options_.folders.dataFolder(), options_.folders.resources);
  if (!options_.folders.administration.empty()) {
    lists_.loadAdministeredLists(options_.folders.administration);
  }
}

}  // namespace harbinel::app

#pragma once

#include <gtkmm/application.h>

#include <sigc++/connection.h>
#include <chrono>
#include <memory>
#include <string>

#include "app/SplashScreen.h"
#include "browser/MainView.h"
#include "filter/BlockLists.h"
#include "parents/FrmWelcome.h"
#include "platform/Clock.h"
#include "platform/Folders.h"
#include "platform/WebView.h"
#include "storage/HistoryLog.h"

namespace harbinel::app {

struct LaunchOptions {
  platform::Folders folders = platform::Folders::forThisProcess();
  // From launch to the opening of the main window.
  std::chrono::milliseconds delay{3000};
  std::string homeAddress = std::string(browser::kHomeAddress);
  platform::WebViewOptions webView;
};

// The application's delegate: runs the launch sequence, owns the block lists for the whole
// run and opens the main browser window.
class HarbinelAppDelegate {
 public:
  explicit HarbinelAppDelegate(LaunchOptions options = {});
  ~HarbinelAppDelegate();
  HarbinelAppDelegate(const HarbinelAppDelegate&) = delete;
  HarbinelAppDelegate& operator=(const HarbinelAppDelegate&) = delete;

  // Shows the splash window until the main window opens.
  void showSplash();

  // Schedules the main window for `delay` after launch, provisions the data folder and loads
  // the domain lists.
  void applicationDidFinishLaunching();

  // Opens the main browser window and runs it in an application-modal session, which lasts
  // for the rest of the run. While the settings hold the shipped password, the welcome window
  // comes first, in a session of its own, and the main window opens once it is done.
  void jumpTo();

  void createPlist();
  void createDnsArray();

  filter::BlockLists& blockLists() { return lists_; }
  browser::MainView* mainView() { return mainView_.get(); }
  parents::FrmWelcome* welcome() { return welcome_.get(); }
  const storage::HistoryLog& history() const { return history_; }

 private:
  void timerFired();
  // The parent's settings file under the administrator's.
  storage::SettingsFile settings() const;
  void welcomeIfShippedPassword();

  LaunchOptions options_;
  platform::SystemClock clock_;
  storage::HistoryLog history_;
  filter::BlockLists lists_;
  std::unique_ptr<SplashScreen> splash_;
  std::unique_ptr<parents::FrmWelcome> welcome_;
  std::unique_ptr<browser::MainView> mainView_;
  sigc::connection timer_;  // the delay, then the opening it made due
  bool launching_ = false;
  bool due_ = false;
};

}  // namespace harbinel::app

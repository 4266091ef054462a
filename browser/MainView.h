#pragma once

#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/spinner.h>
#include <gtkmm/window.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "browser/FrmFavourites.h"
#include "browser/Geometry.h"
#include "browser/Protocols.h"
#include "filter/BlockCheck.h"
#include "filter/BlockLists.h"
#include "parents/PasswordPacing.h"
#include "platform/Clock.h"
#include "platform/KioskPolicy.h"
#include "platform/Presentation.h"
#include "platform/WebView.h"
#include "platform/WindowResource.h"
#include "storage/HistoryLog.h"
#include "storage/SettingsFile.h"

namespace harbinel::parents {
class FrmPassword;
}

namespace harbinel::browser {

// The address of the browser's start page (a page of our own, shown without the network),
// loaded when the main window opens, by Home and after every refused page. A parent's own home
// page (HP) takes its place at the start and for Home.
inline constexpr std::string_view kHomeAddress = filter::kHomeAddress;

// The presentation that locks the desktop while the kiosk runs: hide the dock (2) and the
// menu bar (8), disable process switching (32) and force quit (64).
inline constexpr unsigned kKioskPresentationOptions =
    platform::presentation::HideDock | platform::presentation::HideMenuBar |
    platform::presentation::DisableProcessSwitching | platform::presentation::DisableForceQuit;
static_assert(kKioskPresentationOptions == 106);

// The main browser window: borderless, over the whole primary monitor, the desktop locked.
class FullScreenableWindow : public Gtk::Window {
 public:
  FullScreenableWindow(BaseObjectType* window, const Glib::RefPtr<Gtk::Builder>& builder,
                       platform::WebView& webView, std::string homeAddress);

  // Runs once, when the window resource has loaded: locks the desktop, covers the primary
  // monitor, takes the focus and loads the home address.
  void awakeFromNib();

  // The 16 x 16 square in the bottom right corner of the content area.
  Rect growRect() const;
  Point locationInScreen(const Point& point) const;
  // Sizes the window to `frame` (the window manager places it).
  void fullScreen_setValueFrame(const Rect& frame);
  Rect frame() const { return frame_; }

  unsigned presentationOptions() const { return presentation_.presentationOptions(); }
  platform::WebView& webView() { return webView_; }

 private:
  platform::WebView& webView_;
  std::string homeAddress_;
  platform::Presentation presentation_;
  Rect frame_;
};

// What the main browser controller works with, handed in by its opener.
struct BrowserServices {
  std::filesystem::path resourceFolder;  // holds MainMenu.ui and FrmFavourites.ui
  storage::SettingsFile settings;        // read afresh for AB and the favourites
  const storage::HistoryLog& history;
  filter::BlockLists& blockLists;  // answers the block decision
  std::string homeAddress = std::string(kHomeAddress);
  platform::WebViewOptions webView;
  const platform::Clock* clock = nullptr;  // "now" for the prompts' pace; the system's if none
};

// The controller of the main browser window: the toolbar, the address bar, the page area's load
// reports and the check of every page shown.
class MainView : public myprotocol, public myprotocolpassword {
 public:
  explicit MainView(BrowserServices services);
  ~MainView();
  MainView(const MainView&) = delete;
  MainView& operator=(const MainView&) = delete;

  // The kiosk window; the first call loads the window resource "MainMenu", which starts loading
  // the home address.
  FullScreenableWindow& window();

  // Actions of the toolbar and the address field.
  void btnGo();
  void controlTextDidEndEditing();
  void goToHome();
  void goToFavourites();
  void btnFrmParent();
  void closeApplication();
  void closeMainApplication();

  void loadwebview(const std::string& address) override;
  void showhideAddressBar() override;
  void saveHistory(std::string_view text, std::string_view kind);

  // The page area's reports.
  void webViewDidStartProvisionalLoad();
  void webViewDidCommitLoad();
  void webViewDidReceiveTitle();
  void webViewDidFinishLoad();
  // The page's process ended (it crashed, or ran out of memory): the page area is empty.
  void webViewProcessEnded();
  // The start page's tile for `index`, as a click on it reaches the browser (tests).
  std::string tileAddress(std::size_t index) const;

  platform::WebView& webView() { return *webView_; }
  const std::string& homeAddress() const { return services_.homeAddress; }
  // The favourites picker opened last, if any.
  FrmFavourites* frmFavourites() { return frmFavourites_.get(); }
  // The password prompt opened last, if any.
  parents::FrmPassword* frmpassword() { return frmpassword_.get(); }

  // The controls, joined by name when the window resource loads (the page area, `webView`,
  // is placed into its slot of that name).
  struct Outlets {
    Gtk::Button* closeBtn = nullptr;
    Gtk::Spinner* progressIndicator = nullptr;
    Gtk::Entry* urltxtField = nullptr;
    Gtk::Button* btnGo = nullptr;
    Gtk::Button* btnParent = nullptr;
    Gtk::Button* btnFavourite = nullptr;
    Gtk::Button* btnHome = nullptr;
    Gtk::Widget* mainview = nullptr;
  };
  const Outlets& outlets() const { return outlets_; }

 private:
  void load();
  void bindOutlets();
  void connectActions();
  void awakeFromNib();
  void refuse(const std::string& normalisedAddress);
  // The start page and the parent's home page.
  void loadHome();
  void showStartPage();
  std::string startPage();
  void lookUpIcons(const std::vector<std::string>& sites);
  void tileFollowed(const std::string& address);
  std::optional<std::string> pageInPlaceOfFailure(const std::string& address);
  bool startPageShown() const;
  void openPasswordPrompt(std::string windowname, myprotocolpassword* delegate);
  void askForHomeAgainUnlessShown();

  const platform::Clock& clock() const;

  BrowserServices services_;
  platform::SystemClock systemClock_;
  parents::PasswordPacing pacing_;  // for the whole run, whichever prompt asks
  Outlets outlets_;
  std::unique_ptr<platform::WindowResource> resource_;
  std::unique_ptr<platform::WebView> webView_;
  std::unique_ptr<FullScreenableWindow> window_;
  std::unique_ptr<FrmFavourites> frmFavourites_;
  std::unique_ptr<parents::FrmPassword> frmpassword_;
  std::vector<sigc::connection> connections_;
  filter::BlockCheck blockCheck_;
  // A page that brings its process down every time must not keep the kiosk restarting it.
  platform::RestartBudget restarts_{3, std::chrono::seconds(30)};
  bool fieldEdited_ = false;
  std::string tileToken_;                      // for this run; known to the start page alone
  std::vector<std::string> startTiles_;        // the favourites as the start page shows them
  std::map<std::string, std::string> icons_;   // site -> its icon as a data: address
  std::set<std::string> iconsAsked_;
  std::string homePageRequested_;              // the parent's home page while it loads
  bool committed_ = false;  // some page has been shown since the window opened
  sigc::connection firstPageWatch_;
};

// How long the kiosk window waits for its first page before it asks for home again (a request
// lost while the machine starts up would otherwise leave it blank for good).
inline constexpr std::chrono::seconds kFirstPageWait{5};

}  // namespace harbinel::browser

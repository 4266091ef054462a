#pragma once

#include <gtkmm/button.h>
#include <gtkmm/entry.h>
#include <gtkmm/spinner.h>
#include <gtkmm/window.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "browser/FrmFavourites.h"
#include "browser/Geometry.h"
#include "browser/Protocols.h"
#include "filter/BlockCheck.h"
#include "filter/BlockLists.h"
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

// The browser's start page, loaded when the main window opens, by Home and after every refused
// page.
inline constexpr std::string_view kHomeAddress = "http://start.harbinel.net/net/";

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
  void openPasswordPrompt(std::string windowname, myprotocolpassword* delegate);

  BrowserServices services_;
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
};

}  // namespace harbinel::browser

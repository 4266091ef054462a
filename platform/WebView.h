#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _WebKitWebView WebKitWebView;
typedef struct _GError GError;
typedef struct _GCancellable GCancellable;

namespace Gtk {
class Widget;
}

namespace harbinel::platform {

struct WebViewOptions {
  // Keeps cookies and the page cache in memory only, so no run leaves anything behind.
  bool ephemeral = false;
  // When not empty, every http request goes through this proxy (e.g. "http://127.0.0.1:8080/"),
  // so that real-looking host names reach a server of our own.
  std::string proxyURL;
};

// What the page area reports. Each may be left empty.
struct WebViewCallbacks {
  std::function<void()> loadStarted;      // a load of the main frame began
  std::function<void()> loadCommitted;    // its first bytes arrived: the page now shown changed
  std::function<void()> titleReceived;    // the document in the main frame reported a new title
  std::function<void()> loadFinished;     // the load ended
  std::function<void()> webProcessEnded;  // the page's process ended: the view is empty
  // Links whose address has this scheme are not followed: their address is handed to
  // `ownLinkFollowed` instead.
  std::string ownLinkScheme;
  std::function<void(const std::string& address)> ownLinkFollowed;
  // Asked when a page could not be loaded: a page to show in its place, under its address,
  // instead of the failure page.
  std::function<std::optional<std::string>(const std::string& address)> pageInPlaceOfFailure;
};

// The page area: owns one WebKit web view and the connections of its load reports.
//
// The view is locked down for a child at a kiosk, whatever the page asks: it never opens a
// second window (what would open in one loads here), never closes, never leaves or changes
// the window's full screen, shows no context menu, inspector, print or file dialog, downloads
// nothing, grants no permission, ignores dropped files, and goes nowhere but web pages
// (platform/KioskPolicy says which).
class WebView {
 public:
  explicit WebView(const WebViewOptions& options = {}, WebViewCallbacks callbacks = {});
  ~WebView();
  WebView(const WebView&) = delete;
  WebView& operator=(const WebView&) = delete;

  // Starts loading `address` exactly as given; a later call replaces a load in progress.
  void setMainFrameURL(std::string_view address);
  // The address of the page shown in the main frame, or the empty text when there is none.
  // Unlike the view's current address, which names a page from the moment it is asked for,
  // this one changes when a load commits (or the page moves within itself).
  std::string mainFrameURL() const { return shownAddress_; }
  std::string title() const;
  bool isLoading() const;
  // Shows a page of our own, in place of whatever was shown, under `address` (the empty page's
  // unless given).
  void showBuiltInPage(const std::string& html, const std::string& address = "about:blank");
  // Asks WebKit's icon store for the icon of the page at `address`; `found` gets it as a data:
  // address of a PNG, later, and only when the store knows one and this view still exists.
  void lookUpIcon(const std::string& address, std::function<void(std::string)> found);

  // The widget to place in a window.
  Gtk::Widget& widget();
  WebKitWebView* gobj() { return view_; }

  // The navigation decision's view of the browser's own links.
  bool isOwnLink(const std::string& address) const;
  void followOwnLink(const std::string& address);

 private:
  void connect();
  void lockDown();
  void refuseDroppedFiles();
  void loadChanged(int event);
  std::string pageForFailure(const char* address, const GError* error) const;
  std::string currentAddress() const;
  template <typename Handler>
  void on(void* instance, const char* signal, Handler handler);

  WebKitWebView* view_;
  Gtk::Widget* widget_;
  WebViewCallbacks callbacks_;
  std::string shownAddress_;
  bool loadInFlight_ = false;  // asked for or started, not yet committed or ended
  bool loadStarted_ = false;   // started, not yet committed or ended
  struct Connection {
    void* instance;
    unsigned long id;
  };
  std::vector<Connection> connections_;
  GCancellable* iconLookups_;  // cancelled when the view goes
};

}  // namespace harbinel::platform

#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _WebKitWebView WebKitWebView;

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
  // Whether a frame inside the page may not load this (web) address; when empty, any may.
  std::function<bool(const std::string&)> subFrameRefused;
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
  // Shows a page of our own, in place of whatever was shown, under the empty page's address.
  void showBuiltInPage(const std::string& html);

  // The widget to place in a window.
  Gtk::Widget& widget();
  WebKitWebView* gobj() { return view_; }

 private:
  void connect();
  void lockDown();
  void refuseDroppedFiles();
  void loadChanged(int event);
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
};

}  // namespace harbinel::platform

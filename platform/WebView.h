#pragma once

#include <functional>
#include <string>
#include <string_view>

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
  std::function<void()> loadStarted;    // a load of the main frame began
  std::function<void()> loadCommitted;  // its first bytes arrived: the page now shown changed
  std::function<void()> titleReceived;  // the document in the main frame reported a new title
  std::function<void()> loadFinished;   // the load ended
};

// The page area: owns one WebKit web view and the connections of its load reports.
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

  // The widget to place in a window.
  Gtk::Widget& widget();
  WebKitWebView* gobj() { return view_; }

 private:
  void connect();
  void loadChanged(int event);
  std::string currentAddress() const;

  WebKitWebView* view_;
  Gtk::Widget* widget_;
  WebViewCallbacks callbacks_;
  std::string shownAddress_;
  bool loadInFlight_ = false;  // asked for or started, not yet committed or ended
  bool loadStarted_ = false;   // started, not yet committed or ended
  unsigned long loadChanged_ = 0;
  unsigned long titleChanged_ = 0;
  unsigned long addressChanged_ = 0;
  unsigned long loadFailed_ = 0;
};

}  // namespace harbinel::platform

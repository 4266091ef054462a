#include "platform/WebView.h"

#include <gtkmm/widget.h>
#include <webkit/webkit.h>

namespace harbinel::platform {
namespace {

WebKitWebView* makeView(const WebViewOptions& options) {
  WebKitNetworkSession* session = options.ephemeral ? webkit_network_session_new_ephemeral()
                                                    : webkit_network_session_get_default();
  if (!options.proxyURL.empty()) {
    WebKitNetworkProxySettings* proxy =
        webkit_network_proxy_settings_new(options.proxyURL.c_str(), nullptr);
    webkit_network_session_set_proxy_settings(session, WEBKIT_NETWORK_PROXY_MODE_CUSTOM, proxy);
    webkit_network_proxy_settings_free(proxy);
  }
  auto* view =
      WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session, nullptr));
  // The view holds the session; the default one belongs to WebKit.
  if (options.ephemeral) g_object_unref(session);
  g_object_ref_sink(view);
  return view;
}

void call(const std::function<void()>& callback) {
  if (callback) callback();
}

}  // namespace

WebView::WebView(const WebViewOptions& options, WebViewCallbacks callbacks)
    : view_(makeView(options)),
      widget_(Glib::wrap(GTK_WIDGET(view_))),
      callbacks_(std::move(callbacks)) {
  widget_->set_hexpand(true);
  widget_->set_vexpand(true);
  connect();
}

WebView::~WebView() {
  for (unsigned long handler : {loadChanged_, titleChanged_, addressChanged_}) {
    g_signal_handler_disconnect(view_, handler);
  }
  g_object_unref(view_);
}

// The one place where the view's reports are connected to the callbacks.
void WebView::connect() {
  loadChanged_ = g_signal_connect(
      view_, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer self) {
        static_cast<WebView*>(self)->loadChanged(event);
      }),
      this);
  // Between a load's start and its commit no document reports a title: the view only clears
  // the old page's, which is not a report of either page.
  titleChanged_ = g_signal_connect(view_, "notify::title",
                                   G_CALLBACK(+[](WebKitWebView*, GParamSpec*, gpointer self) {
                                     auto& webView = *static_cast<WebView*>(self);
                                     if (!webView.loadStarted_)
                                       call(webView.callbacks_.titleReceived);
                                   }),
                                   this);
  // A page moving within itself (a fragment, the history interface) changes its address
  // without a load; any other change of address belongs to a load on its way.
  addressChanged_ = g_signal_connect(
      view_, "notify::uri", G_CALLBACK(+[](WebKitWebView* view, GParamSpec*, gpointer self) {
        auto& webView = *static_cast<WebView*>(self);
        if (!webView.loadInFlight_ && !webkit_web_view_is_loading(view)) {
          webView.shownAddress_ = webView.currentAddress();
        }
      }),
      this);
}

void WebView::loadChanged(int event) {
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      loadInFlight_ = true;
      loadStarted_ = true;
      call(callbacks_.loadStarted);
      break;
    case WEBKIT_LOAD_COMMITTED:
      loadInFlight_ = false;
      loadStarted_ = false;
      shownAddress_ = currentAddress();
      call(callbacks_.loadCommitted);
      break;
    case WEBKIT_LOAD_FINISHED:
      loadInFlight_ = false;
      loadStarted_ = false;
      call(callbacks_.loadFinished);
      break;
    default:
      break;
  }
}

void WebView::setMainFrameURL(std::string_view address) {
  // The view's address changes at once, before the load has even started.
  loadInFlight_ = true;
  webkit_web_view_load_uri(view_, std::string(address).c_str());
}

std::string WebView::currentAddress() const {
  const char* uri = webkit_web_view_get_uri(view_);
  return uri != nullptr ? uri : "";
}

std::string WebView::title() const {
  const char* title = webkit_web_view_get_title(view_);
  return title != nullptr ? title : "";
}

bool WebView::isLoading() const {
  return webkit_web_view_is_loading(view_);
}

Gtk::Widget& WebView::widget() {
  return *widget_;
}

}  // namespace harbinel::platform

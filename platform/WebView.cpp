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

std::string escaped(const char* text) {
  char* markup = g_markup_escape_text(text != nullptr ? text : "", -1);
  std::string result = markup;
  g_free(markup);
  return result;
}

// The page shown in place of one that could not be loaded, under the failed page's address
// (the engine's own says the same, but in a plain line that means little to a child).
std::string failurePage(const char* address, const GError* error) {
  return R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>Page not found</title>
<style>
body { font-family: sans-serif; background: #f4f7ff; color: #1f2a44; margin: 0;
       display: flex; align-items: center; justify-content: center; height: 100vh; }
main { text-align: center; max-width: 36em; padding: 2em; }
.face { font-size: 72px; color: #7b5cf0; }
h1 { font-size: 30px; margin: 0.3em 0; }
p { font-size: 18px; line-height: 1.5; }
small { color: #6b7390; word-break: break-all; }
</style></head><body><main>
<div class="face">:-(</div>
<h1>This page could not be opened</h1>
<p>Check the address, or press <b>Home</b> to start again.</p>
<small>)" +
         escaped(address) + "<br>" + escaped(error->message) + "</small></main></body></html>";
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
  for (unsigned long handler : {loadChanged_, titleChanged_, addressChanged_, loadFailed_}) {
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
  loadFailed_ = g_signal_connect(
      view_, "load-failed",
      G_CALLBACK(+[](WebKitWebView* view, WebKitLoadEvent, char* address, GError* error,
                     gpointer) -> gboolean {
        // A load replaced by another is no failure to show.
        if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
            g_error_matches(error, WEBKIT_POLICY_ERROR,
                            WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE)) {
          return false;
        }
        webkit_web_view_load_alternate_html(view, failurePage(address, error).c_str(), address,
                                            nullptr);
        return true;
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

#include "platform/WebView.h"

#include <gtkmm/droptarget.h>
#include <gtkmm/widget.h>
#include <webkit/webkit.h>

#include "platform/KioskPolicy.h"
#include "platform/ShownText.h"
#include "platform/Translation.h"

#include <memory>
#include <utility>

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
  // The start page shows the icons of the favourites the child has visited.
  webkit_website_data_manager_set_favicons_enabled(
      webkit_network_session_get_website_data_manager(
          webkit_web_view_get_network_session(view)),
      true);
  return view;
}

void cancel(unsigned& timer) {
  if (timer != 0) g_source_remove(timer);
  timer = 0;
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
std::string failurePage(const char* address, const char* reason) {
  return R"(<!DOCTYPE html><html><head><meta charset="utf-8"><title>)" +
         std::string(_("Page not found")) + R"(</title>
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
<h1>)" + _("This page could not be opened") + "</h1>\n<p>" +
         // TRANSLATORS: <b> marks the name of a button; keep the tags.
         _("Check the address, or press <b>Home</b> to start again.") + "</p>\n<small>" +
         escaped(shownAddress(address).c_str()) + "<br>" + escaped(reason) + "</small></main></body></html>";
}

}  // namespace

WebView::WebView(const WebViewOptions& options, WebViewCallbacks callbacks)
    : view_(makeView(options)),
      widget_(Glib::wrap(GTK_WIDGET(view_))),
      callbacks_(std::move(callbacks)),
      unresponsiveLimit_(options.unresponsiveLimit),
      iconLookups_(g_cancellable_new()) {
  widget_->set_hexpand(true);
  widget_->set_vexpand(true);
  connect();
  lockDown();
  limitScriptDialogs();
  watchResponsiveness();
}

WebView::~WebView() {
  g_cancellable_cancel(iconLookups_);
  g_object_unref(iconLookups_);
  cancel(unresponsiveTimer_);
  for (const Connection& connection : connections_) {
    g_signal_handler_disconnect(connection.instance, connection.id);
  }
  g_object_unref(view_);
}

template <typename Handler>
void WebView::on(void* instance, const char* signal, Handler handler) {
  connections_.push_back({instance, g_signal_connect(instance, signal, G_CALLBACK(handler), this)});
}

// The one place where the view's reports are connected to the callbacks.
void WebView::connect() {
  on(
      view_, "load-changed", +[](WebKitWebView*, WebKitLoadEvent event, gpointer self) {
        static_cast<WebView*>(self)->loadChanged(event);
      });
  // Between a load's start and its commit no document reports a title: the view only clears
  // the old page's, which is not a report of either page.
  on(
      view_, "notify::title", +[](WebKitWebView*, GParamSpec*, gpointer self) {
        auto& webView = *static_cast<WebView*>(self);
        if (!webView.loadStarted_) call(webView.callbacks_.titleReceived);
      });
  on(
      view_, "load-failed",
      +[](WebKitWebView* view, WebKitLoadEvent, char* address, GError* error,
          gpointer self) -> gboolean {
        // A load replaced by another, or refused by the kiosk's policy, is no failure to show.
        if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
            g_error_matches(error, WEBKIT_POLICY_ERROR,
                            WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE)) {
          return false;
        }
        const std::string page = static_cast<WebView*>(self)->pageForFailure(address, error);
        webkit_web_view_load_alternate_html(view, page.c_str(), address, nullptr);
        return true;
      });
  // A page moving within itself (a fragment, the history interface) changes its address
  // without a load; any other change of address belongs to a load on its way.
  on(
      view_, "notify::uri", +[](WebKitWebView* view, GParamSpec*, gpointer self) {
        auto& webView = *static_cast<WebView*>(self);
        if (!webView.loadInFlight_ && !webkit_web_view_is_loading(view)) {
          webView.shownAddress_ = webView.currentAddress();
        }
      });
  on(
      view_, "web-process-terminated",
      +[](WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self) {
        auto& webView = *static_cast<WebView*>(self);
        webView.loadInFlight_ = false;
        webView.loadStarted_ = false;
        cancel(webView.unresponsiveTimer_);
        call(webView.callbacks_.webProcessEnded);
      });
}

namespace {

const char* requestedAddress(WebKitNavigationPolicyDecision* decision) {
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(decision);
  return webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
}

gboolean ignore(WebKitPolicyDecision* decision) {
  webkit_policy_decision_ignore(decision);
  return true;
}

// Any frame may go to web pages and the few addresses pages build frames from; nothing else.
// The browser's own links are handed back to it, never followed.
gboolean decideNavigation(WebView& webView, WebKitNavigationPolicyDecision* decision) {
  const std::string address = requestedAddress(decision);
  if (webView.isOwnLink(address)) {
    ignore(WEBKIT_POLICY_DECISION(decision));
    webView.followOwnLink(address);
    return true;
  }
  if (kiosk::mayNavigate(address)) return false;
  return ignore(WEBKIT_POLICY_DECISION(decision));
}

// A link or a form aimed at a new window: the page it asks for loads here instead (and is
// judged like any other when it commits). There is no second window.
gboolean decideNewWindow(WebView& webView, WebKitNavigationPolicyDecision* decision) {
  const std::string address = requestedAddress(decision);
  ignore(WEBKIT_POLICY_DECISION(decision));
  if (kiosk::isWebAddress(address)) webView.setMainFrameURL(address);
  return true;
}

// What the view cannot show would become a download; what is not a web page may not fill the
// main frame however it was reached.
gboolean decideResponse(WebKitResponsePolicyDecision* decision) {
  if (!webkit_response_policy_decision_is_mime_type_supported(decision)) {
    return ignore(WEBKIT_POLICY_DECISION(decision));
  }
  if (webkit_response_policy_decision_is_main_frame_main_resource(decision)) {
    WebKitURIRequest* request = webkit_response_policy_decision_get_request(decision);
    if (!kiosk::mayShowInMainFrame(webkit_uri_request_get_uri(request))) {
      return ignore(WEBKIT_POLICY_DECISION(decision));
    }
  }
  return false;
}

gboolean refuse() {
  return true;
}

// A frame inside the page is judged by the browser when its document arrives (the main frame
// is judged by the block check once it commits, with its alert and the way home). Frames that
// hold no web page (about:srcdoc, data:) come from the page around them, judged already.
gboolean decideSubFrame(const WebViewCallbacks& callbacks, WebKitResponsePolicyDecision* decision) {
  if (!callbacks.subFrameRefused ||
      webkit_response_policy_decision_is_main_frame_main_resource(decision)) {
    return false;
  }
  const char* address =
      webkit_uri_request_get_uri(webkit_response_policy_decision_get_request(decision));
  if (address == nullptr || !kiosk::isWebAddress(address)) return false;
  if (!callbacks.subFrameRefused(address)) return false;
  return ignore(WEBKIT_POLICY_DECISION(decision));
}

}  // namespace

// Everything a page could use to leave the page area, or to reach the computer beyond it.
void WebView::lockDown() {
  WebKitSettings* settings = webkit_web_view_get_settings(view_);
  webkit_settings_set_enable_developer_extras(settings, false);
  webkit_settings_set_enable_fullscreen(settings, false);
  webkit_settings_set_javascript_can_open_windows_automatically(settings, false);

  on(
      view_, "decide-policy",
      +[](WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
          gpointer self) -> gboolean {
        switch (type) {
          case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION:
            return decideNavigation(*static_cast<WebView*>(self),
                                    WEBKIT_NAVIGATION_POLICY_DECISION(decision));
          case WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION:
            return decideNewWindow(*static_cast<WebView*>(self),
                                   WEBKIT_NAVIGATION_POLICY_DECISION(decision));
          case WEBKIT_POLICY_DECISION_TYPE_RESPONSE:
            return decideResponse(WEBKIT_RESPONSE_POLICY_DECISION(decision)) ||
                   decideSubFrame(static_cast<WebView*>(self)->callbacks_,
                                  WEBKIT_RESPONSE_POLICY_DECISION(decision));
          default:
            return ignore(decision);
        }
      });
  // window.open: the page loads here; no view is made for it.
  on(
      view_, "create",
      +[](WebKitWebView*, WebKitNavigationAction* action, gpointer self) -> GtkWidget* {
        const char* address =
            webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
        if (kiosk::isWebAddress(address)) static_cast<WebView*>(self)->setMainFrameURL(address);
        return nullptr;
      });
  // window.close: the kiosk's only window stays. (Connected so that it is plainly refused.)
  on(
      view_, "close", +[](WebKitWebView*, gpointer) {});
  // The window keeps its full screen: the page neither enters nor leaves it.
  on(
      view_, "enter-fullscreen", +[](WebKitWebView*, gpointer) -> gboolean { return refuse(); });
  on(
      view_, "leave-fullscreen", +[](WebKitWebView*, gpointer) -> gboolean { return refuse(); });
  on(
      view_, "context-menu",
      +[](WebKitWebView*, WebKitContextMenu*, WebKitHitTestResult*, gpointer) -> gboolean {
        return refuse();
      });
  on(
      view_, "print",
      +[](WebKitWebView*, WebKitPrintOperation*, gpointer) -> gboolean { return refuse(); });
  on(
      view_, "run-file-chooser",
      +[](WebKitWebView*, WebKitFileChooserRequest* request, gpointer) -> gboolean {
        webkit_file_chooser_request_cancel(request);
        return refuse();
      });
  // Camera, microphone, location, notifications and the rest: always no, never a question.
  on(
      view_, "permission-request",
      +[](WebKitWebView*, WebKitPermissionRequest* request, gpointer) -> gboolean {
        webkit_permission_request_deny(request);
        return refuse();
      });
  // Whatever still turns into a download (a link with a download attribute) stops there.
  on(
      webkit_web_view_get_network_session(view_), "download-started",
      +[](WebKitNetworkSession*, WebKitDownload* download, gpointer) {
        webkit_download_cancel(download);
      });
  refuseDroppedFiles();
}

// A file dropped on the page would be opened, or handed to a file field without its dialog.
// The drop is taken here, before the view sees it, and nothing is done with it.
void WebView::refuseDroppedFiles() {
  auto drop = Gtk::DropTarget::create(
      GDK_TYPE_FILE_LIST, Gdk::DragAction::COPY | Gdk::DragAction::MOVE | Gdk::DragAction::LINK);
  drop->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  drop->signal_drop().connect([](const Glib::ValueBase&, double, double) { return true; }, false);
  widget_->add_controller(drop);
}

void WebView::limitScriptDialogs() {
  on(
      view_, "script-dialog",
      +[](WebKitWebView*, WebKitScriptDialog* dialog, gpointer self) -> gboolean {
        return static_cast<WebView*>(self)->scriptDialog(dialog);
      });
}

// The first few dialogs of a load are shown as the engine shows them. Later ones are answered
// at once: confirm with false, prompt with null (its text is left unset), and a leave-page
// question with leave, so that Home is never held back by the page it leaves.
bool WebView::scriptDialog(WebKitScriptDialog* dialog) {
  if (++scriptDialogsThisLoad_ <= kScriptDialogsPerLoad) return false;
  const WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
  if (type == WEBKIT_SCRIPT_DIALOG_CONFIRM) webkit_script_dialog_confirm_set_confirmed(dialog, false);
  if (type == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
    webkit_script_dialog_confirm_set_confirmed(dialog, true);
  }
  return true;
}

// A page whose script never returns holds its process; the engine notices when the process
// leaves input or a load unanswered, and reports it. Given the limit to come back, the process
// is ended and the page area starts afresh.
void WebView::watchResponsiveness() {
  on(
      view_, "notify::is-web-process-responsive",
      +[](WebKitWebView*, GParamSpec*, gpointer self) {
        static_cast<WebView*>(self)->responsivenessChanged();
      });
}

void WebView::responsivenessChanged() {
  cancel(unresponsiveTimer_);
  if (webkit_web_view_get_is_web_process_responsive(view_)) return;
  unresponsiveTimer_ = g_timeout_add(
      static_cast<unsigned>(unresponsiveLimit_.count()),
      +[](gpointer self) -> gboolean {
        auto& webView = *static_cast<WebView*>(self);
        webView.unresponsiveTimer_ = 0;
        webView.endIfUnresponsive();
        return G_SOURCE_REMOVE;
      },
      this);
}

bool WebView::endIfUnresponsive() {
  if (webkit_web_view_get_is_web_process_responsive(view_)) return false;
  webkit_web_view_terminate_web_process(view_);
  return true;
}

void WebView::loadChanged(int event) {
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      loadInFlight_ = true;
      loadStarted_ = true;
      call(callbacks_.loadStarted);
      break;
    case WEBKIT_LOAD_COMMITTED:
      scriptDialogsThisLoad_ = 0;
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
  // Nothing but a web page is asked for (a javascript: address would run in the page shown).
  if (!kiosk::mayShowInMainFrame(address)) return;
  // Longer addresses the engine drops without a word (or fails on): the page says so instead.
  if (address.size() > kLongestAddress) {
    showBuiltInPage(failurePage(std::string(address).c_str(), _("The address is too long.")));
    return;
  }
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

void WebView::showBuiltInPage(const std::string& html, const std::string& address) {
  loadInFlight_ = true;
  webkit_web_view_load_alternate_html(view_, html.c_str(), address.c_str(), nullptr);
}

bool WebView::isOwnLink(const std::string& address) const {
  return !callbacks_.ownLinkScheme.empty() && kiosk::schemeOf(address) == callbacks_.ownLinkScheme;
}

// Whoever made the link, the browser decides what it opens (and judges that page as any).
void WebView::followOwnLink(const std::string& address) {
  if (callbacks_.ownLinkFollowed) callbacks_.ownLinkFollowed(address);
}

std::string WebView::pageForFailure(const char* address, const GError* error) const {
  if (callbacks_.pageInPlaceOfFailure) {
    if (auto page = callbacks_.pageInPlaceOfFailure(address != nullptr ? address : "")) {
      return *page;
    }
  }
  return failurePage(address, error->message);
}

namespace {

struct IconLookup {
  std::function<void(std::string)> found;
};

std::string pngDataAddress(GdkTexture* texture) {
  GBytes* png = gdk_texture_save_to_png_bytes(texture);
  gsize size = 0;
  const auto* bytes = static_cast<const guchar*>(g_bytes_get_data(png, &size));
  char* base64 = g_base64_encode(bytes, size);
  std::string address = std::string("data:image/png;base64,") + base64;
  g_free(base64);
  g_bytes_unref(png);
  return address;
}

}  // namespace

void WebView::lookUpIcon(const std::string& address, std::function<void(std::string)> found) {
  WebKitFaviconDatabase* icons = webkit_website_data_manager_get_favicon_database(
      webkit_network_session_get_website_data_manager(webkit_web_view_get_network_session(view_)));
  if (icons == nullptr) return;
  webkit_favicon_database_get_favicon(
      icons, address.c_str(), iconLookups_,
      +[](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<IconLookup> lookup(static_cast<IconLookup*>(data));
        GdkTexture* texture = webkit_favicon_database_get_favicon_finish(
            WEBKIT_FAVICON_DATABASE(source), result, nullptr);
        if (texture == nullptr) return;  // unknown, or the view went away
        lookup->found(pngDataAddress(texture));
        g_object_unref(texture);
      },
      new IconLookup{std::move(found)});
}

Gtk::Widget& WebView::widget() {
  return *widget_;
}

}  // namespace harbinel::platform

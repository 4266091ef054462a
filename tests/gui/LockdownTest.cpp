// What keeps the child in the kiosk: the window, the keys, and what a page may reach.
#include <gtkmm/popover.h>
#include <gtkmm/scrolledwindow.h>
#include <webkit/webkit.h>

#include <glibmm/main.h>

#include <algorithm>

#include "platform/ModalSession.h"
#include "tests/gui/Harness.h"

namespace harbinel::test {
namespace {

// A block filling the top of the page, to be clicked at (100, 100).
std::string bigTarget(const std::string& element) {
  return titled("Target", "<style>#t{display:block;width:400px;height:300px}</style>" + element);
}

using LockdownTest = BrowserTest;
// Real pointer and keys from the X server: run alone.
using LockdownKeyboardTest = BrowserTest;

// The window covers the monitor undecorated, a close does not end it and a page has no full
// screen (the window manager's keys are the end-to-end held-key tests'). Permissions are denied
// without a question (a listener that would say yes never hears of them), nothing is downloaded,
// and nothing but a web page reaches the main frame, directly or from a page. A page's process that
// ends brings the home page back, a bounded number of times, then a calm page.
TEST_F(LockdownTest, KioskWindowCoversTheScreenPagesReachNothingButWebPagesAndCrashesGoHome) {
  server.page("fine.example/tool.bin", {.body = "xx", .contentType = "application/octet-stream"});
  server.page("fine.example/away.html", {.body = titled("Away")});
  open();
  browser::FullScreenableWindow& window = view->window();
  const platform::MonitorFrame screen = platform::primaryMonitorFrame();
  EXPECT_EQ(window.presentationOptions(), 106u);
  EXPECT_FALSE(window.get_decorated());
  ASSERT_TRUE(waitUntil([&] { return window.get_width() == screen.width; }));
  EXPECT_EQ(window.get_height(), screen.height);
  window.close();  // what the window manager sends on Alt+F4 or its close button
  settle();
  EXPECT_TRUE(window.get_visible());
  const std::string fullScreen = "document.documentElement.requestFullscreen ? 'yes' : 'no'";
  EXPECT_EQ(runInPage(view->webView(), fullScreen), "no") << "a page may not take the screen";

  WebKitWebView* page = view->webView().gobj();
  webkit_settings_set_enable_mock_capture_devices(webkit_web_view_get_settings(page), true);
  const auto allow = +[](WebKitWebView*, WebKitPermissionRequest* request, gpointer) {
    webkit_permission_request_allow(request);
    return TRUE;
  };
  g_signal_connect(page, "permission-request", G_CALLBACK(allow), nullptr);
  const std::string html = titled("Asking", R"(<script>
const results = [];
const done = (what) => { results.push(what); if (results.length == 3) document.title = results.sort().join(' '); };
navigator.geolocation.getCurrentPosition(() => done('location:granted'), (e) => done('location:' + e.code));
Notification.requestPermission().then((p) => done('notification:' + p));
navigator.mediaDevices.getUserMedia({video: true, audio: true})
  .then(() => done('media:granted'), (e) => done('media:' + e.name));
</script>)");
  webkit_web_view_load_html(page, html.c_str(), "https://fine.example/");
  ASSERT_TRUE(waitUntil([&] { return view->webView().title().starts_with("location"); }));
  EXPECT_EQ(view->webView().title(), "location:1 media:NotAllowedError notification:denied");

  // Each download that starts anyway goes into the test's folder, not the user's.
  struct Downloads {
    int started;
    std::filesystem::path folder;
  } downloads{0, folder / "downloads"};
  std::filesystem::create_directory(downloads.folder);
  const auto aside = +[](WebKitNetworkSession*, WebKitDownload* download, Downloads* seen) {
    webkit_download_set_destination(download,
                                    (seen->folder / std::to_string(++seen->started)).c_str());
  };
  WebKitNetworkSession* session = webkit_web_view_get_network_session(page);
  const auto watch = g_signal_connect(session, "download-started", G_CALLBACK(aside), &downloads);
  show("fine.example/dl.html", titled("Download",
                                      "<a id=d download href='/tool.bin'>Get</a><script>"
                                      "document.getElementById('d').click();</script>"));
  ASSERT_TRUE(waitUntil([&] { return downloads.started == 1; }));
  load("http://fine.example/tool.bin");
  ASSERT_TRUE(waitUntil(
      [&] { return std::ranges::count(server.requests(), "fine.example/tool.bin") == 2; }));
  settle(800ms);
  EXPECT_EQ(view->webView().mainFrameURL(), "http://fine.example/dl.html");
  EXPECT_EQ(downloads.started, 1);
  EXPECT_TRUE(std::filesystem::is_empty(downloads.folder));
  g_signal_handler_disconnect(session, watch);

  for (const char* address : {"file:///etc/hostname", "javascript:document.title='Ran'"}) {
    load(address);
    settle(300ms);
    EXPECT_EQ(view->webView().mainFrameURL(), "http://fine.example/dl.html") << address;
  }
  for (const char* address : {"ftp://fine.example/", "data:text/html,<title>Data</title>"}) {
    show("fine.example/leave.html",
         titled("Leaving", std::string("<script>location.href = \"") + address +
                               "\"; setTimeout(() => document.title = 'Stayed', 600);</script>"));
    EXPECT_TRUE(waitForTitle("Stayed")) << address;
    EXPECT_EQ(view->webView().mainFrameURL(), "http://fine.example/leave.html") << address;
  }

  // Three script dialogs per load; then confirm is false and prompt null, afresh each load.
  server.page("dialogs.test/", {.body = "<script>let yes = 0; for (let i = 0; i < 5; i++) "
                                        "if (confirm('?')) yes++; "
                                        "document.title = yes + ',' + prompt('?');</script>"});
  int shown = 0;
  const auto answer = +[](WebKitWebView*, WebKitScriptDialog* dialog, int* shown) {
    ++*shown;
    webkit_script_dialog_confirm_set_confirmed(dialog, true);
    return TRUE;
  };
  g_signal_connect(view->webView().gobj(), "script-dialog", G_CALLBACK(answer), &shown);
  for (int loads = 1; loads <= 2; ++loads) {
    load("http://dialogs.test/");
    EXPECT_TRUE(waitUntil([&] { return shown == 3 * loads; }));
    EXPECT_TRUE(waitForTitle("3,null"));
  }
  g_signal_handlers_disconnect_by_data(view->webView().gobj(), &shown);

  for (int crash = 1; crash <= 3; ++crash) {
    load("http://fine.example/away.html");
    ASSERT_TRUE(waitForPage("http://fine.example/away.html"));
    webkit_web_view_terminate_web_process(view->webView().gobj());
    ASSERT_TRUE(waitUntil([&] { return view->webView().mainFrameURL() == kHome; })) << crash;
    ASSERT_TRUE(waitForTitle("Harbinel")) << "the start page is shown again after crash " << crash;
  }
  webkit_web_view_terminate_web_process(view->webView().gobj());
  EXPECT_TRUE(waitForTitle("Something went wrong"));
  view->goToHome();
  EXPECT_TRUE(waitForTitle("Harbinel"));
}

// The first widget of type W in the tree under `root`, itself included, that `wanted` takes.
template <typename W>
W* findWidget(Gtk::Widget& root, bool (*wanted)(W&) = nullptr) {
  if (auto* found = dynamic_cast<W*>(&root); found && (!wanted || wanted(*found))) return found;
  for (Gtk::Widget* child = root.get_first_child(); child; child = child->get_next_sibling()) {
    if (W* found = findWidget(*child, wanted)) return found;
  }
  return nullptr;
}

// An alert shows its texts whole, however they wrap (only texts taller than the screen scroll).
TEST(AlertTest, ShowsItsTextsWhole) {
  double hidden = -1;
  const auto previous = platform::setAlertObserver([&](platform::ShownAlert& alert) {
    auto* texts = findWidget<Gtk::ScrolledWindow>(dynamic_cast<Gtk::Window&>(alert));
    EXPECT_TRUE(waitUntil([&] { return texts->get_height() > 0; }));  // laid out
    hidden = texts->get_vadjustment()->get_upper() - texts->get_vadjustment()->get_page_size();
    alert.pressOK();
  });
  platform::runAlert("Harbinel Error", "Some of the modules are missing while opening Harbinel");
  platform::setAlertObserver(previous);
  EXPECT_EQ(hidden, 0);
}

// New windows load in the same view and are judged there. No inspector (GTK opens one on
// Ctrl+Shift+I / D in any window by default), context menu, file chooser or print dialog. A
// page whose process stops answering a click is ended, and home comes back; Home ends a page
// that holds its process (no input reached it: the home load it leaves unanswered shows it).
TEST_F(LockdownKeyboardTest, PagesOpenNoWindowMenuChooserOrDialogAndAHungPageIsEnded) {
  settings.save({{"BW0", "example.org"}});
  server.page("www.example.org/blank.html", {.body = titled("Blocked")});
  server.page("fine.example/opened.html", {.body = titled("Opened")});
  const std::size_t windows = Gtk::Window::list_toplevels().size() + 1;
  openFocused();
  AlertRecorder alerts;
  Glib::signal_idle().connect_once([&] {
    xdotool("key ctrl+shift+i ctrl+shift+d");
    settle(800ms);
    platform::stopModal(*platform::modalWindow());
  });
  platform::runModalForWindow(view->window());
  EXPECT_FALSE(webkit_settings_get_enable_developer_extras(
      webkit_web_view_get_settings(view->webView().gobj())));

  Gtk::Widget& area = view->webView().widget();
  show("fine.example/opener.html",
       bigTarget("<button id=t onclick=\"window.open('http://fine.example/opened.html', "
                 "'_blank', 'width=200')\">Open</button>"));
  clickAt(area, 100, 100);
  EXPECT_TRUE(waitForPage("http://fine.example/opened.html"));
  show("fine.example/link.html",
       bigTarget("<a id=t target=_blank href='http://www.example.org/blank.html'>Go</a>"));
  clickAt(area, 100, 100);
  expectRefused(alerts);
  EXPECT_EQ(alerts.alerts[0].second, "example.org/blank.html is Blocked");

  show("fine.example/menu.html", bigTarget("<p id=t>Right-click me</p>"));
  clickAt(area, 100, 100, 3);
  settle();
  EXPECT_FALSE(
      findWidget<Gtk::Popover>(area, [](Gtk::Popover& menu) { return menu.get_visible(); }));
  // The page notes the click, so a click that missed the field cannot pass for a refusal.
  show("fine.example/file.html", bigTarget("<input id=t type=file style='font-size:80px' "
                                           "onclick=\"document.title = 'Clicked'\">"));
  clickAt(area, 100, 100);
  ASSERT_TRUE(waitForTitle("Clicked"));
  show("fine.example/print.html",
       titled("Print", "<script>window.print(); document.title = 'Printed';</script>"));
  ASSERT_TRUE(waitForTitle("Printed"));
  settle(800ms);
  EXPECT_EQ(Gtk::Window::list_toplevels().size(), windows);

  show("busy.test/", titled("Busy",
                            "<div style='height: 100vh'></div><script>document.body."
                            "addEventListener('click', () => { while (true) {} })</script>"));
  // Each waits for WebKit to find the process unresponsive, then for our limit: slow under the
  // sanitizers on a loaded machine.
  clickAt(area, 200, 200);
  EXPECT_TRUE(waitForPage(kHome, 45s));
  show("busy.test/", titled("Busy", "<script>setTimeout(() => { while (true) {} })</script>"));
  g_signal_emit_by_name(view->outlets().btnHome->gobj(), "clicked");
  EXPECT_TRUE(waitForPage(kHome, 45s));
}

// Home does not wait for the limit: a process already reported unresponsive is ended at once.
TEST_F(LockdownKeyboardTest, HomeEndsAnUnresponsiveProcessAtOnce) {
  unresponsiveLimit = std::chrono::hours(1);
  openFocused();
  show("busy.test/", titled("Busy",
                            "<div style='height: 100vh'></div><script>document.body."
                            "addEventListener('click', () => { while (true) {} })</script>"));
  clickAt(view->webView().widget(), 200, 200);
  auto* engine = view->webView().gobj();
  ASSERT_TRUE(waitUntil([&] { return !webkit_web_view_get_is_web_process_responsive(engine); }));
  g_signal_emit_by_name(view->outlets().btnHome->gobj(), "clicked");
  EXPECT_TRUE(waitForPage(kHome));
}

}  // namespace
}  // namespace harbinel::test

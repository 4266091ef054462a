#include <gtest/gtest.h>
#include <gtkmm/popover.h>
#include <webkit/webkit.h>

#include <gdkmm/display.h>
#include <glibmm/main.h>

#include <sys/wait.h>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/ModalSession.h"
#include "tests/gui/BrowserFixture.h"

// Xlib last: its macros clash with the C++ headers above.
#include <gdk/x11/gdkx.h>

namespace harbinel::test {
namespace {

// A real window manager (openbox) on the test's display for as long as the object lives, so
// that close keys, full screen and its undoing are carried out as on a desktop. Only for tests
// that run alone: it manages every window on the display.
class WindowManager {
 public:
  WindowManager() {
    char* argv[] = {const_cast<char*>("openbox"), const_cast<char*>("--sm-disable"), nullptr};
    const auto flags =
        static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                 G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
    started_ = g_spawn_async(nullptr, argv, nullptr, flags, nullptr, nullptr, &pid_, nullptr);
    // It has taken the display once the root window names it.
    started_ =
        started_ &&
        waitUntil(
            [] {
              return std::system("xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window") == 0;
            },
            5s);
  }
  ~WindowManager() {
    if (pid_ == 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    g_spawn_close_pid(pid_);
    // It leaves the keyboard focus with no window; give it back to the window under the
    // pointer, as the server had it, so that later windows on the display take it again.
    Display* display = gdk_x11_display_get_xdisplay(Gdk::Display::get_default()->gobj());
    XSetInputFocus(display, PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
  }
  bool started() const { return started_; }

 private:
  GPid pid_ = 0;
  bool started_ = false;
};

using Alerts = std::vector<AlertRecorder::Shown>;

std::size_t toplevelCount() {
  return Gtk::Window::list_toplevels().size();
}

bool anyPopoverShown(Gtk::Widget& root) {
  if (dynamic_cast<Gtk::Popover*>(&root) != nullptr && root.get_visible()) return true;
  for (Gtk::Widget* child = root.get_first_child(); child != nullptr;
       child = child->get_next_sibling()) {
    if (anyPopoverShown(*child)) return true;
  }
  return false;
}

class LockdownTest : public BrowserTest {
 protected:
  void show(const std::string& hostAndPath, const std::string& body) {
    server.page(hostAndPath, {.body = body});
    load("http://" + hostAndPath);
    ASSERT_TRUE(waitForPage("http://" + hostAndPath));
  }
  bool waitForTitle(const std::string& title) {
    return waitUntil([&] { return view->webView().title() == title; });
  }
};

// A block filling the top of the page, to be clicked at (100, 100).
std::string bigTarget(const std::string& element) {
  return titled("Target", "<style>#t{display:block;width:400px;height:300px}</style>" + element);
}

// The page asks for full screen on a click (as it must); the answer shows in its title.
std::string fullScreenAsker() {
  return bigTarget(
      "<button id=t onclick=\"const root = document.documentElement; "
      "if (!root.requestFullscreen) { document.title = 'No API'; return; } "
      "root.requestFullscreen().then(() => document.title = 'Entered', "
      "() => document.title = 'Refused')\">Full</button>");
}

void pressKeys(std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    ASSERT_EQ(std::system((std::string("xdotool key ") + key).c_str()), 0);
  }
}

void expectCoversTheScreen(const Gtk::Window& window) {
  const platform::MonitorFrame screen = platform::primaryMonitorFrame();
  EXPECT_FALSE(window.get_decorated());
  EXPECT_EQ(window.get_width(), screen.width);
  EXPECT_EQ(window.get_height(), screen.height);
}

// Real pointer and keys from the X server: run alone.
class LockdownKeyboardTest : public LockdownTest {
 protected:
  void clickInPage(int x, int y, int button = 1) {
    clickAt(view->webView().widget(), x, y, button);
  }
  // With the page's full screen switched on, as it is not in the kiosk, the page enters it.
  void enterThePagesFullScreen() {
    webkit_settings_set_enable_fullscreen(webkit_web_view_get_settings(view->webView().gobj()),
                                          true);
    show("fine.example/full-again.html", fullScreenAsker());
    clickInPage(100, 100);
    ASSERT_TRUE(waitUntil([&] { return view->webView().title() != "Target"; }));
  }
};

TEST_F(LockdownTest, KioskWindowCoversTheMonitorUndecoratedAndNeitherPageNorCloseEndIt) {
  open();
  browser::FullScreenableWindow& window = view->window();
  EXPECT_EQ(window.presentationOptions(), 106u);
  EXPECT_FALSE(window.get_decorated());
  const platform::MonitorFrame screen = platform::primaryMonitorFrame();
  ASSERT_TRUE(waitUntil([&] { return window.get_width() == screen.width; }));
  EXPECT_EQ(window.get_height(), screen.height);
  EXPECT_EQ(window.frame(), (browser::Rect{0, 0, double(screen.width), double(screen.height)}));
  EXPECT_EQ(window.growRect(), (browser::Rect{double(screen.width) - 16, 0, 16, 16}));
  EXPECT_EQ(window.locationInScreen({10, 20}), (browser::Point{10, 20}));

  show("fine.example/closer.html",
       titled("Closer",
              "<script>window.close(); setTimeout(() => window.close(), 50); "
              "setTimeout(() => { document.title = 'Tried'; }, 150);</script>"));
  ASSERT_TRUE(waitForTitle("Tried"));
  window.close();  // what the window manager sends on Alt+F4 or its close button
  settle();
  EXPECT_TRUE(window.get_visible());
  EXPECT_EQ(view->webView().mainFrameURL(), "http://fine.example/closer.html");
  EXPECT_TRUE(view->webView().widget().get_mapped()) << "the page area stays in the window";
}

TEST_F(LockdownKeyboardTest, PageAndKeysCannotLeaveOrChangeFullScreen) {
  openFocused();
  browser::FullScreenableWindow& window = view->window();
  const platform::MonitorFrame screen = platform::primaryMonitorFrame();
  ASSERT_TRUE(waitUntil([&] { return window.get_width() == screen.width; }));
  const bool fullscreen = window.is_fullscreen();
  show("fine.example/full.html", fullScreenAsker());
  clickInPage(100, 100);
  ASSERT_TRUE(waitForTitle("No API"));

  // Were the page's full screen switched on again, the window still would not follow it.
  enterThePagesFullScreen();
  pressKeys({"F11", "Escape", "super+Down", "alt+F10"});
  settle();
  EXPECT_EQ(window.is_fullscreen(), fullscreen);
  expectCoversTheScreen(window);
  EXPECT_TRUE(window.get_visible());
}

TEST_F(LockdownKeyboardTest, UnderAWindowManagerCloseAndFullScreenKeysChangeNothing) {
  WindowManager manager;
  ASSERT_TRUE(manager.started());
  openFocused();
  browser::FullScreenableWindow& window = view->window();
  ASSERT_TRUE(waitUntil([&] { return window.is_fullscreen(); }));

  pressKeys({"alt+F4", "F11", "Escape"});
  settle();
  EXPECT_TRUE(window.get_visible());
  EXPECT_TRUE(window.is_fullscreen());

  // A page in full screen that leaves it (Escape) does not take the window with it.
  enterThePagesFullScreen();
  pressKeys({"Escape"});
  settle();
  EXPECT_TRUE(window.is_fullscreen());
  expectCoversTheScreen(window);
}

TEST_F(LockdownKeyboardTest, NewWindowsLoadInTheSameViewAndAreJudgedThere) {
  settings.save({{"BW0", "example.org"}});
  server.page("www.example.org/blank.html", {.body = titled("Blocked")});
  server.page("fine.example/opened.html", {.body = titled("Opened")});
  openFocused();
  AlertRecorder alerts;
  const std::size_t windows = toplevelCount();

  show("fine.example/opener.html",
       bigTarget("<button id=t onclick=\"window.open('http://fine.example/opened.html', "
                 "'_blank', 'width=200')\">Open</button>"));
  clickInPage(100, 100);
  EXPECT_TRUE(waitForPage("http://fine.example/opened.html"));
  EXPECT_EQ(toplevelCount(), windows);

  show("fine.example/link.html",
       bigTarget("<a id=t target=_blank href='http://www.example.org/blank.html'>Go</a>"));
  clickInPage(100, 100);
  expectRefused(alerts);
  settle();
  EXPECT_EQ(alerts.alerts(), (Alerts{{"URL Block", "example.org/blank.html is Blocked"}}));
  EXPECT_EQ(toplevelCount(), windows);
}

// GTK's own inspector opens on Ctrl+Shift+I / Ctrl+Shift+D in any window, by default.
TEST_F(LockdownKeyboardTest, NoInspectorContextMenuFileChooserOrPrintDialog) {
  const std::size_t before = toplevelCount();
  openFocused();
  const std::size_t windows = toplevelCount();
  EXPECT_EQ(windows, before + 1) << "only the kiosk window, no inspector made on the way";
  int tried = 0;
  Glib::signal_idle().connect_once([&] {
    for (const char* key : {"ctrl+shift+i", "ctrl+shift+d", "ctrl+shift+I"}) {
      tried += std::system((std::string("xdotool key ") + key).c_str()) == 0;
    }
    settle(800ms);
    EXPECT_EQ(toplevelCount(), windows) << "an inspector window opened";
    platform::stopModal();
  });
  platform::runModalForWindow(view->window());
  EXPECT_EQ(tried, 3);
  WebKitSettings* webSettings = webkit_web_view_get_settings(view->webView().gobj());
  EXPECT_FALSE(webkit_settings_get_enable_developer_extras(webSettings));

  show("fine.example/menu.html", bigTarget("<p id=t>Right-click me</p>"));
  clickInPage(100, 100, 3);
  settle();
  EXPECT_FALSE(anyPopoverShown(view->webView().widget()));

  // The page notes the click, so a click that missed the field cannot pass for a refusal.
  show("fine.example/file.html", bigTarget("<input id=t type=file style='font-size:80px' "
                                           "onclick=\"document.title = 'Clicked'\">"));
  clickInPage(100, 100);
  ASSERT_TRUE(waitForTitle("Clicked"));
  settle(800ms);
  EXPECT_EQ(toplevelCount(), windows) << "a file chooser opened";

  show("fine.example/print.html",
       titled("Print", "<script>window.print(); document.title = 'Printed';</script>"));
  ASSERT_TRUE(waitForTitle("Printed"));
  settle(800ms);
  EXPECT_EQ(toplevelCount(), windows) << "a print dialog opened";
}

// Counts the downloads the engine starts and sends each, should one go through, into a folder
// of the test rather than the user's own.
class DownloadWatch {
 public:
  DownloadWatch(WebKitWebView* view, std::filesystem::path folder)
      : session_(webkit_web_view_get_network_session(view)), folder_(std::move(folder)) {
    std::filesystem::create_directories(folder_);
    id_ = g_signal_connect(
        session_, "download-started",
        G_CALLBACK(+[](WebKitNetworkSession*, WebKitDownload* download, DownloadWatch* self) {
          ++self->started;
          const auto target = self->folder_ / std::to_string(self->started);
          webkit_download_set_destination(download, target.c_str());
        }),
        this);
  }
  ~DownloadWatch() { g_signal_handler_disconnect(session_, id_); }
  bool folderEmpty() const { return std::filesystem::is_empty(folder_); }
  int started = 0;

 private:
  WebKitNetworkSession* session_;
  std::filesystem::path folder_;
  unsigned long id_;
};

// Permissions are denied without a question, and nothing is downloaded.
TEST_F(LockdownTest, NoPermissionIsGrantedAndNothingIsDownloaded) {
  server.page("fine.example/tool.bin",
              {.body = std::string(4096, 'x'), .contentType = "application/octet-stream"});
  open();
  WebKitWebView* page = view->webView().gobj();
  // A camera and a microphone to ask for.
  webkit_settings_set_enable_mock_capture_devices(webkit_web_view_get_settings(page), true);
  // A listener that would say yes: the question never gets as far as it.
  int reachedLater = 0;
  const auto later = g_signal_connect(
      page, "permission-request",
      G_CALLBACK(+[](WebKitWebView*, WebKitPermissionRequest* request, int* reached) {
        ++*reached;
        webkit_permission_request_allow(request);
        return TRUE;
      }),
      &reachedLater);
  const std::size_t windows = toplevelCount();
  // A secure page, where the interfaces exist at all.
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
  const std::string title = view->webView().title();
  EXPECT_EQ(title, "location:1 media:NotAllowedError notification:denied");
  EXPECT_EQ(reachedLater, 0);
  EXPECT_EQ(toplevelCount(), windows);
  g_signal_handler_disconnect(page, later);

  DownloadWatch downloads(view->webView().gobj(), folder / "downloads");

  // A link that asks for a download: it starts, and stops there.
  show("fine.example/dl.html", titled("Download",
                                      "<a id=d download href='/tool.bin'>Get</a><script>"
                                      "document.getElementById('d').click();</script>"));
  ASSERT_TRUE(waitUntil([&] { return downloads.started == 1; }));
  // A page the view cannot show: refused before it becomes a download.
  load("http://fine.example/tool.bin");
  ASSERT_TRUE(waitUntil(
      [&] { return std::ranges::count(server.requests(), "fine.example/tool.bin") == 2; }));
  settle(800ms);
  EXPECT_EQ(view->webView().mainFrameURL(), "http://fine.example/dl.html");
  EXPECT_EQ(downloads.started, 1);
  EXPECT_TRUE(downloads.folderEmpty());
}

TEST_F(LockdownTest, OnlyWebPagesReachTheMainFrame) {
  const std::vector<std::string> outside = {"file:///etc/hostname",
                                            "javascript:document.title='Ran'",
                                            "data:text/html,<title>Data</title>",
                                            "view-source:http://fine.example/",
                                            "mailto:someone@example.org",
                                            "ghelp:gtk",
                                            "ftp://fine.example/"};
  open();
  // Every page the main frame showed, in order, from the engine's own commit reports.
  std::vector<std::string> commits;
  const auto committed = g_signal_connect(
      view->webView().gobj(), "load-changed",
      G_CALLBACK(+[](WebKitWebView* v, WebKitLoadEvent event, std::vector<std::string>* shown) {
        if (event == WEBKIT_LOAD_COMMITTED) shown->emplace_back(webkit_web_view_get_uri(v));
      }),
      &commits);
  // Asked for directly, as a favourite could be.
  for (const std::string& address : outside) {
    load(address);
    settle(300ms);
    EXPECT_EQ(view->webView().mainFrameURL(), kHome) << address;
    EXPECT_EQ(view->webView().title(), "Harbinel") << address;
  }
  // Asked for by a page (a javascript: address there is only the page's own script).
  for (const std::string& address : outside) {
    if (address.starts_with("javascript:")) continue;
    show("fine.example/leave.html",
         titled("Leaving", "<script>location.href = \"" + address +
                               "\"; setTimeout(() => document.title = 'Stayed', 600);</script>"));
    EXPECT_TRUE(waitForTitle("Stayed")) << address;
    EXPECT_EQ(view->webView().mainFrameURL(), "http://fine.example/leave.html") << address;
  }
  for (const std::string& shown : commits) {
    EXPECT_EQ(shown, "http://fine.example/leave.html");
  }
  g_signal_handler_disconnect(view->webView().gobj(), committed);
}

TEST_F(LockdownTest, BlockedHostTypedInCapitalsOrWithAFinalDotIsRefused) {
  settings.save({{"BW0", "example.org"}});
  server.page("www.example.org/up.html", {.body = titled("Up")});
  server.page("www.example.org./dot.html", {.body = titled("Dot")});
  server.page("example.org./bare", {.body = "<p>no title</p>"});
  open();
  AlertRecorder alerts;
  for (const char* typed :
       {"WWW.EXAMPLE.ORG/up.html", "http://www.example.org./dot.html", "Example.Org./bare"}) {
    SCOPED_TRACE(typed);
    const std::size_t seen = alerts.alerts().size();
    enter(typed);
    expectRefused(alerts, seen + 1);
  }
  settle();
  EXPECT_EQ(alerts.alerts(), (Alerts{{"URL Block", "example.org/up.html is Blocked"},
                                     {"URL Block", "example.org./dot.html is Blocked"},
                                     {"URL Block", "example.org./bare is Blocked"}}));
}

TEST_F(LockdownTest, CrashedPageComesBackHomeABoundedNumberOfTimesThenACalmPage) {
  server.page("fine.example/away.html", {.body = titled("Away")});
  open();
  for (int crash = 1; crash <= 3; ++crash) {
    load("http://fine.example/away.html");
    ASSERT_TRUE(waitForPage("http://fine.example/away.html"));
    webkit_web_view_terminate_web_process(view->webView().gobj());
    ASSERT_TRUE(waitUntil([&] { return view->webView().mainFrameURL() == kHome; })) << crash;
    ASSERT_TRUE(waitForTitle("Harbinel")) << "the start page is shown again after crash " << crash;
  }
  webkit_web_view_terminate_web_process(view->webView().gobj());
  EXPECT_TRUE(waitForTitle("Something went wrong"));
  settle();
  EXPECT_EQ(view->webView().title(), "Something went wrong");
  // Home starts the page area afresh.
  view->goToHome();
  EXPECT_TRUE(waitForPage(kHome));
  EXPECT_TRUE(waitForTitle("Harbinel"));
}

}  // namespace
}  // namespace harbinel::test

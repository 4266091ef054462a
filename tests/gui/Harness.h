#pragma once

// What the window tests share: a main loop to wait in, pages served on 127.0.0.1, recorders of
// alerts and of the journal, and the two fixtures (the main window, the parent controls).

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "browser/MainView.h"
#include "filter/BlockLists.h"
#include "parents/FrmParentController.h"
#include "parents/FrmPassword.h"
#include "platform/Alert.h"
#include "platform/Clock.h"
#include "platform/ModalSession.h"
#include "storage/HistoryLog.h"
#include "storage/SettingsFile.h"
#include "tests/core/TestSupport.h"

typedef struct _SoupServer SoupServer;
typedef struct _SoupServerMessage SoupServerMessage;
typedef struct _GHashTable GHashTable;

namespace harbinel::test {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// Runs the main loop until `done` holds; false when `timeout` passed first.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 15s);
// Runs the main loop for `span`, to let late reports arrive.
inline void settle(std::chrono::milliseconds span = 400ms) {
  waitUntil([] { return false; }, span);
}

// One answer of the test server.
struct Page {
  std::string body;
  std::string contentType = "text/html";
  bool dropped = false;  // the connection is closed without an answer
};

// An HTTP server on 127.0.0.1 in this process, stopped when the object goes away. Used as the
// web view's proxy, it answers for any host name: pages are keyed by "host/path".
class TestServer {
 public:
  TestServer();
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  std::string proxyURL() const { return proxyURL_; }
  void page(const std::string& hostAndPath, Page page) { pages_[hostAndPath] = std::move(page); }
  const Lines& requests() const { return requests_; }

 private:
  static void answer(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                     void* self);

  SoupServer* server_;
  std::string proxyURL_;
  std::map<std::string, Page> pages_;
  Lines requests_;
};

// A page with a title.
std::string titled(std::string_view title, std::string_view body = "<p>hello</p>");

// Records every alert's (message, informative text) and presses its OK button at once.
class AlertRecorder {
 public:
  using Shown = std::pair<std::string, std::string>;

  AlertRecorder();
  ~AlertRecorder();
  AlertRecorder(const AlertRecorder&) = delete;
  AlertRecorder& operator=(const AlertRecorder&) = delete;
  std::vector<Shown> alerts;

 private:
  platform::AlertObserver previous_;
};

// Takes the program's structured log at the writer, where the system journal would take it.
class Journal {
 public:
  using Entry = std::map<std::string, std::string>;
  Journal();
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;
  // The events of one kind (HARBINEL_EVENT), in order.
  std::vector<Entry> events(std::string_view kind) const;

  std::vector<Entry> entries;
};

// Enter in a text field, as the keyboard gives it.
void pressEnter(Gtk::Editable& field);
// The result of a script run in the page shown, as text ("" when it failed).
std::string runInPage(platform::WebView& view, const std::string& script);
// Runs an X tool (xdotool) as a person's hand; it must succeed.
void xdotool(const std::string& arguments);

// Acts inside modal sessions, which block the code that opened them: each step runs from the
// main loop once its condition holds. One that does not come in time ends the sessions, so that
// a broken window cannot hang the run, and fails the test.
class Steps {
 public:
  ~Steps() {
    for (sigc::connection& source : sources_) source.disconnect();
  }
  Steps& when(std::function<bool()> ready, std::function<void()> act);
  bool finished() const { return acted_ == steps_; }

 private:
  std::vector<sigc::connection> sources_;  // polls and the actions they queued
  std::size_t steps_ = 0, acted_ = 0;
};

// The window that runs the innermost session is `window`, on screen.
inline bool isInSession(const Gtk::Window* window) {
  return window != nullptr && platform::modalWindow() == window && window->get_visible();
}

// A main browser window over a test server, with its settings file and history folder in a
// temporary folder. Every host name reaches the test server.
class BrowserTest : public ::testing::Test {
 protected:
  static constexpr const char* kHome = "http://home.test/net/";

  // Opens the main window (its time limits kept in folder/time).
  void start();
  // Opens the main window and waits for the home page.
  browser::MainView& open();
  // Opens the main window and waits until it has the keyboard focus.
  void openFocused() {
    open();
    ASSERT_TRUE(waitUntil([&] { return view->window().is_active(); }));
  }
  // Waits until `address` is the page shown and its load has ended.
  bool waitForPage(const std::string& address, std::chrono::milliseconds timeout = 15s) {
    return waitUntil(
        [&] { return view->webView().mainFrameURL() == address && !view->webView().isLoading(); },
        timeout);
  }
  bool waitForTitle(const std::string& title) {
    return waitUntil([&] { return view->webView().title() == title; });
  }
  void load(const std::string& address) { view->webView().setMainFrameURL(address); }
  // Serves `body` at http://hostAndPath and shows it.
  void show(const std::string& hostAndPath, const std::string& body) {
    server.page(hostAndPath, {.body = body});
    load("http://" + hostAndPath);
    ASSERT_TRUE(waitForPage("http://" + hostAndPath));
  }
  // Types `text` in the address field and presses Enter.
  void enter(const std::string& text) {
    field().set_text(text);
    pressEnter(field());
  }
  // Waits for the alert numbered `count` and for the home page the refusal brings back.
  void expectRefused(const AlertRecorder& alerts, std::size_t count = 1) {
    ASSERT_TRUE(waitUntil([&] { return alerts.alerts.size() >= count; }));
    EXPECT_TRUE(waitForPage(kHome));
  }
  // Clicks with the real pointer, `button`, at (x, y) of `widget`.
  void clickAt(Gtk::Widget& widget, double x, double y, int button = 1);

  Lines historyLines() const;
  Gtk::Entry& field() { return *view->outlets().urltxtField; }

  TemporaryFolder folder;
  TestServer server;
  platform::SystemClock clock;
  storage::SettingsFile settings{folder / "data.plist"};
  storage::HistoryLog history{folder / "hts", clock};
  filter::BlockLists lists{storage::SettingsFile(folder / "data.plist")};
  std::unique_ptr<browser::MainView> view;
  std::chrono::milliseconds unresponsiveLimit = std::chrono::seconds(3);
};

// Saves what `window` draws as build/screenshots/<name>.png, for people to look at (drawn by
// GTK, so another test's window on the same screen never gets in).
void keepScreenshot(const std::string& name, Gtk::Window& window);

// Closes a window left open before it goes: a visible window destroyed with the focus in a text
// field makes GTK warn that the field never lost the focus.
struct CloseThenDelete {
  template <typename Controller>
  void operator()(Controller* controller) const {
    controller->window().set_visible(false);
    delete controller;
  }
};
using Prompt = std::unique_ptr<parents::FrmPassword, CloseThenDelete>;
using ParentsWindowController = std::unique_ptr<parents::FrmParentController, CloseThenDelete>;

// The parent controls over a settings file and a history folder in a temporary folder, with
// "today" pinned to 2 January 2025 in Berlin.
class ParentControls : public ::testing::Test {
 public:
  parents::ParentServices services() const {
    return {HARBINEL_BUILD_RESOURCES, settings, folder / "hts", clock, where, pacing};
  }
  // A settings file of exactly `entries`.
  void store(const std::vector<std::pair<std::string, std::string>>& entries) const {
    std::filesystem::remove(settingsPath());
    ASSERT_TRUE(settings.save(entries).ok());
  }
  Prompt prompt(std::string_view windowname, browser::myprotocolpassword* delegate = nullptr);
  ParentsWindowController parentsWindow(parents::myprotocolparent* delegate = nullptr);
  std::filesystem::path settingsPath() const { return folder / "data.plist"; }

 protected:
  TemporaryFolder folder;
  platform::FixedClock clock{localTime(2025, 1, 2, 10, 0, 0, "Europe/Berlin")};
  platform::DateLocale where{"en_US", "Europe/Berlin"};
  storage::SettingsFile settings{folder / "data.plist"};
  parents::PasswordPacing* pacing = nullptr;  // unpaced unless a test sets one
  AlertRecorder alerts;
};

}  // namespace harbinel::test

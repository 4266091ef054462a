#pragma once

#include <gtkmm/button.h>
#include <gtkmm/editable.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Alert.h"
#include "platform/Log.h"

typedef struct _SoupServer SoupServer;
typedef struct _SoupServerMessage SoupServerMessage;
typedef struct _GHashTable GHashTable;

namespace harbinel::test {

using namespace std::chrono_literals;

// Runs the main loop until `done` holds; false when `timeout` passed first.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 15s);
// Runs the main loop for `span`, to let late reports arrive.
void settle(std::chrono::milliseconds span = 400ms);

// One answer of the test server.
struct Page {
  std::string body;
  std::string contentType = "text/html";
  int status = 200;
  std::string location;  // for redirects
  bool held = false;     // answered only once releaseHeld() is called
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
  // Sends the answers held back so far, and holds none from now on.
  void releaseHeld();
  const std::vector<std::string>& requests() const { return requests_; }

 private:
  static void answer(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                     void* self);

  SoupServer* server_;
  std::string proxyURL_;
  std::map<std::string, Page> pages_;
  std::vector<std::string> requests_;
  std::vector<SoupServerMessage*> held_;
  bool released_ = false;
};

// A page with a title.
std::string titled(std::string_view title, std::string_view body = "<p>hello</p>");

// The settings file's entries, written as an XML property list by hand, as another program
// would. Values are written as they stand (no markup in them).
using Entries = std::vector<std::pair<std::string, std::optional<std::string>>>;
std::string propertyList(const Entries& entries, const std::string& moreXml = {});

// Records every alert and, unless told otherwise, presses its OK button at once.
class AlertRecorder {
 public:
  struct Shown {
    std::string message;
    std::string informative;
    bool operator==(const Shown&) const = default;
    friend void PrintTo(const Shown& shown, std::ostream* out) {
      *out << '"' << shown.message << "\" / \"" << shown.informative << '"';
    }
  };
  // Called with each alert before it is answered; returns false to leave it open (the hook
  // then owns pressing OK).
  using Hook = std::function<bool(platform::ShownAlert&)>;

  explicit AlertRecorder(Hook hook = {});
  ~AlertRecorder();
  AlertRecorder(const AlertRecorder&) = delete;
  AlertRecorder& operator=(const AlertRecorder&) = delete;
  const std::vector<Shown>& alerts() const { return alerts_; }

 private:
  std::vector<Shown> alerts_;
  Hook hook_;
  platform::AlertObserver previous_;
};

// Records the lines written to the system log.
class LogRecorder {
 public:
  LogRecorder();
  ~LogRecorder();
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
  platform::LogObserver previous_;
};

// Enter in a text field, as the keyboard gives it.
void pressEnter(Gtk::Editable& field);

// The first button under `root` whose label (or whose child label) is `label`.
Gtk::Button* findButton(Gtk::Widget& root, std::string_view label);

// The texts of the history lines in a day file, in order.
std::vector<std::string> historyTexts(const std::filesystem::path& dayFile);

}  // namespace harbinel::test

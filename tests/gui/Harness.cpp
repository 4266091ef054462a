#include "tests/gui/Harness.h"

#include <libsoup/soup.h>
#include <webkit/webkit.h>

#include <glibmm/main.h>
#include <cstdlib>
#include <span>
#include <stdexcept>

#include "parents/WeekHistory.h"

namespace harbinel::test {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  // A steady tick so that the blocking iteration below wakes to look at the clock.
  auto tick = Glib::signal_timeout().connect([] { return true; }, 10);
  bool reached = done();
  while (!reached && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, true);
    reached = done();
  }
  tick.disconnect();
  return reached;
}

TestServer::TestServer() : server_(soup_server_new(nullptr, nullptr)) {
  soup_server_add_handler(server_, nullptr, &TestServer::answer, this, nullptr);
  GError* error = nullptr;
  if (!soup_server_listen_local(server_, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &error)) {
    throw std::runtime_error(std::string("the test server cannot listen: ") + error->message);
  }
  GSList* uris = soup_server_get_uris(server_);
  char* text = g_uri_to_string(static_cast<GUri*>(uris->data));
  proxyURL_ = text;
  g_free(text);
  g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
}

TestServer::~TestServer() {
  soup_server_disconnect(server_);
  g_object_unref(server_);
}

void TestServer::answer(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                        void* self) {
  auto& server = *static_cast<TestServer*>(self);
  const char* host = g_uri_get_host(soup_server_message_get_uri(message));
  const std::string key = std::string(host != nullptr ? host : "") + path;
  server.requests_.push_back(key);
  const auto found = server.pages_.find(key);
  const bool known = found != server.pages_.end();
  const Page page = known ? found->second : Page{.body = titled("Not found")};
  if (page.dropped) {
    GIOStream* connection = soup_server_message_steal_connection(message);
    g_io_stream_close(connection, nullptr, nullptr);
    g_object_unref(connection);
    return;
  }
  soup_server_message_set_status(message, known ? 200 : 404, nullptr);
  soup_server_message_set_response(message, page.contentType.c_str(), SOUP_MEMORY_COPY,
                                   page.body.data(), page.body.size());
}

std::string titled(std::string_view title, std::string_view body) {
  return "<!DOCTYPE html><html><head><title>" + std::string(title) + "</title></head><body>" +
         std::string(body) + "</body></html>";
}

AlertRecorder::AlertRecorder() {
  previous_ = platform::setAlertObserver([this](platform::ShownAlert& alert) {
    alerts.emplace_back(alert.messageText(), alert.informativeText());
    alert.pressOK();
  });
}

AlertRecorder::~AlertRecorder() {
  platform::setAlertObserver(std::move(previous_));
}

// GLib takes one writer for the life of the process: it hands each entry to the journal
// recorder alive at the time, if any.
static Journal* currentJournal = nullptr;

static GLogWriterOutput recordEntry(GLogLevelFlags level, const GLogField* fields, gsize count,
                                    gpointer) {
  if (currentJournal != nullptr) {
    Journal::Entry& entry = currentJournal->entries.emplace_back();
    for (const GLogField& field : std::span(fields, count)) {
      const auto* value = static_cast<const char*>(field.value);
      entry[field.key] = field.length < 0 ? std::string(value) : std::string(value, field.length);
    }
  }
  return g_log_writer_default(level, fields, count, nullptr);
}

Journal::Journal() {
  static const bool installed = (g_log_set_writer_func(recordEntry, nullptr, nullptr), true);
  (void)installed;
  currentJournal = this;
}

Journal::~Journal() {
  currentJournal = nullptr;
}

std::vector<Journal::Entry> Journal::events(std::string_view kind) const {
  std::vector<Entry> found;
  for (const Entry& entry : entries) {
    const auto event = entry.find("HARBINEL_EVENT");
    if (event != entry.end() && event->second == kind) found.push_back(entry);
  }
  return found;
}

void pressEnter(Gtk::Editable& field) {
  // The field's own text widget turns the key into the field's activate signal.
  g_signal_emit_by_name(gtk_editable_get_delegate(field.gobj()), "activate");
}

std::string runInPage(platform::WebView& view, const std::string& script) {
  struct Answer {
    bool done = false;
    std::string text;
  } answer;
  webkit_web_view_evaluate_javascript(
      view.gobj(), script.c_str(), -1, nullptr, nullptr, nullptr,
      +[](GObject* source, GAsyncResult* result, gpointer data) {
        auto& answer = *static_cast<Answer*>(data);
        answer.done = true;
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
        if (value == nullptr) return;
        char* text = jsc_value_to_string(value);
        answer.text = text;
        g_free(text);
        g_object_unref(value);
      },
      &answer);
  waitUntil([&] { return answer.done; });
  return answer.text;
}

void xdotool(const std::string& arguments) {
  ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
}

Steps& Steps::when(std::function<bool()> ready, std::function<void()> act) {
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  ++steps_;
  sources_.push_back(Glib::signal_timeout().connect(
      [this, ready = std::move(ready), act = std::move(act), deadline] {
        if (ready()) {
          // From an idle source of its own: the action may open a session, inside which the
          // polls must go on.
          sources_.push_back(Glib::signal_idle().connect([this, act] {
            ++acted_;
            act();
            return false;
          }));
          return false;
        }
        if (std::chrono::steady_clock::now() < deadline) return true;
        if (platform::modalWindow() == nullptr) {
          ADD_FAILURE() << "a step never came";
          return false;
        }
        platform::stopModal(*platform::modalWindow());
        return true;
      },
      10));
  return *this;
}

void keepScreenshot(const std::string& name, Gtk::Window& window) {
  const std::filesystem::path folder = HARBINEL_SCREENSHOTS;
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(waitUntil([&] { return window.get_mapped() && window.get_width() > 0; })) << name;
  settle(1500ms);  // let the page's last frame arrive
  GdkPaintable* paintable = gtk_widget_paintable_new(GTK_WIDGET(window.gobj()));
  GtkSnapshot* snapshot = gtk_snapshot_new();
  gdk_paintable_snapshot(paintable, snapshot, window.get_width(), window.get_height());
  GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
  GdkTexture* texture = nullptr;
  if (node != nullptr) {
    texture = gsk_renderer_render_texture(gtk_native_get_renderer(GTK_NATIVE(window.gobj())), node,
                                          nullptr);
    gsk_render_node_unref(node);
  }
  const std::string path = (folder / (name + ".png")).string();
  if (texture == nullptr || !gdk_texture_save_to_png(texture, path.c_str())) {
    ADD_FAILURE() << "no screenshot: " << name;
  }
  if (texture != nullptr) g_object_unref(texture);
  g_object_unref(paintable);
}

void BrowserTest::start() {
  server.page("home.test/net/", {.body = titled("Home")});
  view = std::make_unique<browser::MainView>(browser::BrowserServices{
      .resourceFolder = HARBINEL_BUILD_RESOURCES,
      .settings = settings,
      .history = history,
      .blockLists = lists,
      .homeAddress = kHome,
      .webView = {.ephemeral = true,
                  .proxyURL = server.proxyURL(),
                  .unresponsiveLimit = unresponsiveLimit},
      .timeFile = folder / "time",
  });
  view->window();
}

browser::MainView& BrowserTest::open() {
  start();
  EXPECT_TRUE(waitForPage(kHome));
  return *view;
}

// The kiosk window covers the screen from its top left corner.
void BrowserTest::clickAt(Gtk::Widget& widget, double x, double y, int button) {
  double sx = 0, sy = 0;
  ASSERT_TRUE(widget.translate_coordinates(view->window(), x, y, sx, sy));
  xdotool("mousemove " + std::to_string(int(sx)) + " " + std::to_string(int(sy)) + " click " +
          std::to_string(button));
}

Lines BrowserTest::historyLines() const {
  Lines texts;
  for (const auto& line : parents::readWeekHistory(folder / "hts", clock.now()).lines)
    texts.insert(texts.begin(), line.address);  // newest first there
  return texts;
}

Prompt ParentControls::prompt(std::string_view windowname, browser::myprotocolpassword* delegate) {
  Prompt opened(new parents::FrmPassword(services()));
  opened->setDelegate(delegate);
  opened->setWindowname(std::string(windowname));
  opened->window().present();
  return opened;
}

ParentsWindowController ParentControls::parentsWindow(parents::myprotocolparent* delegate) {
  ParentsWindowController opened(new parents::FrmParentController(services()));
  opened->setDelegate(delegate);
  opened->window().present();
  return opened;
}

}  // namespace harbinel::test

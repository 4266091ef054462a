#include "tests/gui/GuiTestSupport.h"

#include <gtkmm/label.h>
#include <libsoup/soup.h>

#include <glibmm/main.h>
#include <sstream>
#include <stdexcept>

#include "parents/HistoryReport.h"
#include "tests/core/TestSupport.h"

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

void settle(std::chrono::milliseconds span) {
  waitUntil([] { return false; }, span);
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
  releaseHeld();
  soup_server_disconnect(server_);
  g_object_unref(server_);
}

void TestServer::releaseHeld() {
  released_ = true;
  for (SoupServerMessage* message : held_) soup_server_message_unpause(message);
  held_.clear();
}

void TestServer::answer(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                        void* self) {
  auto& server = *static_cast<TestServer*>(self);
  const char* host = g_uri_get_host(soup_server_message_get_uri(message));
  const std::string key = std::string(host != nullptr ? host : "") + path;
  server.requests_.push_back(key);
  const auto found = server.pages_.find(key);
  const Page page = found != server.pages_.end() ? found->second
                                                 : Page{.body = titled("Not found"), .status = 404};
  if (page.dropped) {
    GIOStream* connection = soup_server_message_steal_connection(message);
    g_io_stream_close(connection, nullptr, nullptr);
    g_object_unref(connection);
    return;
  }
  if (!page.location.empty()) {
    soup_server_message_set_redirect(message, page.status, page.location.c_str());
    return;
  }
  soup_server_message_set_status(message, page.status, nullptr);
  soup_server_message_set_response(message, page.contentType.c_str(), SOUP_MEMORY_COPY,
                                   page.body.data(), page.body.size());
  if (page.held && !server.released_) {
    soup_server_message_pause(message);
    server.held_.push_back(message);
  }
}

std::string titled(std::string_view title, std::string_view body) {
  return "<!DOCTYPE html><html><head><title>" + std::string(title) + "</title></head><body>" +
         std::string(body) + "</body></html>";
}

std::string propertyList(const Entries& entries, const std::string& moreXml) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTD/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<dict>\n";
  for (const auto& [key, value] : entries) {
    if (value) xml += "\t<key>" + key + "</key>\n\t<string>" + *value + "</string>\n";
  }
  return xml + moreXml + "</dict>\n</plist>\n";
}

AlertRecorder::AlertRecorder(Hook hook) : hook_(std::move(hook)) {
  previous_ = platform::setAlertObserver([this](platform::ShownAlert& alert) {
    alerts_.push_back({alert.messageText(), alert.informativeText()});
    if (!hook_ || hook_(alert)) alert.pressOK();
  });
}

AlertRecorder::~AlertRecorder() {
  platform::setAlertObserver(std::move(previous_));
}

LogRecorder::LogRecorder() {
  previous_ =
      platform::setLogObserver([this](std::string_view line) { lines_.emplace_back(line); });
}

LogRecorder::~LogRecorder() {
  platform::setLogObserver(std::move(previous_));
}

void pressEnter(Gtk::Editable& field) {
  // The field's own text widget turns the key into the field's activate signal.
  g_signal_emit_by_name(gtk_editable_get_delegate(field.gobj()), "activate");
}

Gtk::Button* findButton(Gtk::Widget& root, std::string_view label) {
  if (auto* button = dynamic_cast<Gtk::Button*>(&root)) {
    if (button->get_label().raw() == label) return button;
  }
  if (auto* text = dynamic_cast<Gtk::Label*>(&root); text && text->get_text().raw() == label) {
    for (Gtk::Widget* up = root.get_parent(); up != nullptr; up = up->get_parent()) {
      if (auto* button = dynamic_cast<Gtk::Button*>(up)) return button;
    }
  }
  for (Gtk::Widget* child = root.get_first_child(); child != nullptr;
       child = child->get_next_sibling()) {
    if (Gtk::Button* found = findButton(*child, label)) return found;
  }
  return nullptr;
}

std::vector<std::string> historyTexts(const std::filesystem::path& dayFile) {
  std::vector<std::string> texts;
  if (!std::filesystem::exists(dayFile)) return texts;
  std::istringstream lines(parents::decodeDayFile(readFile(dayFile)));
  const std::string arrow = "  --> ";
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find(arrow);
    if (at != std::string::npos) texts.push_back(line.substr(at + arrow.size()));
  }
  return texts;
}

}  // namespace harbinel::test

#include "tests/gui/ParentsSupport.h"

#include <glibmm/main.h>

#include "platform/ModalSession.h"

namespace harbinel::test {

namespace {
constexpr auto kStepTimeout = std::chrono::seconds(15);
}

Steps::Steps()
    : deadline_(std::chrono::steady_clock::now() + kStepTimeout), depth_(platform::modalDepth()) {
  poll_ = Glib::signal_timeout().connect([this] { return poll(); }, 10);
}

bool Steps::poll() {
  if (abandoned_ && platform::modalDepth() > depth_) platform::stopModal(*platform::modalWindow());
  if (abandoned_ || steps_.empty()) return true;
  if (steps_.front().ready()) {
    // From an idle source of its own: the action may open a session, inside which this poll
    // must go on.
    Glib::signal_idle().connect_once(std::move(steps_.front().act));
    steps_.pop_front();
    deadline_ = std::chrono::steady_clock::now() + kStepTimeout;
  } else if (std::chrono::steady_clock::now() > deadline_) {
    ADD_FAILURE() << steps_.size() << " step(s) never came";
    steps_.clear();
    abandoned_ = true;
  }
  return true;
}

bool isInSession(const Gtk::Window& window) {
  return platform::modalWindow() == &window && window.get_visible();
}

parents::FrmParentController* parentsWindowInSession(parents::FrmPassword& prompt) {
  parents::FrmParentController* window = prompt.frmparentcontroller();
  return window != nullptr && isInSession(window->window()) ? window : nullptr;
}

void enterPassword(parents::FrmPassword& prompt, const std::string& text) {
  prompt.outlets().txtfieldpassword->set_text(text);
  pressEnter(*prompt.outlets().txtfieldpassword);
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

void ParentControls::runPrompt(parents::FrmPassword& prompt, std::function<void()> act,
                               std::function<void(parents::FrmParentController&)> inParents) {
  Steps steps;
  steps.when([&] { return isInSession(prompt.window()); }, std::move(act));
  if (inParents) {
    steps.when([&] { return parentsWindowInSession(prompt) != nullptr; },
               [&] { inParents(*prompt.frmparentcontroller()); });
  }
  platform::runModalForWindow(prompt.window());
  EXPECT_TRUE(steps.finished());
}

}  // namespace harbinel::test

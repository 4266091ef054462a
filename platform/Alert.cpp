#include "platform/Alert.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/image.h>
#include <gtkmm/label.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/window.h>

#include <glibmm/main.h>
#include <algorithm>
#include <string>
#include <utility>

#include "platform/ModalSession.h"
#include "platform/Presentation.h"
#include "platform/Translation.h"

namespace harbinel::platform {
namespace {

AlertObserver& observer() {
  static AlertObserver current;
  return current;
}

// The alert's margins, OK button and a title bar, in pixels.
constexpr int kRoomAroundTexts = 160;

class AlertWindow final : public Gtk::Window, public ShownAlert {
 public:
  AlertWindow(std::string_view messageText, std::string_view informativeText)
      // Made through std::string: Glib::ustring(data, n) counts n in characters, not bytes, and
      // would read past the end of any text with a letter outside ASCII.
      : message_(std::string(messageText)),
        informative_(std::string(informativeText)),
        ok_(_("OK")) {
    set_title(message_.get_text());
    set_resizable(false);
    set_modal(true);
    set_deletable(true);
    add_css_class("harbinel-alert");
    layOut();
    ok_.signal_clicked().connect([this] {
      closeWindow(*this);
      stopModal(*this);
    });
  }

  std::string messageText() const override { return message_.get_text(); }
  std::string informativeText() const override { return informative_.get_text(); }
  void pressOK() override { ok_.activate(); }

 private:
  void layOut() {
    // Labels take their texts as they are: no markup, no mnemonics.
    message_.set_use_markup(false);
    informative_.set_use_markup(false);
    message_.add_css_class("title-4");
    message_.set_xalign(0);
    message_.set_wrap(true);
    informative_.set_xalign(0);
    informative_.set_wrap(true);
    informative_.set_wrap_mode(Pango::WrapMode::WORD_CHAR);
    informative_.set_max_width_chars(48);

    icon_.set_from_icon_name("dialog-warning");
    icon_.set_pixel_size(48);
    icon_.set_valign(Gtk::Align::START);

    texts_.set_orientation(Gtk::Orientation::VERTICAL);
    texts_.set_spacing(8);
    texts_.append(message_);
    texts_.append(informative_);
    texts_.set_hexpand(true);
    // However long the texts, the alert fits on the screen: they scroll instead.
    scroller_.set_child(texts_);
    scroller_.set_policy(Gtk::PolicyType::NEVER, Gtk::PolicyType::AUTOMATIC);
    scroller_.set_propagate_natural_height(true);
    // Its natural width too: else the height is measured for a narrower wrap than the texts
    // are given, and their last line is cut off.
    scroller_.set_propagate_natural_width(true);
    scroller_.set_max_content_height(std::max(primaryMonitorFrame().height - kRoomAroundTexts, 100));

    top_.set_spacing(16);
    top_.append(icon_);
    top_.append(scroller_);

    ok_.set_halign(Gtk::Align::END);
    ok_.add_css_class("suggested-action");
    ok_.set_size_request(96, -1);

    body_.set_orientation(Gtk::Orientation::VERTICAL);
    body_.set_spacing(20);
    body_.set_margin(20);
    body_.set_size_request(360, -1);
    body_.append(top_);
    body_.append(ok_);
    set_child(body_);
    set_default_widget(ok_);
    set_focus(ok_);
  }

  Gtk::Box body_;
  Gtk::Box top_;
  Gtk::Box texts_;
  Gtk::ScrolledWindow scroller_;
  Gtk::Image icon_;
  Gtk::Label message_;
  Gtk::Label informative_;
  Gtk::Button ok_;
};

}  // namespace

void runAlert(std::string_view messageText, std::string_view informativeText) {
  AlertWindow alert(messageText, informativeText);
  if (Gtk::Window* parent = modalWindow()) alert.set_transient_for(*parent);
  auto shown = Glib::signal_idle().connect([&alert] {
    if (observer() && alert.get_visible()) observer()(alert);
    return false;
  });
  runModalForWindow(alert);
  shown.disconnect();
}

AlertObserver setAlertObserver(AlertObserver next) {
  return std::exchange(observer(), std::move(next));
}

}  // namespace harbinel::platform

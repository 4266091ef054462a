#include "platform/ModalSession.h"

#include <gtkmm/eventcontrollerkey.h>
#include <gtkmm/window.h>

#include <glibmm/main.h>
#include <vector>

#include "platform/Presentation.h"

namespace harbinel::platform {
namespace {

struct Session {
  Gtk::Window& window;
  Glib::RefPtr<Glib::MainLoop> loop;
};

std::vector<Session*>& sessions() {
  static std::vector<Session*> stack;
  return stack;
}

// The other windows that this session made insensitive; each is held so that a window
// destroyed during the session is not touched afterwards. An insensitive window drops its
// focus widget, so each one's is kept too and handed back: after an alert, the keys go to the
// field they went to before (the password prompt's field, say).
class InputBlock {
 public:
  explicit InputBlock(GtkWindow* keep) {
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next) {
      auto* widget = GTK_WIDGET(item->data);
      if (item->data == keep || !gtk_widget_get_sensitive(widget)) continue;
      GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget));
      blocked_.push_back({GTK_WIDGET(g_object_ref(widget)),
                          focus != nullptr ? GTK_WIDGET(g_object_ref(focus)) : nullptr});
      gtk_widget_set_sensitive(widget, false);
    }
    g_list_free(toplevels);
  }
  ~InputBlock() {
    for (const Blocked& blocked : blocked_) {
      gtk_widget_set_sensitive(blocked.window, true);
      if (blocked.focus != nullptr) {
        if (gtk_window_get_focus(GTK_WINDOW(blocked.window)) == nullptr &&
            gtk_widget_is_ancestor(blocked.focus, blocked.window)) {
          gtk_window_set_focus(GTK_WINDOW(blocked.window), blocked.focus);
        }
        g_object_unref(blocked.focus);
      }
      g_object_unref(blocked.window);
    }
  }
  InputBlock(const InputBlock&) = delete;
  InputBlock& operator=(const InputBlock&) = delete;

 private:
  struct Blocked {
    GtkWidget* window;
    GtkWidget* focus;
  };
  std::vector<Blocked> blocked_;
};

// Without a window manager (the kiosk session has none) nobody hands the keyboard back when a
// window closes: keys would go to whatever lies under the pointer, so after an alert the
// prompt below it would not hear the next try. The window of the session below takes it back.
void giveKeyboardBack() {
  if (Gtk::Window* below = modalWindow(); below != nullptr && below->get_visible()) {
    below->present();
  }
}

// GTK opens its inspector on Ctrl+Shift+I or Ctrl+Shift+D in any of its windows unless the
// user's desktop settings turn that off; from the inspector every window of the process can be
// changed or closed. While a window is in a session, those keys end in the window itself.
class InspectorKeysRefused {
 public:
  explicit InspectorKeysRefused(Gtk::Window& window)
      : window_(window), keys_(Gtk::EventControllerKey::create()) {
    keys_->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
    keys_->signal_key_pressed().connect(
        [](guint key, guint, Gdk::ModifierType state) {
          const auto held =
              state & (Gdk::ModifierType::CONTROL_MASK | Gdk::ModifierType::SHIFT_MASK |
                       Gdk::ModifierType::ALT_MASK | Gdk::ModifierType::SUPER_MASK);
          const guint lower = gdk_keyval_to_lower(key);
          return held == (Gdk::ModifierType::CONTROL_MASK | Gdk::ModifierType::SHIFT_MASK) &&
                 (lower == GDK_KEY_i || lower == GDK_KEY_d);
        },
        false);
    window_.add_controller(keys_);
  }
  ~InspectorKeysRefused() { window_.remove_controller(keys_); }
  InspectorKeysRefused(const InspectorKeysRefused&) = delete;
  InspectorKeysRefused& operator=(const InspectorKeysRefused&) = delete;

 private:
  Gtk::Window& window_;
  Glib::RefPtr<Gtk::EventControllerKey> keys_;
};

}  // namespace

void runModalForWindow(Gtk::Window& window) {
  // Placed over the window below it, where a window manager honours that.
  if (window.get_transient_for() == nullptr && modalWindow() != nullptr) {
    window.set_transient_for(*modalWindow());
  }
  Session session{window, Glib::MainLoop::create(false)};
  InputBlock block(window.gobj());
  InspectorKeysRefused keys(window);
  sessions().push_back(&session);
  // A close asked for by the window manager closes the window and ends its session; asked for
  // a window below the innermost session, it is ignored like any other input there.
  auto closing = window.signal_close_request().connect(
      [&session, &window] {
        if (sessions().back() == &session) {
          closeWindow(window);
          session.loop->quit();
        }
        return true;
      },
      true);
  window.set_sensitive(true);
  window.present();
  centreIfNothingPlacesWindows(window);
  session.loop->run();
  closing.disconnect();
  sessions().pop_back();
  giveKeyboardBack();
}

void stopModal(const Gtk::Window& window) {
  if (!sessions().empty() && &sessions().back()->window == &window) {
    sessions().back()->loop->quit();
  }
}

Gtk::Window* modalWindow() {
  return sessions().empty() ? nullptr : &sessions().back()->window;
}

int modalDepth() {
  return static_cast<int>(sessions().size());
}

void closeWindow(Gtk::Window& window) {
  window.set_visible(false);
}

}  // namespace harbinel::platform

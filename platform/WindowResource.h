#pragma once

#include <gtkmm/builder.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace harbinel::platform {

class WindowResourceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A named window resource: "<resource folder>/<name>.ui", a GtkBuilder description whose
// objects carry the names of the controller's outlets.
class WindowResource {
 public:
  // Loads the resource; throws WindowResourceError naming the file when it is missing or broken.
  WindowResource(const std::filesystem::path& resourceFolder, const std::string& name);

  // The object called `id`, of the outlet's type; throws WindowResourceError naming the
  // resource and the outlet when there is none of that type.
  template <typename Widget>
  Widget& outlet(const std::string& id) const {
    if (auto* widget = builder_->get_widget<Widget>(id)) return *widget;
    throw missingOutlet(id);
  }

  // The window called `id`, as the derived class that controls it (constructed once, with
  // `args` after the builder's own arguments). The caller owns the returned window.
  template <typename Window, typename... Args>
  Window* derivedWindow(const std::string& id, Args&&... args) const {
    if (auto* window =
            Gtk::Builder::get_widget_derived<Window>(builder_, id, std::forward<Args>(args)...)) {
      return window;
    }
    throw missingOutlet(id);
  }

  const Glib::RefPtr<Gtk::Builder>& builder() const { return builder_; }

 private:
  WindowResourceError missingOutlet(const std::string& id) const;

  std::string name_;
  Glib::RefPtr<Gtk::Builder> builder_;
};

}  // namespace harbinel::platform

#include "platform/WindowResource.h"

namespace harbinel::platform {

namespace {

Glib::RefPtr<Gtk::Builder> load(const std::filesystem::path& file) {
  try {
    return Gtk::Builder::create_from_file(file.string());
  } catch (const Glib::Error& error) {
    throw WindowResourceError("cannot load the window resource " + file.string() + ": " +
                              error.what());
  }
}

}  // namespace

WindowResource::WindowResource(const std::filesystem::path& resourceFolder, const std::string& name)
    : name_(name), builder_(load(resourceFolder / (name + ".ui"))) {}

WindowResourceError WindowResource::missingOutlet(const std::string& id) const {
  return WindowResourceError("the window resource " + name_ + " has no suitable object '" + id +
                             "'");
}

}  // namespace harbinel::platform

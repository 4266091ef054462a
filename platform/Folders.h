#pragma once

#include <filesystem>

namespace harbinel::platform {

// The places the program keeps its files. Computed once by the application shell and handed
// to every part that needs them, so tests can point them at temporary folders.
struct Folders {
  std::filesystem::path applicationSupport;  // the user's data folder base (XDG data home)
  std::filesystem::path resources;  // the shipped resources: data.plist, dmn, dmnsame, *.ui
  // What an administrator sets for every account: managed.plist, lists.d/, allow.d/. Empty:
  // nothing is administered.
  std::filesystem::path administration;

  std::filesystem::path dataFolder() const { return applicationSupport / "Pellwick"; }
  std::filesystem::path historyFolder() const { return dataFolder() / "hts"; }
  // Today's count of the time limits.
  std::filesystem::path timeFile() const { return dataFolder() / "time"; }
  std::filesystem::path settingsFile() const { return resources / "data.plist"; }
  std::filesystem::path managedSettingsFile() const {
    return administration.empty() ? administration : administration / "managed.plist";
  }

  // The folders of this process: see applicationSupportFolder() and resourceFolder().
  static Folders forThisProcess();
};

// $XDG_DATA_HOME when it is set to an absolute path, else $HOME/.local/share (the home folder
// from the password database when HOME is unset), as GLib's g_get_user_data_dir() has it.
// Read afresh at every call.
std::filesystem::path applicationSupportFolder();

// The folder holding this executable.
std::filesystem::path executableFolder();

// The resource folder, found relative to the executable: "resources" beside it in the build
// tree, or "../share/harbinel" in an install tree. When neither exists, the build-tree place
// (so the error a missing resource causes names a sensible path).
std::filesystem::path resourceFolder();
std::filesystem::path resourceFolderFor(const std::filesystem::path& executableFolder);

// The administration folder: /etc/harbinel for a program in /usr/bin, <prefix>/etc/harbinel
// for one in <prefix>/bin, "etc/harbinel" beside the program in the build tree.
std::filesystem::path administrationFolderFor(const std::filesystem::path& executableFolder);

}  // namespace harbinel::platform

#include "platform/Folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

namespace harbinel::platform {
namespace fs = std::filesystem;

namespace {

fs::path homeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/";
}

}  // namespace

fs::path applicationSupportFolder() {
  if (const char* dataHome = std::getenv("XDG_DATA_HOME");
      dataHome != nullptr && fs::path(dataHome).is_absolute()) {
    return dataHome;
  }
  return homeFolder() / ".local" / "share";
}

fs::path executableFolder() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::current_path(error) : self.parent_path();
}

fs::path resourceFolderFor(const fs::path& executableFolder) {
  const fs::path buildTree = executableFolder / "resources";
  const fs::path installTree = executableFolder.parent_path() / "share" / "harbinel";
  std::error_code error;
  if (fs::is_directory(buildTree, error)) return buildTree;
  if (fs::is_directory(installTree, error)) return installTree;
  return buildTree;
}

fs::path administrationFolderFor(const fs::path& executableFolder) {
  std::error_code error;
  if (fs::is_directory(executableFolder / "resources", error)) {
    return executableFolder / "etc" / "harbinel";
  }
  const fs::path prefix = executableFolder.parent_path();
  return prefix == "/usr" ? fs::path("/etc/harbinel") : prefix / "etc" / "harbinel";
}

fs::path resourceFolder() {
  return resourceFolderFor(executableFolder());
}

Folders Folders::forThisProcess() {
  return Folders{applicationSupportFolder(), resourceFolder(),
                 administrationFolderFor(executableFolder())};
}

}  // namespace harbinel::platform

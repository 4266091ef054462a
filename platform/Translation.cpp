#include "platform/Translation.h"

#include <clocale>
#include <system_error>

namespace harbinel::platform {
namespace fs = std::filesystem;

fs::path localeFolderFor(const fs::path& executableFolder) {
  const fs::path buildTree = executableFolder / "locale";
  const fs::path installTree = executableFolder.parent_path() / "share" / "locale";
  std::error_code error;
  return fs::is_directory(buildTree, error) ? buildTree : installTree;
}

void startTranslations(const fs::path& localeFolder) {
  std::setlocale(LC_ALL, "");
  bindtextdomain(GETTEXT_PACKAGE, localeFolder.c_str());
  // The windows and alerts take UTF-8 whatever the locale's own encoding.
  bind_textdomain_codeset(GETTEXT_PACKAGE, "UTF-8");
  // No textdomain(): GLib would then decide once, from the language at the first text, that
  // the program is untranslated and never translate it. Every call and window resource names
  // the domain itself.
}

}  // namespace harbinel::platform

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

std::string withValues(std::string_view text, std::initializer_list<std::string_view> values) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    const std::size_t number = at + 1 < text.size() ? static_cast<std::size_t>(text[at + 1] - '1')
                                                     : values.size();
    if (text[at] == '%' && number < values.size()) {
      result += values.begin()[number];
      ++at;
    } else {
      result += text[at];
    }
  }
  return result;
}

}  // namespace harbinel::platform

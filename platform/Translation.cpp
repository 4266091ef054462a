#include "platform/Translation.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <system_error>

namespace harbinel::platform {
namespace fs = std::filesystem;

namespace {

fs::path& translationsFolder() {
  static fs::path folder;
  return folder;
}

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// "de_DE.UTF-8@euro" as ICU names it: "de_DE".
std::string withoutCodesetAndModifier(std::string_view name) {
  return std::string(name.substr(0, name.find_first_of(".@")));
}

}  // namespace

fs::path localeFolderFor(const fs::path& executableFolder) {
  const fs::path buildTree = executableFolder / "locale";
  const fs::path installTree = executableFolder.parent_path() / "share" / "locale";
  std::error_code error;
  return fs::is_directory(buildTree, error) ? buildTree : installTree;
}

void startTranslations(const fs::path& localeFolder) {
  translationsFolder() = localeFolder;
  std::setlocale(LC_ALL, "");
  bindtextdomain(GETTEXT_PACKAGE, localeFolder.c_str());
  // The windows and alerts take UTF-8 whatever the locale's own encoding.
  bind_textdomain_codeset(GETTEXT_PACKAGE, "UTF-8");
  // No textdomain(): GLib would then decide once, from the language at the first text, that
  // the program is untranslated and never translate it. Every call and window resource names
  // the domain itself.
}

std::string textLocaleFor(const LocaleVariables& variables,
                          const std::function<bool(std::string_view language)>& hasTranslation) {
  const std::string& messages = !variables.all.empty()        ? variables.all
                                : !variables.messages.empty() ? variables.messages
                                                              : variables.lang;
  // gettext reads LANGUAGE only outside the C locale (C.UTF-8 is outside it).
  if (messages.empty() || messages == "C" || messages == "POSIX") return "";
  std::string_view entries = variables.language;
  while (!entries.empty()) {
    const std::size_t end = std::min(entries.find(':'), entries.size());
    const std::string entry = withoutCodesetAndModifier(entries.substr(0, end));
    entries.remove_prefix(std::min(end + 1, entries.size()));
    if (entry.empty()) continue;
    if (hasTranslation(entry) || hasTranslation(entry.substr(0, entry.find('_')))) return entry;
  }
  const std::string locale = withoutCodesetAndModifier(messages);
  return locale == "C" ? "" : locale;
}

std::string textLocale() {
  const fs::path& folder = translationsFolder();
  return textLocaleFor({variable("LANGUAGE"), variable("LC_ALL"), variable("LC_MESSAGES"),
                        variable("LANG")},
                       [&](std::string_view language) {
                         std::error_code error;
                         return !folder.empty() &&
                                fs::exists(folder / language / "LC_MESSAGES" /
                                               (std::string(GETTEXT_PACKAGE) + ".mo"),
                                           error);
                       });
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

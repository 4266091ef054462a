#pragma once

// Every text a person reads goes through gettext in the text domain GETTEXT_PACKAGE (set by
// the build): _("text") for a plain text, C_("context", "text") where one English text needs
// two translations. The English text is the message id and the fallback.
#include <glib/gi18n-lib.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace harbinel::platform {

// The folder of the compiled translations, found beside the program as the resource folder
// is: "locale" beside it in the build tree, "<prefix>/share/locale" in an install tree.
std::filesystem::path localeFolderFor(const std::filesystem::path& executableFolder);

// Follows the desktop's language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG) for this program's texts,
// read from `localeFolder`; texts without a translation stay English.
void startTranslations(const std::filesystem::path& localeFolder);

// The locale variables as the environment holds them ("" when unset).
struct LocaleVariables {
  std::string language;  // LANGUAGE: languages in order of preference, separated by ':'
  std::string all;       // LC_ALL
  std::string messages;  // LC_MESSAGES
  std::string lang;      // LANG
};

// The ICU locale of the language this program's texts are shown in, so that dates and day
// names read in the same language as the words around them: as gettext chooses, the first
// entry of LANGUAGE that `hasTranslation` (language_TERRITORY or language alone), unless the
// locale is C or POSIX; else LC_ALL, LC_MESSAGES or LANG, the first set. "" for the C locale
// (ICU's default). Codesets and modifiers are dropped: "de_DE.UTF-8@euro" is "de_DE".
std::string textLocaleFor(const LocaleVariables& variables,
                          const std::function<bool(std::string_view language)>& hasTranslation);

// textLocaleFor the environment and the translations in the folder startTranslations was given.
std::string textLocale();

// `text` with `values` put in place of %1, %2, ... (as Glib::ustring::compose does in the
// windows; the core has no glibmm): a translation may put the values in another order.
std::string withValues(std::string_view text, std::initializer_list<std::string_view> values);

}  // namespace harbinel::platform

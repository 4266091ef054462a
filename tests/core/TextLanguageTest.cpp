// Texts made in the core for a person to read come out in the desktop's language, and dates in
// the language of those texts.
#include <gtest/gtest.h>

#include "platform/AtomicFile.h"
#include "platform/Translation.h"
#include "storage/SettingsFile.h"
#include "tests/core/TestSupport.h"

extern "C" int _nl_msg_cat_cntr;  // glibc's count that makes gettext forget its cached texts

namespace harbinel::test {
namespace {

TEST(TextLanguage, CoreTextsAreInTheDesktopLanguageAndDatesInTheTextsLanguage) {
  setenv("LC_ALL", "C.UTF-8", 1);  // gettext ignores LANGUAGE in the C locale
  platform::startTranslations(HARBINEL_BUILD_LOCALE);
  TemporaryFolder folder;
  writeFile(folder / "managed.plist", "");
  const char* const languages[][3] = {
      {"de", "Die Einstellungsdatei %1 der Verwaltung ist leer.", "%1 ist keine gewöhnliche Datei"},
      {"", "The administrator's settings file %1 is empty.", "%1 is not a regular file"},
  };
  for (const auto& [language, problem, write] : languages) {
    setenv("LANGUAGE", language, 1);
    ++_nl_msg_cat_cntr;
    EXPECT_EQ(storage::readManagedSettings(folder / "managed.plist").problem,
              platform::withValues(problem, {(folder / "managed.plist").string()}));
    EXPECT_EQ(platform::writeFileAtomically(folder.path(), "bytes").detail,
              platform::withValues(write, {folder.path().string()}));
  }
  unsetenv("LC_ALL");

  // Dates follow the language gettext chooses for the texts, else the messages locale.
  const std::pair<platform::LocaleVariables, const char*> cases[] = {
      {{"it:fr_CA.UTF-8:de", "", "", "en_GB.UTF-8"}, "fr_CA"},  // no Italian: the next one
      {{"it", "fr_FR.UTF-8@x", "nl_NL.UTF-8", "de_DE.UTF-8"}, "fr_FR"},
      {{"de", "", "", "C.UTF-8"}, "de"},
      {{"de", "C", "", "de_DE.UTF-8"}, ""},  // the C locale: gettext reads no LANGUAGE
  };
  const auto translated = [](std::string_view language) {
    return language == "de" || language == "es" || language == "fr";
  };
  for (const auto& [variables, locale] : cases) {
    EXPECT_EQ(platform::textLocaleFor(variables, translated), locale) << variables.language;
  }
}

}  // namespace
}  // namespace harbinel::test

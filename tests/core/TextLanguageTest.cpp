// Texts made in the core for a person to read (what is wrong with a file, why a save failed)
// come out in the desktop's language.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/Translation.h"
#include "storage/SettingsFile.h"
#include "tests/core/TestSupport.h"

extern "C" int _nl_msg_cat_cntr;  // glibc's count that makes gettext forget its cached texts

namespace harbinel::test {
namespace {

class TextLanguage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // gettext ignores LANGUAGE in the C locale.
    setenv("LC_ALL", "C.UTF-8", 1);
    platform::startTranslations(HARBINEL_BUILD_LOCALE);
  }
  static void TearDownTestSuite() {
    unsetenv("LC_ALL");
    speak("");
  }
  static void speak(const char* language) {
    setenv("LANGUAGE", language, 1);
    ++_nl_msg_cat_cntr;
  }
  TemporaryFolder folder;
};

TEST_F(TextLanguage, FileProblemsAndFailedWritesAreSaidInTheDesktopLanguage) {
  writeFile(folder / "managed.plist", "");
  const struct {
    const char* language;
    const char* problem;
    const char* write;
  } cases[] = {
      {"", "The administrator's settings file %1 is empty.", "%1 is not a regular file"},
      {"de", "Die Einstellungsdatei %1 der Verwaltung ist leer.", "%1 ist keine gewöhnliche Datei"},
      {"fr", "Le fichier de réglages %1 de l'administrateur est vide.",
       "%1 n'est pas un fichier ordinaire"},
      {"es", "El archivo de ajustes %1 del administrador está vacío.", "%1 no es un archivo normal"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    speak(c.language);
    const std::string managed = (folder / "managed.plist").string();
    EXPECT_EQ(storage::readManagedSettings(folder / "managed.plist").problem,
              platform::withValues(c.problem, {managed}));
    EXPECT_EQ(platform::writeFileAtomically(folder.path(), "bytes").detail,
              platform::withValues(c.write, {folder.path().string()}));
  }
}

}  // namespace
}  // namespace harbinel::test

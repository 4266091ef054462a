#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unicode/uloc.h>

#include <cstdlib>
#include <filesystem>

#include "app/Provisioning.h"
#include "platform/DateFormat.h"
#include "tests/core/TestSupport.h"

namespace {
namespace fs = std::filesystem;
using namespace harbinel;

unsigned modeOf(const fs::path& path) {
  struct stat status {};
  ::stat(path.c_str(), &status);
  return status.st_mode & 0777;
}

// The copy holds the parent password: the owner alone may read it, whatever the umask.
TEST(StartUpMends, SettingsCopyIsPrivateAndTheListsAreNot) {
  test::TemporaryFolder root;
  platform::Folders folders{root / "share", root / "resources", {}};
  fs::create_directories(folders.resources);
  for (const char* name : {"data.plist", "dmn", "dmnsame"})
    test::writeFile(folders.resources / name, "x");
  const platform::FixedClock clock(test::localTime(2026, 12, 5, 12, 0, 0, "UTC"));
  app::createPlist(folders, clock, {"en_GB", "UTC"}, [] { FAIL(); });
  EXPECT_EQ(modeOf(folders.dataFolder() / "data.plist"), 0600u);
  EXPECT_EQ(modeOf(folders.dataFolder() / "dmn") & 0600u, 0600u);
}

// An empty LC_ALL is skipped as the C library skips it, so month names come from LANG.
TEST(StartUpMends, EmptyLocaleVariableFallsThroughToTheNext) {
  const char* savedAll = std::getenv("LC_ALL");
  const char* savedLang = std::getenv("LANG");
  const std::string all = savedAll ? savedAll : "", lang = savedLang ? savedLang : "";
  ::setenv("LC_ALL", "", 1);
  ::setenv("LANG", "de_DE.UTF-8", 1);
  platform::dropEmptyLocaleVariables();
  UErrorCode status = U_ZERO_ERROR;
  uloc_setDefault(nullptr, &status);  // read afresh from the environment
  const auto december = test::localTime(2026, 12, 14, 12, 0, 0, "UTC");
  const std::string month = platform::formatDate(december, "MMMM", {"", "UTC"});
  savedAll ? ::setenv("LC_ALL", all.c_str(), 1) : ::unsetenv("LC_ALL");
  savedLang ? ::setenv("LANG", lang.c_str(), 1) : ::unsetenv("LANG");
  uloc_setDefault(nullptr, &status);
  EXPECT_EQ(month, "Dezember");
  EXPECT_EQ(month, platform::formatDate(december, "MMMM", {"de_DE", "UTC"}));
}

}  // namespace

#include "app/Provisioning.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/core/TestSupport.h"

namespace {
namespace fs = std::filesystem;
using namespace harbinel::app;
using namespace harbinel::platform;
using namespace harbinel::test;

// A user's home with an empty data home, and a resource folder with the three shipped files.
class Provisioning : public ::testing::Test {
 protected:
  Provisioning() {
    fs::create_directories(folders_.resources);
    writeFile(folders_.resources / "data.plist", "<plist>shipped settings</plist>");
    writeFile(folders_.resources / "dmn", "blocked.example\nother.example\n");
    writeFile(folders_.resources / "dmnsame", "same.example\n");
  }

  // Runs start-up's provisioning and answers how many steps failed.
  int start() {
    int failures = 0;
    createPlist(folders_, clock_, {"en_GB", "Europe/Berlin"}, [&] { ++failures; });
    return failures;
  }
  fs::path data(std::string_view name) const { return folders_.dataFolder() / name; }

  TemporaryFolder root_;
  Folders folders_{root_ / "share", root_ / "resources", {}};
  FixedClock clock_{localTime(2026, 12, 5, 16, 5, 9, "Europe/Berlin")};
};

// The settings copy holds the parent password: the owner alone may read it, whatever the umask.
TEST_F(Provisioning, FirstStartCreatesEverythingAndLaterStartsAddOnlyWhatIsMissing) {
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(fs::file_size(folders_.historyFolder() / "05122026.lic"), 0u);
  for (const char* name : {"data.plist", "dmn", "dmnsame"}) {
    EXPECT_EQ(readFile(data(name)), readFile(folders_.resources / name)) << name;
  }
  EXPECT_EQ(fs::status(data("data.plist")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_NE(fs::status(data("dmn")).permissions() & fs::perms::others_read, fs::perms::none);

  // The user's copies and the day's history are theirs: no later start may overwrite them.
  writeFile(data("dmn"), "edited.example\n");
  writeFile(folders_.historyFolder() / "05122026.lic", "\xFF\xFE");
  writeFile(folders_.resources / "dmnsame", "a newer shipped list\n");
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(readFile(data("dmn")), "edited.example\n");
  EXPECT_EQ(readFile(data("dmnsame")), "same.example\n");
  EXPECT_EQ(fs::file_size(folders_.historyFolder() / "05122026.lic"), 2u);

  // 23:30 UTC on 6 December is already the 7th in Berlin.
  clock_.set(localTime(2026, 12, 6, 23, 30, 0, "UTC"));
  fs::remove(data("dmn"));
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(namesIn(folders_.historyFolder()),
            (std::vector<std::string>{"05122026.lic", "07122026.lic"}));
  EXPECT_EQ(readFile(data("dmn")), "blocked.example\nother.example\n");
}

// A shipped file that cannot be copied, or a plain file where a folder belongs, fails its step
// alone (what belongs inside fails too) and leaves nothing behind; the file in the way stays.
TEST_F(Provisioning, WhatCannotBeMadeFailsItsStepAlone) {
  fs::remove(folders_.resources / "dmnsame");
  fs::remove(folders_.resources / "dmn");
  fs::create_directory(folders_.resources / "dmn");
  EXPECT_EQ(start(), 2);
  EXPECT_EQ(namesIn(folders_.dataFolder()),
            (std::vector<std::string>{"allow", "data.plist", "hts"}));

  fs::remove_all(folders_.historyFolder());
  writeFile(folders_.historyFolder(), "in the way");
  EXPECT_EQ(start(), 3);
  EXPECT_EQ(readFile(folders_.historyFolder()), "in the way");

  fs::remove_all(folders_.dataFolder());
  writeFile(folders_.dataFolder(), "in the way");
  EXPECT_EQ(start(), 5);
  EXPECT_EQ(readFile(folders_.dataFolder()), "in the way");
}

}  // namespace

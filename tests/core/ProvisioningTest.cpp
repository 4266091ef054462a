#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Provisioning.h"
#include "platform/Log.h"
#include "tests/core/TestSupport.h"

namespace {
namespace fs = std::filesystem;
using namespace harbinel::app;
using namespace harbinel::platform;
using namespace harbinel::test;

const DateLocale kBerlin{"en_GB", "Europe/Berlin"};

// A user's home with an empty data home, and a resource folder with the three shipped files.
class Provisioning : public ::testing::Test {
 protected:
  Provisioning() : clock_(localTime(2026, 12, 5, 16, 5, 9, "Europe/Berlin")) {
    folders_.applicationSupport = root_ / "share";
    folders_.resources = root_ / "resources";
    fs::create_directories(folders_.resources);
    writeFile(folders_.resources / "data.plist", "<plist>shipped settings</plist>");
    writeFile(folders_.resources / "dmn", "blocked.example\nother.example\n");
    writeFile(folders_.resources / "dmnsame", "same.example\n");
    previousObserver_ = harbinel::platform::setLogObserver(
        [this](std::string_view line) { logged_.emplace_back(line); });
  }
  ~Provisioning() override { harbinel::platform::setLogObserver(previousObserver_); }

  // Runs start-up's provisioning and answers how many steps failed.
  int start() {
    int failures = 0;
    dayFile_ = createPlist(folders_, clock_, kBerlin, [&] { ++failures; });
    return failures;
  }

  fs::path data(std::string_view name) const { return folders_.dataFolder() / name; }

  TemporaryFolder root_;
  Folders folders_;
  FixedClock clock_;
  std::string dayFile_;
  std::vector<std::string> logged_;
  harbinel::platform::LogObserver previousObserver_;
};

TEST_F(Provisioning, FirstStartCreatesEverythingAndLogsTheDayFile) {
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(dayFile_, "05122026.lic");
  EXPECT_EQ(logged_, std::vector<std::string>{"05122026.lic"});
  const fs::path day = folders_.historyFolder() / "05122026.lic";
  ASSERT_TRUE(fs::is_regular_file(day));
  EXPECT_EQ(fs::file_size(day), 0u);
  for (const char* name : {"data.plist", "dmn", "dmnsame"}) {
    EXPECT_EQ(readFile(data(name)), readFile(folders_.resources / name)) << name;
  }
}

TEST_F(Provisioning, LaterStartsAddOnlyWhatIsMissing) {
  ASSERT_EQ(start(), 0);
  // The user's copies and the day's history are theirs: no later start may overwrite them.
  writeFile(data("dmn"), "edited.example\n");
  writeFile(folders_.historyFolder() / "05122026.lic", std::string("\xFF\xFE"
                                                                   "a\0",
                                                                   4));
  writeFile(folders_.resources / "dmnsame", "a newer shipped list\n");

  EXPECT_EQ(start(), 0);
  EXPECT_EQ(logged_.size(), 2u);
  EXPECT_EQ(readFile(data("dmn")), "edited.example\n");
  EXPECT_EQ(readFile(data("dmnsame")), "same.example\n");
  EXPECT_EQ(fs::file_size(folders_.historyFolder() / "05122026.lic"), 4u);

  // 23:30 UTC on 6 December is already the 7th in Berlin.
  clock_.set(localTime(2026, 12, 6, 23, 30, 0, "UTC"));
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(dayFile_, "07122026.lic");
  EXPECT_EQ(namesIn(folders_.historyFolder()),
            (std::vector<std::string>{"05122026.lic", "07122026.lic"}));

  fs::remove(data("dmn"));
  EXPECT_EQ(start(), 0);
  EXPECT_EQ(readFile(data("dmn")), "blocked.example\nother.example\n");
}

// A shipped file that is missing, or a folder that cannot be copied as a file, fails its step
// alone and leaves nothing behind.
TEST_F(Provisioning, ShippedFileThatCannotBeCopiedFailsItsStepAlone) {
  fs::remove(folders_.resources / "dmnsame");
  fs::remove(folders_.resources / "dmn");
  fs::create_directory(folders_.resources / "dmn");
  EXPECT_EQ(start(), 2);
  EXPECT_EQ(namesIn(folders_.dataFolder()),
            (std::vector<std::string>{"allow", "data.plist", "hts"}));
}

// A plain file where a folder belongs counts as present and stays; what belongs inside fails.
TEST_F(Provisioning, PlainFilesWhereFoldersBelongFailWhatGoesInside) {
  fs::create_directories(folders_.dataFolder());
  writeFile(folders_.historyFolder(), "in the way");
  EXPECT_EQ(start(), 1);
  EXPECT_EQ(readFile(folders_.historyFolder()), "in the way");
  EXPECT_TRUE(fs::exists(data("dmnsame")));

  fs::remove_all(folders_.dataFolder());
  writeFile(folders_.dataFolder(), "in the way");
  EXPECT_EQ(start(), 5);
  EXPECT_EQ(readFile(folders_.dataFolder()), "in the way");

  fs::remove_all(folders_.applicationSupport);
  writeFile(folders_.applicationSupport, "not a folder");
  EXPECT_EQ(start(), 6);
  EXPECT_EQ(logged_.size(), 3u) << "the day file is logged even when it cannot be made";
}

}  // namespace

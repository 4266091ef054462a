// The parent's settings must survive a program killed in the middle of a save. (A full disk is
// the file size limit of the settings' and the history's own failure tests.)
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "storage/SettingsFile.h"
#include "tests/core/TestSupport.h"

namespace fs = std::filesystem;
using namespace harbinel::storage;
using namespace harbinel::test;

namespace {

// Every save of generation g writes g into all twenty keys, so a file mixing two saves shows.
std::vector<std::pair<std::string, std::string>> generation(int g) {
  std::vector<std::pair<std::string, std::string>> entries{{"PD", std::to_string(g)}};
  for (const char* list : {"BW", "FW"}) {
    for (int slot = 0; slot < 9; ++slot) {
      entries.emplace_back(list + std::to_string(slot), std::to_string(g));
    }
  }
  entries.emplace_back("AB", std::to_string(g));
  return entries;
}

}  // namespace

TEST(DataSafety, KilledAtAnyMomentOfASaveTheSettingsHoldOneWholeGeneration) {
  const TemporaryFolder folder;
  const SettingsFile settings(folder / "data.plist");
  ASSERT_TRUE(settings.save(generation(0)).ok());

  std::mt19937 random(20261206);
  for (int round = 0; round < 40; ++round) {
    const pid_t saver = ::fork();
    ASSERT_GE(saver, 0);
    if (saver == 0) {
      for (int g = 1;; ++g) settings.save(generation(g));
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    ::kill(saver, SIGKILL);
    ::waitpid(saver, nullptr, 0);

    const auto loaded = settings.load();
    ASSERT_EQ(loaded.size(), 20u) << "round " << round;
    const std::string g = loaded.at("PD");
    for (const auto& [key, value] : loaded) {
      ASSERT_EQ(value, g) << "round " << round << ": " << key << " from another save";
    }
  }
  // The next save clears away what killed saves left behind.
  ASSERT_TRUE(settings.save(generation(0)).ok());
  EXPECT_EQ(harbinel::test::namesIn(folder.path()),
            (std::vector<std::string>{".data.plist.lock", "data.plist"}));
}

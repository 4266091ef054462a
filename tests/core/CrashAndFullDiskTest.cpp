// The parent's settings and the history must survive the worst a machine does: a program
// killed in the middle of a save, and a disk that is full.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "platform/Clock.h"
#include "storage/HistoryLog.h"
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

// A small file system of its own that the test can fill; only root may mount one.
class SmallDisk {
 public:
  explicit SmallDisk(const fs::path& where) : where_(where) {
    fs::create_directory(where_);
    mounted_ = ::mount("tmpfs", where_.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount(where_.c_str());
  }
  bool mounted() const { return mounted_; }
  // Takes every free block, so the next write finds the disk full.
  void fill() const {
    FILE* filler = std::fopen((where_ / "filler").c_str(), "wb");
    const std::string block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
           std::fflush(filler) == 0) {
    }
    std::fclose(filler);
  }

 private:
  fs::path where_;
  bool mounted_ = false;
};

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

TEST(DataSafety, AFullDiskLosesTheNewLineOrSaveButNothingBefore) {
  const TemporaryFolder folder;
  const SmallDisk disk(folder / "disk");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a small file system needs root";

  const harbinel::platform::SystemClock clock;
  const HistoryLog history(folder / "disk" / "hts", clock);
  const SettingsFile settings(folder / "disk" / "data.plist");
  ASSERT_TRUE(history.append("before the disk filled"));
  ASSERT_TRUE(settings.save(generation(1)).ok());
  const std::string dayFile = readFile(history.todaysFile());
  const std::string settingsFile = readFile(settings.path());

  disk.fill();
  EXPECT_FALSE(history.append(std::string(8000, 'y')));
  const SaveResult saved = settings.save(generation(2));
  EXPECT_EQ(saved.status, SaveResult::Status::WriteFailed);
  EXPECT_FALSE(saved.detail.empty());

  EXPECT_EQ(readFile(history.todaysFile()), dayFile);
  EXPECT_EQ(readFile(settings.path()), settingsFile);
  EXPECT_EQ(settings.value("PD"), "1");
}

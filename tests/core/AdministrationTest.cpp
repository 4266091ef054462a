// The administrator's settings over the parent's: they win at every read, a save never writes
// them, and a file that cannot be used is said once and never takes the parent's settings along.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "filter/BlockLists.h"
#include "platform/Log.h"
#include "storage/SettingsFile.h"
#include "tests/core/TestSupport.h"

namespace harbinel::test {
namespace {

std::string plist(const std::string& body) {
  return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>" + body + "</dict></plist>";
}

class Administration : public ::testing::Test {
 protected:
  Administration() {
    previous_ = platform::setLogObserver([this](std::string_view line) { logged.emplace_back(line); });
    EXPECT_TRUE(parents.save({{"PD", "parent"}, {"BW0", "own.example"}, {"BW1", "mine.example"}}).ok());
  }
  ~Administration() override { platform::setLogObserver(previous_); }

  TemporaryFolder folder;
  storage::SettingsFile parents{folder / "data.plist"};
  storage::SettingsFile settings{folder / "data.plist", folder / "managed.plist"};
  std::vector<std::string> logged;
  platform::LogObserver previous_;
};

TEST_F(Administration, ManagedKeysWinEveryReadAndAreNeverSaved) {
  writeFile(folder / "managed.plist",
            plist("<key>BW1</key><string>school.example</string><key>AB</key><string>ON</string>"
                  "<key>BW2</key><integer>3</integer>"));
  EXPECT_EQ(settings.load(),
            (storage::Settings{{"PD", "parent"}, {"BW0", "own.example"},
                               {"BW1", "school.example"}, {"AB", "ON"}}));
  filter::BlockLists lists{settings};
  EXPECT_EQ(lists.readfromdmn("school.example"), 1);
  EXPECT_EQ(lists.readfromdmn("mine.example"), -1);

  const auto saved = settings.save({{"PD", "parent"}, {"BW0", "new.example"}, {"BW1", "x"}, {"AB", "OFF"}});
  ASSERT_TRUE(saved.ok()) << saved.detail;
  EXPECT_EQ(saved.changedKeys, std::vector<std::string>{"BW0"});
  EXPECT_EQ(parents.load(), (storage::Settings{{"PD", "parent"}, {"BW0", "new.example"},
                                               {"BW1", "mine.example"}}));
  // The value that is not a text is said once, however often the settings are read.
  settings.load();
  EXPECT_EQ(logged.size(), 1u);
  EXPECT_NE(logged.at(0).find("BW2"), std::string::npos);
}

TEST_F(Administration, AFileThatCannotBeReadIsSaidOnceAndLeavesTheParentsSettings) {
  for (const std::string& bytes : {std::string("<plist><dict><key>PD</key>"), std::string("")}) {
    writeFile(folder / "managed.plist", bytes);
    const auto managed = settings.managed();
    EXPECT_NE(managed.problem.find((folder / "managed.plist").string()), std::string::npos);
    EXPECT_EQ(settings.load(), parents.load());
    settings.load();
  }
  EXPECT_EQ(logged.size(), 2u);
  std::filesystem::remove(folder / "managed.plist");
  EXPECT_EQ(settings.managed().problem, "");
}

// lists.d is asked after the shipped lists, its files in name order, under either rule;
// allow.d adds to the allowed websites.
TEST_F(Administration, ListsOfTheAdministratorTakePartInTheDecision) {
  std::filesystem::create_directories(folder / "etc" / "lists.d");
  std::filesystem::create_directories(folder / "etc" / "allow.d");
  writeFile(folder / "dmnsame", "shipped.example\n");
  writeFile(folder / "etc" / "lists.d" / "b.list", "both.example\nshipped.example\n");
  writeFile(folder / "etc" / "lists.d" / "a.list", "x.example\nboth.example\n");
  writeFile(folder / "etc" / "lists.d" / "c.txt", "ignored.example\n");
  writeFile(folder / "etc" / "allow.d" / "school.list", "learn.example\n");
  filter::BlockLists lists{settings};
  lists.createDnsArray(folder.path());
  lists.loadAdministeredLists(folder / "etc");
  for (const std::string whole : {"OFF", "ON"}) {
    ASSERT_TRUE(parents.save({{"WS", whole}, {"OF", "OFF"}}).ok());
    const auto both = lists.decide("http://www.both.example/");
    EXPECT_EQ(both.rule, filter::Rule::Administered) << whole;
    EXPECT_EQ(both.list, (folder / "etc" / "lists.d" / "a.list").string());
    EXPECT_EQ(both.position, 1);
    EXPECT_EQ(filter::decidingList(lists.decide("http://shipped.example/")), "dmnsame");
    EXPECT_FALSE(lists.decide("http://ignored.example/").refused());
  }
  EXPECT_TRUE(lists.decide("http://m.x.example/").refused()) << "names above, under WS";
  ASSERT_TRUE(parents.save({{"OF", "ON"}}).ok());
  EXPECT_FALSE(lists.decide("http://www.learn.example/a").refused());
  EXPECT_EQ(filter::decidingList(lists.decide("http://other.example/")), "not-allowed");
}

}  // namespace
}  // namespace harbinel::test

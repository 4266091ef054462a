#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "browser/Geometry.h"
#include "filter/BlockCheck.h"
#include "filter/DomainList.h"
#include "tests/core/TestSupport.h"

namespace harbinel {
namespace {

using test::TemporaryFolder;

class BlockCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    storage::SettingsFile(folder / "data.plist").save({{"BW0", "example.org"}, {"BW2", ""}});
    lists.setDnsArray(filter::DomainList::fromText("ads.example\n"));
  }
  TemporaryFolder folder;
  filter::BlockLists lists{storage::SettingsFile(folder / "data.plist")};
};

TEST_F(BlockCheckTest, JudgesTheNormalisedAddressByItsHostText) {
  struct Case {
    const char* address;
    const char* normalised;
    const char* host;
    bool blocked;
  };
  const Case cases[] = {
      {"http://www.example.org/games/index.html", "example.org/games/index.html", "example.org",
       true},
      {"https://www.example.org/index.html", "example.org/index.html", "example.org", true},
      {"http://example.org", "example.org", "example.org", true},
      {"http://ads.example/x?y=1", "ads.example/x?y=1", "ads.example", true},
      {"http://sub.example.org/", "sub.example.org/", "sub.example.org", false},
      {"http://EXAMPLE.org/", "EXAMPLE.org/", "EXAMPLE.org", false},
      // A final dot names the same host; only one is taken off.
      {"http://www.example.org./games/", "example.org./games/", "example.org", true},
      {"http://ads.example.", "ads.example.", "ads.example", true},
      {"http://example.org../", "example.org../", "example.org.", false},
      // The list file's final line feed leaves an empty last entry, which names no host.
      {"", "", "", false},
  };
  for (const Case& c : cases) {
    const filter::PageVerdict verdict = filter::judgePage(c.address, lists);
    EXPECT_EQ(verdict.normalisedAddress, c.normalised) << c.address;
    EXPECT_EQ(verdict.host, c.host) << c.address;
    EXPECT_EQ(verdict.blocked(), c.blocked) << c.address;
  }
}

TEST_F(BlockCheckTest, RefusesEachPageOnceUntilTheWayHomeHasStartedAndCommitted) {
  filter::BlockCheck check(lists);
  const std::string blocked = "http://www.example.org/a.html";
  const std::optional<std::string> refused("example.org/a.html");
  const std::optional<std::string> none;

  check.loadStarted();
  EXPECT_EQ(check.loadCommitted("http://fine.example/"), none);
  check.loadStarted();
  EXPECT_EQ(check.loadCommitted(blocked), refused);
  // Reports under the alert and late ones, a late commit of the refused load included.
  EXPECT_EQ(check.titleReceived(blocked), none);
  EXPECT_EQ(check.loadCommitted(blocked), none);

  check.homeRequested();
  EXPECT_EQ(check.titleReceived(blocked), none) << "the view still shows the old page";
  EXPECT_EQ(check.loadCommitted(blocked), none) << "a commit from before the home load";
  check.loadStarted();
  // From the home load's commit on, every page is judged again, a blocked home page too.
  EXPECT_EQ(check.loadCommitted("http://ads.example/net/"),
            std::optional<std::string>("ads.example/net/"));
}

TEST_F(BlockCheckTest, ParentsListIsReadAtEveryJudgement) {
  filter::BlockCheck check(lists);
  EXPECT_EQ(check.titleReceived("http://kids.example/"), std::nullopt);
  storage::SettingsFile(folder / "data.plist").save({{"BW8", "kids.example"}});
  EXPECT_EQ(check.titleReceived("http://kids.example/"),
            std::optional<std::string>("kids.example/"));
}

TEST(KioskGeometry, GrowRectAndLocationInScreen) {
  using browser::Point;
  using browser::Rect;
  EXPECT_EQ(browser::growRect({0, 0, 1440, 900}), (Rect{1424, 0, 16, 16}));
  EXPECT_EQ(browser::growRect({10, 20, 300, 200}), (Rect{294, 20, 16, 16}));
  EXPECT_EQ(browser::locationInScreen({10, 20}, {0, 0, 800, 600}), (Point{10, 20}));
  EXPECT_EQ(browser::locationInScreen({10, 20}, {100, 50, 800, 600}), (Point{110, 70}));
  EXPECT_EQ(browser::locationInScreen({-5.5, 0.25}, {100, 50, 1, 1}), (Point{94.5, 50.25}));
}

}  // namespace
}  // namespace harbinel

// A settings file that cannot be read never opens what the parent blocked.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "filter/BlockLists.h"
#include "tests/core/TestSupport.h"

namespace harbinel::filter {
namespace {

TEST(DamagedSettings, KeepWhatWasReadLastAndOpenOnlyTheStartPageWhenNothingWas) {
  test::TemporaryFolder folder;
  const storage::SettingsFile settings{folder / "data.plist"};
  BlockLists lists{settings};
  test::writeFile(settings.path(), "<?xml version=\"1.0\"?><plist><dict><key>BW0</key>");
  EXPECT_EQ(lists.decide("http://open.example/").rule, Rule::SettingsUnknown);
  EXPECT_TRUE(lists.refusesFrame("http://open.example/"));
  EXPECT_FALSE(lists.decide(lists.homeAddress()).refused());

  std::filesystem::remove(settings.path());
  ASSERT_TRUE(settings.save({{"PD", "secret"}, {"BW0", "blocked.example"}}).ok());
  EXPECT_EQ(lists.decide("http://blocked.example/").rule, Rule::ParentsList);
  test::writeFile(settings.path(), "");  // cut short by someone else's write
  EXPECT_EQ(lists.decide("http://blocked.example/").rule, Rule::ParentsList);
  EXPECT_FALSE(lists.decide("http://open.example/").refused());
  EXPECT_EQ(settings.value("PD"), "secret");
}

}  // namespace
}  // namespace harbinel::filter

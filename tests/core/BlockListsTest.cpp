#include "filter/BlockLists.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/core/TestSupport.h"

namespace harbinel::filter {
namespace {
using test::writeFile;

class BlockListsTest : public testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directory(data()); }

  std::filesystem::path data() const { return folder_ / "Pellwick"; }
  storage::SettingsFile settings() const { return storage::SettingsFile(folder_ / "data.plist"); }

  BlockLists loaded() {
    BlockLists lists{settings()};
    lists.createDnsArray(data());
    return lists;
  }

  test::TemporaryFolder folder_;
};

TEST_F(BlockListsTest, ParentsListThenDmnThenDmnsame) {
  ASSERT_TRUE(settings()
                  .save({{"PD", "secret"},
                         {"BW0", ""},
                         {"BW1", "a.org"},
                         {"BW3", " "},
                         {"BW5", "a.org"},
                         {"BW7", "b.org"},
                         {"FW0", "fav.org"}})
                  .ok());
  writeFile(data() / "dmn", "x.org\nb.org\na.org\nc.org\r\nc.org\n");
  writeFile(data() / "dmnsame", "c.org\nd.org\nd.org\nx.org");
  BlockLists lists = loaded();

  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"a.org", 0},      // the parent's list comes first, whatever the domain lists hold
      {" ", 1},          // a value of one space is an entry
      {"b.org", 3},      // empty and absent slots leave no gap; duplicates stay
      {"x.org", 0},      // dmn before dmnsame
      {"c.org", 4},      // the CRLF line above it does not match
      {"", -1},          // the empty entry after dmn's final line feed names no host
      {"d.org", 1},      // only dmnsame holds it: its first position there
      {"e.org", -1},     // no list holds it
      {"fav.org", -1},   // favourites are not blocked sites
      {"secret", -1},    // nor is the password
      {"a.org/x", -1}};  // a whole host text, not a prefix
  for (const auto& [host, position] : cases) {
    EXPECT_EQ(lists.readfromdmn(host), position) << '"' << host << '"';
  }
  EXPECT_EQ(lists.userblockArray(), (std::vector<std::string>{"a.org", " ", "a.org", "b.org"}));
}

TEST_F(BlockListsTest, ParentsChangesCountFromTheNextDecision) {
  writeFile(data() / "dmn", "listed.org");
  BlockLists lists = loaded();
  EXPECT_EQ(lists.readfromdmn("new.org"), -1);
  ASSERT_TRUE(settings().save({{"BW4", "new.org"}}).ok());
  EXPECT_EQ(lists.readfromdmn("new.org"), 0);
  ASSERT_TRUE(settings().save({{"BW4", ""}}).ok());
  EXPECT_EQ(lists.readfromdmn("new.org"), -1);
  EXPECT_EQ(lists.readfromdmn("listed.org"), 0);
}

TEST_F(BlockListsTest, MissingFilesBlockNothingButTheOthersStillBlock) {
  ASSERT_TRUE(settings().save({{"BW0", "parent.org"}}).ok());
  writeFile(data() / "dmnsame", "same.org");
  BlockLists lists = loaded();
  EXPECT_EQ(lists.readfromdmn("parent.org"), 0);
  EXPECT_EQ(lists.readfromdmn("same.org"), 0);
  EXPECT_EQ(lists.readfromdmn(""), -1);  // a missing file has no empty entry

  writeFile(folder_ / "data.plist", "not a property list");
  EXPECT_TRUE(loaded().userblockArray().empty());
}

TEST_F(BlockListsTest, ListsSetFromOutsideAreTheOnesSearched) {
  BlockLists lists{settings()};
  EXPECT_EQ(lists.readfromdmn(""), -1);  // nothing loaded: not even an empty entry
  lists.setDnsArray(DomainList::fromText("one.org\ntwo.org"));
  lists.setDnssameArray(DomainList::fromText("three.org"));
  EXPECT_EQ(lists.readfromdmn("two.org"), 1);
  EXPECT_EQ(lists.readfromdmn("three.org"), 0);
}

}  // namespace
}  // namespace harbinel::filter

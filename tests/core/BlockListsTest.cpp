// The block decision: the parent's list, dmn, dmnsame and the administrator's lists under the
// exact and the whole-site rule, the allowed websites, and the check of every page.
#include "filter/BlockLists.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "filter/BlockCheck.h"
#include "tests/core/TestSupport.h"

namespace harbinel::filter {
namespace {
using test::writeFile;
using Entries = std::vector<std::pair<std::string, std::string>>;

class Decisions : public ::testing::Test {
 protected:
  Decisions() {
    lists.setDnsArray(
        DomainList::fromText("other.example\nWWW.Dup.example\ndup.example\nblocked.example\n"));
    lists.setDnssameArray(DomainList::fromText("m.blocked.example\n1.2.3.4"));
    lists.setAllowArray(DomainList::fromText("Kids.Example.\n10.0.0.1\n"));
  }
  // The settings file holds `entries` and the parent's list below.
  void set(Entries entries) {
    entries.insert(entries.end(), {{"BW0",
                                    "B\xC3\xBC"
                                    "cher.example."},
                                   {"BW2", "youtube.com/watch"},
                                   {"BW3", "Caps.Example"},
                                   {"FW1", "fav.example/page"},
                                   {"BW9", "nine.example"}});
    ASSERT_TRUE(settings.save(entries).ok());
  }
  std::string verdict(const std::string& address) {
    const Decision d = lists.decide(address);
    static constexpr const char* kRules[] = {"allowed",      "BW",      "dmn", "dmnsame",
                                             "administered", "numbers", "not"};
    return std::string(kRules[static_cast<int>(d.rule)]) + " " + std::to_string(d.position) +
           d.slot + " " + d.name;
  }
  test::TemporaryFolder folder;
  storage::SettingsFile settings{folder / "data.plist"};
  BlockLists lists{settings};
};

TEST_F(Decisions, ExactRuleAsksTheParentsListThenDmnThenDmnsame) {
  ASSERT_TRUE(settings
                  .save({{"PD", "secret"},
                         {"BW0", ""},
                         {"BW1", "a.org"},
                         {"BW3", " "},
                         {"BW5", "a.org"},
                         {"BW7", "b.org"},
                         {"BW9", "tenth"},
                         {"bw2", "lower"},
                         {"FW0", "fav.org"}})
                  .ok());
  writeFile(folder / "dmn", "x.org\nb.org\na.org\nc.org\r\nc.org\n");
  writeFile(folder / "dmnsame", "c.org\nd.org\nd.org\nx.org");
  lists.createDnsArray(folder.path());
  test::expectRows<std::string, std::int32_t>(
      [&](const std::string& host) { return lists.readfromdmn(host); },
      {{"a.org", 0},     // the parent's list comes first, whatever the domain lists hold
       {" ", 1},         // a value of one space is an entry
       {"b.org", 3},     // empty and absent slots leave no gap; duplicates stay
       {"x.org", 0},     // dmn before dmnsame
       {"c.org", 4},     // the CRLF line above it does not match
       {"", -1},         // the empty entry after dmn's final line feed names no host
       {"d.org", 1},     // only dmnsame holds it: its first position there
       {"fav.org", -1},  // favourites are not blocked sites, nor is the password
       {"secret", -1},
       {"tenth", -1},      // only the slots BW0 to BW8
       {"a.org/x", -1}});  // a whole host text, not a prefix
  EXPECT_EQ(lists.userblockArray(), (std::vector<std::string>{"a.org", " ", "a.org", "b.org"}));
  ASSERT_TRUE(settings.save({{"BW1", ""}}).ok());
  EXPECT_EQ(lists.readfromdmn("a.org"), 1) << "the parent's changes count from the next decision";
}

TEST_F(Decisions, PageIsJudgedByTheHostTextOfItsNormalisedAddress) {
  set({{"BW4", "example.org"}});
  const auto judged = [&](const std::string& address) {
    const PageVerdict verdict = judgePage(address, lists);
    return verdict.normalisedAddress + " | " + verdict.host + (verdict.blocked() ? " refused" : "");
  };
  test::expectRows<std::string, std::string>(
      judged,
      {{"http://www.example.org/games/index.html",
        "example.org/games/index.html | example.org refused"},
       {"https://www.youtube.com/watch", "youtube.com/watch | youtube.com"},
       {"http://www.blocked.example./games/", "blocked.example./games/ | blocked.example refused"},
       {"http://other.example..", "other.example.. | other.example."},  // one final dot only
       {"http://OTHER.example/", "OTHER.example/ | OTHER.example"},
       {"http://sub.other.example/", "sub.other.example/ | sub.other.example"},
       {"", " | "}});
}

TEST_F(Decisions, WholeSitesMostSpecificNameFirst) {
  set({{"WS", "ON"}});
  test::expectRows<std::string, std::string>(
      [&](const std::string& a) { return verdict(a); },
      {{"http://x.m.blocked.example/", "dmnsame 0 m.blocked.example"},
       {"http://dup.example/", "dmn 1 dup.example"},
       {"http://a.xn--bcher-kva.example/", "BW 0BW0 xn--bcher-kva.example"},
       {"https://m.youtube.com/watch?v=1", "BW 1BW2 youtube.com"},
       {"http://caps.example/", "BW 2BW3 caps.example"},
       {"http://0x01020304/", "dmnsame 1 1.2.3.4"},
       {"http://1.2.3.5/", "numbers -1 "},
       {"http://[::1]/", "numbers -1 "},
       {"http://10.0.0.1/", "allowed -1 "},
       {"http://fine.example/", "allowed -1 "},
       {"http://nine.example/", "allowed -1 "},  // only the slots BW0 to BW8
       {"", "allowed -1 "}});  // the empty host is not the list's final empty line
  set({{"WS", "on"}});         // anything but "ON" leaves the exact rule
  EXPECT_EQ(verdict("http://blocked.example/"), "dmn 3 blocked.example");
  EXPECT_EQ(verdict("http://m.youtube.com/"), "allowed -1 ");
}

TEST_F(Decisions, OnlyTheAllowedWebsites) {
  set({{"OF", "ON"}, {"HP", "Home.Example/start"}});
  EXPECT_EQ(verdict("http://blocked.example/"), "dmn 3 blocked.example");
  for (const char* allowed :
       {"http://a.kids.example/", "http://sub.fav.example/", "http://start.harbinel.net/x",
        "https://home.example/", "about:blank"}) {
    EXPECT_EQ(verdict(allowed), "allowed -1 ") << allowed;
  }
  EXPECT_EQ(verdict("http://example/"), "not -1 ");
  EXPECT_EQ(verdict("http://1.2.3.5/"), "not -1 ");
  // An allowed list that cannot be read allows nothing.
  std::filesystem::create_directory(folder / "allow");
  lists.createDnsArray(folder.path());
  EXPECT_EQ(verdict("http://kids.example/"), "not -1 ");
  // Frames are judged only under one of the two switches.
  EXPECT_TRUE(lists.refusesFrame("http://kids.example/"));
  set({{"OF", "OFF"}, {"BW4", "kids.example"}});
  EXPECT_EQ(verdict("http://kids.example/"), "BW 3BW4 kids.example");
  EXPECT_FALSE(lists.refusesFrame("http://kids.example/"));
}

// lists.d is asked after the shipped lists, its files in name order, under either rule;
// allow.d adds to the allowed websites.
TEST_F(Decisions, ListsOfTheAdministratorTakePartInTheDecision) {
  std::filesystem::create_directories(folder / "etc" / "lists.d");
  std::filesystem::create_directories(folder / "etc" / "allow.d");
  writeFile(folder / "dmnsame", "shipped.example\n");
  writeFile(folder / "etc" / "lists.d" / "b.list", "both.example\nshipped.example\n");
  writeFile(folder / "etc" / "lists.d" / "a.list", "x.example\nboth.example\n");
  writeFile(folder / "etc" / "lists.d" / "c.txt", "ignored.example\n");
  writeFile(folder / "etc" / "allow.d" / "school.list", "learn.example\n");
  lists.createDnsArray(folder.path());
  lists.loadAdministeredLists(folder / "etc");
  for (const std::string whole : {"OFF", "ON"}) {
    set({{"WS", whole}});
    const Decision both = lists.decide("http://www.both.example/");
    EXPECT_EQ(both.rule, Rule::Administered) << whole;
    EXPECT_EQ(both.list, (folder / "etc" / "lists.d" / "a.list").string());
    EXPECT_EQ(both.position, 1);
    EXPECT_EQ(decidingList(lists.decide("http://shipped.example/")), "dmnsame");
    EXPECT_FALSE(lists.decide("http://ignored.example/").refused());
  }
  EXPECT_TRUE(lists.decide("http://m.x.example/").refused()) << "names above, under WS";
  set({{"OF", "ON"}});
  EXPECT_FALSE(lists.decide("http://www.learn.example/a").refused());
  EXPECT_EQ(decidingList(lists.decide("http://other.example/")), "not-allowed");
}

// A settings file that cannot be read never opens what the parent blocked: what was read last
// holds, and when nothing was, only the start page opens.
TEST_F(Decisions, DamagedSettingsKeepWhatWasReadLastOrOpenOnlyTheStartPage) {
  writeFile(settings.path(), "<?xml version=\"1.0\"?><plist><dict><key>BW0</key>");
  EXPECT_EQ(lists.decide("http://open.example/").rule, Rule::SettingsUnknown);
  EXPECT_TRUE(lists.refusesFrame("http://open.example/"));
  EXPECT_FALSE(lists.decide(lists.homeAddress()).refused());
  std::filesystem::remove(settings.path());
  set({{"PD", "secret"}, {"BW5", "shut.example"}});
  EXPECT_EQ(lists.decide("http://shut.example/").rule, Rule::ParentsList);
  writeFile(settings.path(), "");  // cut short by someone else's write
  EXPECT_EQ(lists.decide("http://shut.example/").rule, Rule::ParentsList);
  EXPECT_FALSE(lists.decide("http://open.example/").refused());
  EXPECT_EQ(settings.value("PD"), "secret");
}

TEST_F(Decisions, RefusesEachPageOnceUntilTheWayHomeHasStartedAndCommitted) {
  set({});
  BlockCheck check(lists);
  const std::string blocked = "http://www.blocked.example/a.html";
  const std::optional<std::string> refused("blocked.example/a.html"), none;
  check.loadStarted();
  EXPECT_EQ(check.loadCommitted("http://fine.example/"), none);
  check.loadStarted();
  EXPECT_EQ(check.titleReceived(blocked), refused);
  // Reports under the alert and late ones, a late commit of the refused load included.
  EXPECT_EQ(check.titleReceived(blocked), none);
  EXPECT_EQ(check.loadCommitted(blocked), none);
  check.homeRequested();
  EXPECT_EQ(check.titleReceived(blocked), none) << "the view still shows the old page";
  EXPECT_EQ(check.loadCommitted(blocked), none) << "a commit from before the home load";
  check.loadStarted();
  // From the home load's commit on, every page is judged again, a blocked home page too.
  EXPECT_EQ(check.loadCommitted("http://kids.example/net/"), none);
  set({{"BW8", "kids.example"}});
  EXPECT_EQ(check.loadCommitted("http://kids.example/net/"),
            std::optional<std::string>("kids.example/net/"));
  // A home load that ends uncommitted leaves the refused page in view: it is judged at once.
  check.homeRequested();
  check.loadStarted();
  EXPECT_EQ(check.loadEnded("http://kids.example/net/"), "kids.example/net/");
}

}  // namespace
}  // namespace harbinel::filter

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "filter/Address.h"
#include "filter/BlockCheck.h"
#include "filter/BlockLists.h"
#include "tests/core/TestSupport.h"

namespace harbinel::filter {
namespace {

using test::TemporaryFolder;

TEST(WholeSiteRule, HostsAreNormalisedAlike) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://user@blocked.example/", "blocked.example"},
      {"http://user:pw@x@blocked.example:8080/a@b", "blocked.example"},
      {"http://WWW2.Blocked.EXAMPLE../", "www2.blocked.example"},
      {"http://a.example?@b.example", "a.example"},
      {"B\xC3\x9C"
       "cher.example.",
       "xn--bcher-kva.example"},
      {"youtube.com/watch", "youtube.com"},
      {"http://0x7f.1/", "127.0.0.1"},
      {"http://2130706433/", "127.0.0.1"},
      {"http://0177.0.0.01:80/", "127.0.0.1"},
      {"http://[2001:DB8:0::1]:8080/", "[2001:db8::1]"},
      {"2001:db8::1", "[2001:db8::1]"},
      {"", ""},
  };
  for (const auto& [address, host] : cases) EXPECT_EQ(siteHost(address), host) << address;
}

class Decisions : public ::testing::Test {
 protected:
  Decisions() {
    lists.setDnsArray(
        DomainList::fromText("other.example\nWWW.Dup.example\ndup.example\n"
                             "blocked.example\n"));
    lists.setDnssameArray(DomainList::fromText("m.blocked.example\n1.2.3.4"));
    lists.setAllowArray(DomainList::fromText("Kids.Example.\n10.0.0.1\n"));
  }
  void set(std::vector<std::pair<std::string, std::string>> entries) {
    entries.insert(entries.end(), {{"BW0",
                                    "B\xC3\xBC"
                                    "cher.example."},
                                   {"BW2", "youtube.com/watch"},
                                   {"BW3", "Caps.Example"},
                                   {"FW1", "fav.example/page"}});
    ASSERT_TRUE(storage::SettingsFile(folder / "data.plist").save(entries).ok());
  }
  std::string verdict(const std::string& address) {
    const Decision d = lists.decide(address);
    static constexpr const char* kRules[] = {"allowed", "BW", "dmn", "dmnsame", "administered", "numbers", "not"};
    return std::string(kRules[static_cast<int>(d.rule)]) + " " + std::to_string(d.position) +
           d.slot + " " + d.name;
  }
  TemporaryFolder folder;
  BlockLists lists{storage::SettingsFile(folder / "data.plist")};
};

TEST_F(Decisions, WholeSitesMostSpecificNameFirst) {
  set({{"WS", "ON"}});
  const std::pair<const char*, const char*> cases[] = {
      {"http://user:pw@blocked.example:8080/", "dmn 3 blocked.example"},
      {"http://x.m.blocked.example/", "dmnsame 0 m.blocked.example"},
      {"http://WWW2.blocked.example../", "dmn 3 blocked.example"},
      {"http://dup.example/", "dmn 1 dup.example"},
      {"http://a.xn--bcher-kva.example/", "BW 0BW0 xn--bcher-kva.example"},
      {"https://m.youtube.com/watch?v=1", "BW 1BW2 youtube.com"},
      {"http://caps.example/", "BW 2BW3 caps.example"},
      {"http://0x01020304/", "dmnsame 1 1.2.3.4"},
      {"http://1.2.3.5/", "numbers -1 "},
      {"http://[::1]/", "numbers -1 "},
      {"http://10.0.0.1/", "allowed -1 "},
      {"http://fine.example/", "allowed -1 "},
      {"", "allowed -1 "},  // the empty host is not the list's final empty line
  };
  for (const auto& [address, expected] : cases) EXPECT_EQ(verdict(address), expected) << address;
}

TEST_F(Decisions, ExactRuleStandsWhenTheSwitchIsNotOn) {
  set({{"WS", "on"}});
  EXPECT_EQ(verdict("http://blocked.example/"), "dmn 3 blocked.example");
  EXPECT_EQ(verdict("http://m.youtube.com/"), "allowed -1 ");
  EXPECT_EQ(verdict("http://blocked.example:8080/"), "allowed -1 ");
  EXPECT_EQ(verdict("http://1.2.3.5/"), "allowed -1 ");
}

TEST_F(Decisions, OnlyTheAllowedWebsites) {
  set({{"OF", "ON"}, {"HP", "Home.Example/start"}});
  EXPECT_EQ(verdict("http://blocked.example/"), "dmn 3 blocked.example");
  for (const char* allowed : {"http://a.kids.example/", "http://sub.fav.example/",
                              "http://start.harbinel.net/x", "https://home.example/", "about:blank"}) {
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
  set({{"OF", "OFF"}});
  EXPECT_FALSE(lists.refusesFrame("http://blocked.example/"));
}

TEST_F(Decisions, RefusedPageIsJudgedAgainWhenTheWayHomeEndsUncommitted) {
  set({});
  BlockCheck check(lists);
  EXPECT_TRUE(check.loadCommitted("http://blocked.example/"));
  check.homeRequested();
  check.loadStarted();
  EXPECT_EQ(check.loadEnded("http://blocked.example/"), "blocked.example/");
}

TEST_F(Decisions, CheckCommandPrintsTheBrowsersDecision) {
  set({{"WS", "ON"}});
  test::writeFile(folder / "dmn", "other.example\nblocked.example\n");
  const auto run = [&](const std::string& arguments, int& status) {
    const std::string command = std::string(HARBINEL_LISTS_TOOL) + " check --data " +
                                folder.path().string() + " --settings " +
                                (folder / "data.plist").string() + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[1024] = {};
    const std::string said(buffer, std::fread(buffer, 1, sizeof buffer - 1, pipe));
    status = WEXITSTATUS(::pclose(pipe));
    return said;
  };
  int status = -1;
  EXPECT_EQ(run(" fine.example", status), "fine.example\thost fine.example\tallowed\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(run(" m.blocked.example:81 http://m.youtube.com", status),
            "m.blocked.example:81\thost m.blocked.example\trefused by " +
                (folder / "dmn").string() +
                " line 2 (blocked.example)\n"
                "http://m.youtube.com\thost m.youtube.com\trefused by the parent's slot BW2 "
                "(youtube.com)\n");
  EXPECT_EQ(status, 1);
  run(" --bad x", status);
  EXPECT_EQ(status, 2);
}

}  // namespace
}  // namespace harbinel::filter

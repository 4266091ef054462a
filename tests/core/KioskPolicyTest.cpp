// The kiosk's text rules: addresses and what may load, restarts, passwords, the window's
// presentation options. That every address result keeps its promises for any text is the
// AddressFuzz target's work (completeURL's rule whole); these tables pin the exact answers.
#include "platform/KioskPolicy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "browser/StartPage.h"
#include "filter/Address.h"
#include "parents/NewPassword.h"
#include "parents/PasswordPacing.h"
#include "platform/PresentationOptions.h"
#include "tests/core/TestSupport.h"

namespace harbinel {
namespace {
using namespace std::chrono_literals;
using test::expectRows;
using Cases = std::vector<std::pair<std::string, std::string>>;

TEST(ChangeUrlTest, RemovesSchemeAndWwwLiteralsWhereverTheyStandInOnePass) {
  expectRows(
      filter::changeURL,
      Cases{{"https://www.example.org/index.html", "example.org/index.html"},
            {"http://wwwww.example.org/", "wexample.org/"},
            {"http://example.org/?r=https://www.example.net/www.x", "example.org/?r=example.net/x"},
            {"ftp://www.example.org/", "ftp://example.org/"},
            {"Https://Www.example.org", "Https://Www.example.org"},
            // A piece formed by a cut survives that pass, and "https://www." went before it.
            {"hthttps://tps://www.x", "https://x"},
            {"www.www.www.x", "x"},
            {"a.orghttps://", "a.org"},
            {std::string("http://a\0b\xC3\xBC", 12), std::string("a\0b\xC3\xBC", 5)}});
}

TEST(CompleteUrlTest, PrefixesEverythingButHttpAndHttpsAddresses) {
  expectRows(filter::completeURL, Cases{{"example.org", "http://example.org"},
                                        {"HtTpS://example.org", "HtTpS://example.org"},
                                        {"http:example.org", "http://http:example.org"},
                                        {"example.org/https://x", "http://example.org/https://x"},
                                        {"http://a//b", "http://a//b"}});
}

TEST(HostTextTest, CutsAtTheFirstSlash) {
  expectRows(filter::hostText, Cases{{"example.org:8080/a/b", "example.org:8080"}, {"/path", ""}});
}

TEST(WholeSiteRule, HostsAreNormalisedAlike) {
  expectRows(filter::siteHost,
             Cases{{"http://user:pw@x@blocked.example:8080/a@b", "blocked.example"},
                   {"http://WWW2.Blocked.EXAMPLE../", "www2.blocked.example"},
                   {"http://a.example?@b.example", "a.example"},
                   {"*.B\xC3\x9C"
                    "cher.example.",
                    "xn--bcher-kva.example"},
                   {"youtube.com/watch", "youtube.com"},
                   {"http://0x7f.1/", "127.0.0.1"},
                   {"http://0177.0.0.01:80/", "127.0.0.1"},
                   {"http://[2001:DB8:0::1]:8080/", "[2001:db8::1]"},
                   {"2001:db8::1", "[2001:db8::1]"}});
}

TEST(KioskPolicy, OnlyWebAddressesReachTheMainFrame) {
  // What may load in any frame, then what may show in the main frame.
  const auto rule = [](const std::string& address) {
    return std::pair(platform::kiosk::mayNavigate(address),
                     platform::kiosk::mayShowInMainFrame(address));
  };
  expectRows(rule, std::vector<std::pair<std::string, std::pair<bool, bool>>>{
                       {"HTTPS://www.example.org/", {true, true}},
                       {"about:blank", {true, true}},
                       {"about:srcdoc", {true, false}},
                       {"data:text/html,<p>hi", {true, false}},
                       {"blob:http://www.example.org/6c1d", {true, false}},
                       {"about:config", {false, false}},
                       {"FILE:///etc/passwd", {false, false}},
                       {" http://www.example.org/", {false, false}},
                       {"www.example.org/a:b", {false, false}}});
}

// A page cannot forge a tile: only this run's token and a plain slot number choose one, and
// what a favourite or a notice holds is text, never markup.
TEST(StartPage, OnlyThisRunsTileLinksChooseATileAndNamesAreText) {
  expectRows<std::string, std::optional<std::size_t>>(
      [](const std::string& address) { return browser::chosenTile(address, "5f1c"); },
      {{browser::tileAddress("5f1c", 3), 3},
       {"harbinel-tile:bad/3", {}},
       {"harbinel-tile:5f1c/", {}},
       {"harbinel-tile:5f1c/3x", {}},
       {"harbinel-tile:5f1c/-1", {}},
       {"http://5f1c/3", {}}});
  const std::string page = browser::renderStartPage(
      "{{NOTICE}}{{TILES}}", {.tiles = {{"a<b>.example", ""}}, .linkToken = "T", .notice = "<i>"});
  EXPECT_NE(page.find(">&lt;i&gt;<"), std::string::npos);
  EXPECT_NE(page.find(">a&lt;b&gt;.example<"), std::string::npos);
}

TEST(RestartBudget, AllowsALimitedNumberWithinTheWindowThenRecovers) {
  platform::RestartBudget budget(3, 60s);
  const auto start = platform::RestartBudget::Clock::time_point{} + 1h;
  // Seconds after the start, and whether a restart is allowed then.
  const std::pair<std::chrono::seconds, bool> steps[] = {
      {0s, true},   {1s, true},   {2s, true},   {3s, false},
      {59s, false},                // a refusal is no restart, but the first is still in the window
      {60s, true},  {60s, false},  // the first restart left the window: one more, not a whole set
      {600s, true}, {601s, true}, {602s, true}, {603s, false}};  // long calm: the whole budget
  for (const auto& [after, allowed] : steps)
    EXPECT_EQ(budget.mayRestart(start + after), allowed) << after.count();
}

TEST(NewPassword, RulesInPlainWords) {
  const struct {
    const char* password;
    const char* repeated;
    const char* problem;
  } cases[] = {
      {"äöü€", "äöü€", ""},  // four characters, eleven bytes
      {"äöü", "äöü", "The password needs at least 4 characters."},
      {"harbinel", "harbinel", "Choose a password of your own, not the one Harbinel comes with."},
      {"Harbinel", "Harbinel", ""},
      {"abcd ", "abcd", "Type the same password again in the second field."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parents::newPasswordProblem(c.password, c.repeated), c.problem) << c.password;
  }
}

// The wait after each wrong password in a row: none for three, then doubling up to 5 minutes.
TEST(PasswordPacing, WaitsDoubleAfterThreeWrongUpToFiveMinutesAndARightOneResets) {
  platform::FixedClock clock(platform::TimePoint(1000h));
  parents::PasswordPacing pacing(clock);
  const std::chrono::seconds expected[] = {0s,  0s,  2s,   4s,   8s,   16s,
                                           32s, 64s, 128s, 256s, 300s, 300s};
  for (const auto wait : expected) {
    pacing.wrongPassword();
    EXPECT_EQ(pacing.waitLeft(), wait);
    clock.set(clock.now() + wait);
  }
  EXPECT_EQ(pacing.waitLeft(), 0s);
  clock.set(clock.now() - 1s);
  pacing.wrongPassword();
  clock.set(clock.now() - 2h);  // the clock set back: the wait stays what was due
  EXPECT_EQ(pacing.waitLeft(), 300s);
  clock.set(clock.now() + 299s);
  EXPECT_EQ(pacing.waitLeft(), 1s);
  pacing.rightPassword();
  pacing.wrongPassword();
  EXPECT_EQ(pacing.waitLeft(), 0s);
}

TEST(PresentationOptions, CombinationsFollowThePlatformsRules) {
  namespace p = platform::presentation;
  const std::pair<unsigned, bool> cases[] = {
      {0, true},
      {106, true},
      {p::AutoHideDock | p::AutoHideMenuBar | p::DisableProcessSwitching, true},
      {p::HideMenuBar, false},
      {p::AutoHideMenuBar, false},
      {p::DisableProcessSwitching, false},
      {p::DisableForceQuit | p::HideMenuBar, false},
      {p::HideDock | p::AutoHideDock, false},
      {p::HideDock | p::HideMenuBar | p::AutoHideMenuBar, false},
      {p::FullScreen | p::AutoHideToolbar, false},
      {p::FullScreen | p::AutoHideToolbar | p::AutoHideMenuBar | p::AutoHideDock, true},
      {106 | (1u << 13), false}};
  for (const auto& [options, valid] : cases) {
    if (valid) {
      EXPECT_NO_THROW(platform::validatePresentationOptions(options)) << options;
    } else {
      EXPECT_THROW(platform::validatePresentationOptions(options),
                   platform::PresentationOptionsError)
          << options;
    }
  }
}

TEST(PasswordCheck, OnlyTheStoredPasswordExactlyOpens) {
  using enum parents::PasswordCheck;
  const struct {
    const char* stored;  // "" also when none is stored
    const char* entered;
    parents::PasswordCheck check;
  } cases[] = {{"Secret", "Secret", Opens},
               {"Secret", "secret", Wrong},
               {"Secret ", "Secret", Wrong},
               {"Secret", "   ", Wrong},
               {"Secret", "", Empty},
               {"", " ", Wrong},
               {"", "", Empty},
               {"", "Secret", Wrong}};
  for (const auto& c : cases) {
    EXPECT_EQ(parents::checkPassword(c.entered, c.stored), c.check)
        << "[" << c.stored << "] [" << c.entered << "]";
  }
}

}  // namespace
}  // namespace harbinel

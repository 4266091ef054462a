#include "platform/KioskPolicy.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "browser/Geometry.h"
#include "browser/StartPage.h"
#include "tests/core/TestSupport.h"

namespace harbinel {
namespace {
using namespace std::chrono_literals;

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

TEST(KioskGeometry, GrowRectAndLocationInScreen) {
  using browser::Point;
  using browser::Rect;
  EXPECT_EQ(browser::growRect({10, 20, 300, 200}), (Rect{294, 20, 16, 16}));
  EXPECT_EQ(browser::locationInScreen({-5.5, 0.25}, {100, 50, 1, 1}), (Point{94.5, 50.25}));
}

TEST(StartPage, TileNamesAndTheAddressesThatChooseATile) {
  test::expectRows<std::string, std::string>(browser::tileName,
                                             {{"www.pbskids.org/games", "pbskids.org"},
                                              {"https://Example.org", "Example.org"},
                                              {"http://", "http://"}});
  EXPECT_EQ(browser::tileAddress("5f1c", 3), "harbinel-tile:5f1c/3");
  const auto chosen = [](const std::string& address) {
    return browser::chosenTile(address, "5f1c");
  };
  test::expectRows<std::string, std::optional<std::size_t>>(chosen, {{"harbinel-tile:5f1c/3", 3},
                                                                     {"harbinel-tile:5f1c/0", 0},
                                                                     {"harbinel-tile:bad/3", {}},
                                                                     {"harbinel-tile:5f1c/", {}},
                                                                     {"harbinel-tile:5f1c/3x", {}},
                                                                     {"harbinel-tile:5f1c/-1", {}},
                                                                     {"http://5f1c/3", {}},
                                                                     {"harbinel-tile:5f1c3", {}}});
  EXPECT_EQ(browser::chosenTile("harbinel-tile:/3", ""), std::nullopt);
}

TEST(StartPage, TilesInOrderEscapedWithIconOrLetterAndTheNotice) {
  const std::string page = browser::renderStartPage(
      "<n>{{NOTICE}}</n><t>{{TILES}}</t>",
      {.tiles = {{"zoo.example", ""}, {"a<b>.example", "data:image/png;base64,AAA"}},
       .linkToken = "T",
       .notice = "5 minutes left & then"});
  EXPECT_EQ(
      page,
      "<n><p class=\"notice\">5 minutes left &amp; then</p></n><t>"
      "<a class=\"tile\" href=\"harbinel-tile:T/0\"><span class=\"letter c" +
          page.substr(page.find("letter c") + 8, 1) +
          "\">Z</span><span class=\"name\">zoo.example</span></a>\n"
          "<a class=\"tile\" href=\"harbinel-tile:T/1\"><img class=\"icon\" alt=\"\" "
          "src=\"data:image/png;base64,AAA\"><span class=\"name\">a&lt;b&gt;.example</span></a>\n"
          "</t>");
  const std::string empty = browser::renderStartPage("{{NOTICE}}{{TILES}}",
                                                     {.tiles = {}, .linkToken = "T", .notice = ""});
  EXPECT_NE(empty.find("No favourite sites yet"), std::string::npos);
  EXPECT_EQ(empty.find("notice"), std::string::npos);
}

}  // namespace
}  // namespace harbinel

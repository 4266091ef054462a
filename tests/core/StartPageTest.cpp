#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "browser/StartPage.h"

namespace {
using namespace harbinel::browser;

TEST(StartPage, TileNamesAndTheAddressesThatChooseATile) {
  const struct {
    const char* site;
    const char* name;
  } names[] = {{"www.pbskids.org/games", "pbskids.org"},
               {"https://Example.org", "Example.org"},
               {"http://", "http://"}};
  for (const auto& c : names) EXPECT_EQ(tileName(c.site), c.name) << c.site;

  const std::string token = "5f1c";
  EXPECT_EQ(tileAddress(token, 3), "harbinel-tile:5f1c/3");
  const struct {
    std::string address;
    std::optional<std::size_t> tile;
  } chosen[] = {{"harbinel-tile:5f1c/3", 3},      {"harbinel-tile:5f1c/0", 0},
                {"harbinel-tile:bad/3", {}},      {"harbinel-tile:5f1c/", {}},
                {"harbinel-tile:5f1c/3x", {}},    {"harbinel-tile:5f1c/-1", {}},
                {"http://5f1c/3", {}},            {"harbinel-tile:5f1c3", {}}};
  for (const auto& c : chosen) EXPECT_EQ(chosenTile(c.address, token), c.tile) << c.address;
  EXPECT_EQ(chosenTile("harbinel-tile:/3", ""), std::nullopt);
}

TEST(StartPage, TilesInOrderEscapedWithIconOrLetterAndTheNotice) {
  const std::string page = renderStartPage(
      "<n>{{NOTICE}}</n><t>{{TILES}}</t>",
      {.tiles = {{"zoo.example", ""}, {"a<b>.example", "data:image/png;base64,AAA"}},
       .linkToken = "T",
       .notice = "5 minutes left & then"});
  EXPECT_EQ(page,
            "<n><p class=\"notice\">5 minutes left &amp; then</p></n><t>"
            "<a class=\"tile\" href=\"harbinel-tile:T/0\"><span class=\"letter c" +
                page.substr(page.find("letter c") + 8, 1) +
                "\">Z</span><span class=\"name\">zoo.example</span></a>\n"
                "<a class=\"tile\" href=\"harbinel-tile:T/1\"><img class=\"icon\" alt=\"\" "
                "src=\"data:image/png;base64,AAA\"><span class=\"name\">a&lt;b&gt;.example</span></a>\n"
                "</t>");
  const std::string empty = renderStartPage("{{NOTICE}}{{TILES}}", {.tiles = {}, .linkToken = "T", .notice = ""});
  EXPECT_NE(empty.find("No favourite sites yet"), std::string::npos);
  EXPECT_EQ(empty.find("notice"), std::string::npos);
}

}  // namespace

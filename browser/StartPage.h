#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace harbinel::browser {

// The scheme of the start page's tiles. A tile is no link to its site: the page area hands
// the click back to the browser, which opens the favourite exactly as the favourites picker
// does (and judges the page it reaches like any other).
inline constexpr std::string_view kTileScheme = "harbinel-tile";

struct StartTile {
  std::string site;      // the favourite as the parent wrote it
  std::string iconData;  // a data: address of the site's icon, or empty for its first letter
};

// What the start page shows besides its greeting.
struct StartPageContent {
  std::vector<StartTile> tiles;  // the favourites, in slot order
  std::string linkToken;         // the secret the tiles' addresses carry
  std::string notice;            // a calm line above the tiles (time left), or empty
};

// The start page: `templateText` with its markers ({{TILES}}, {{NOTICE}}) replaced. Every text
// from the settings is escaped; with no favourites the tiles' place says how to add some.
std::string renderStartPage(std::string_view templateText, const StartPageContent& content);

// The page shown in the page area once the time is up: `templateText` with {{TITLE}} and
// {{TEXT}} replaced.
std::string renderTimeUpPage(std::string_view templateText);

// The name a tile shows: the site without its scheme, "www." and path.
std::string tileName(std::string_view site);

// The address of tile `index`, and the tile an address names when it carries `token`
// (nothing for any other address, so a page cannot make one up).
std::string tileAddress(std::string_view token, std::size_t index);
std::optional<std::size_t> chosenTile(std::string_view address, std::string_view token);

}  // namespace harbinel::browser

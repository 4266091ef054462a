#include "browser/StartPage.h"

#include <charconv>

#include "filter/Address.h"
#include "platform/Translation.h"

namespace harbinel::browser {
namespace {

std::string escapedHtml(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

void replaceMarker(std::string& page, std::string_view marker, const std::string& with) {
  for (auto at = page.find(marker); at != std::string::npos; at = page.find(marker, at + with.size())) {
    page.replace(at, marker.size(), with);
  }
}

// The first character of the name (a whole UTF-8 sequence), upper-cased when it is ASCII.
std::string firstLetter(std::string_view name) {
  if (name.empty()) return "?";
  std::size_t length = 1;
  while (length < name.size() && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) ++length;
  std::string letter(name.substr(0, length));
  if (length == 1 && letter[0] >= 'a' && letter[0] <= 'z') letter[0] = static_cast<char>(letter[0] - 32);
  return letter;
}

// The same site gets the same colour at every start.
int colourOf(std::string_view name) {
  unsigned sum = 0;
  for (const char c : name) sum = sum * 31 + static_cast<unsigned char>(c);
  return static_cast<int>(sum % 6);
}

std::string tileHtml(const StartTile& tile, std::string_view token, std::size_t index) {
  const std::string name = tileName(tile.site);
  const std::string picture =
      tile.iconData.empty()
          ? "<span class=\"letter c" + std::to_string(colourOf(name)) + "\">" +
                escapedHtml(firstLetter(name)) + "</span>"
          : "<img class=\"icon\" alt=\"\" src=\"" + escapedHtml(tile.iconData) + "\">";
  return "<a class=\"tile\" href=\"" + tileAddress(token, index) + "\">" + picture +
         "<span class=\"name\">" + escapedHtml(name) + "</span></a>\n";
}

std::string noFavourites() {
  // TRANSLATORS: <b> marks the names of a button and a section; keep the tags.
  return std::string("<p class=\"empty\">") +
         _("No favourite sites yet. A grown-up can add them: press <b>Parents</b>, type the "
           "parent password and fill in <b>Favourite websites</b>.") +
         "</p>";
}

}  // namespace

std::string tileName(std::string_view site) {
  std::string name(filter::hostText(filter::changeURL(site)));
  return name.empty() ? std::string(site) : name;
}

std::string tileAddress(std::string_view token, std::size_t index) {
  return std::string(kTileScheme) + ":" + std::string(token) + "/" + std::to_string(index);
}

std::optional<std::size_t> chosenTile(std::string_view address, std::string_view token) {
  const std::string prefix = std::string(kTileScheme) + ":" + std::string(token) + "/";
  if (token.empty() || !address.starts_with(prefix)) return std::nullopt;
  const std::string_view number = address.substr(prefix.size());
  std::size_t index = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), index);
  if (error != std::errc() || end != number.data() + number.size() || number.empty()) {
    return std::nullopt;
  }
  return index;
}

std::string renderStartPage(std::string_view templateText, const StartPageContent& content) {
  std::string tiles;
  for (std::size_t index = 0; index < content.tiles.size(); ++index) {
    tiles += tileHtml(content.tiles[index], content.linkToken, index);
  }
  std::string page(templateText);
  // Our own texts first: a favourite's name may hold anything, markers included.
  replaceMarker(page, "{{HELLO}}", escapedHtml(_("Hello!")));
  replaceMarker(page, "{{LEAD}}", escapedHtml(_("Where would you like to go today?")));
  replaceMarker(page, "{{NOTICE}}",
                content.notice.empty() ? "" : "<p class=\"notice\">" + escapedHtml(content.notice) + "</p>");
  replaceMarker(page, "{{TILES}}", tiles.empty() ? noFavourites() : tiles);
  return page;
}

std::string renderTimeUpPage(std::string_view templateText) {
  std::string page(templateText);
  replaceMarker(page, "{{TITLE}}", escapedHtml(_("Time is up for today")));
  replaceMarker(page, "{{TEXT}}",
                escapedHtml(_("That was all the time on the computer for now. Well done, and see "
                              "you next time! A grown-up can give you more time.")));
  return page;
}

}  // namespace harbinel::browser

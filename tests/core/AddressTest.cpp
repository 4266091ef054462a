#include "filter/Address.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace harbinel::filter {
namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;

TEST(ChangeUrlTest, RemovesSchemeAndWwwLiterals) {
  const Cases cases = {
      {"https://www.example.org/index.html", "example.org/index.html"},
      {"http://wwww.example.org/", "example.org/"},
      {"example.org", "example.org"},
      {"http://news.example.org/www.page", "news.example.org/page"},
      {"https://www.example.org/www.games/wwww.play", "example.org/games/play"},
      {"http://example.org/?r=https://www.example.net/www.x", "example.org/?r=example.net/x"},
      {"http://swww.example.org", "sexample.org"},
      {"http://wwwww.example.org", "wexample.org"},
      {"http://example.org:8080/a", "example.org:8080/a"},
      {"ftp://www.example.org/", "ftp://example.org/"},
      {"HTTP://WWW.EXAMPLE.ORG", "HTTP://WWW.EXAMPLE.ORG"},
      {"hthttp://tp://x", "http://x"},  // a piece formed by a cut survives that pass
      {"www.", ""},
      {"", ""},
      // Each literal at the very start and the very end of the text.
      {"https://wwww.", ""},
      {"a.orghttps://", "a.org"},
      // Back-to-back occurrences are all cut in the one pass.
      {"www.www.www.x", "x"},
      {"http://http://x", "x"},
      // Runs of "w": only the four before the dot go; what is left is no literal any more.
      {"wwwwwww.x", "wwwx"},
      {"wwwwww.www.x", "wwx"},
      {"Https://Www.example.org", "Https://Www.example.org"},
      // Text around the literals is kept byte for byte, non-ASCII included.
      {"http://www.b\xC3\xBC"
       "cher.example/\xE2\x82\xAC",
       "b\xC3\xBC"
       "cher.example/\xE2\x82\xAC"},
      {std::string("http://a\0b", 10), std::string("a\0b", 3)}};
  for (const auto& [input, expected] : cases) EXPECT_EQ(changeURL(input), expected) << input;
}

TEST(CompleteUrlTest, PrefixesEverythingButHttpAndHttpsAddresses) {
  const Cases cases = {
      {"example.org", "http://example.org"},
      {"www.example.org/a//b", "http://www.example.org/a//b"},
      {"http://example.org", "http://example.org"},
      {"http://a//b", "http://a//b"},
      {"http://", "http://"},
      {"http:", "http:"},
      // https addresses and upper-case schemes load as typed.
      {"https://example.org", "https://example.org"},
      {"HTTP://example.org", "HTTP://example.org"},
      {"HtTpS://example.org", "HtTpS://example.org"},
      {"https:", "https:"},
      {"http:example.org", "http://http:example.org"},
      {"//example.org", "http:////example.org"},
      {"ftp://example.org", "http://ftp://example.org"},
      {"file:///etc/passwd", "http://file:///etc/passwd"},
      {"", "http://"},
      // Only the part before the first "//" counts, and it must be the whole scheme.
      {"example.org/https://x", "http://example.org/https://x"},
      {" http://example.org", "http:// http://example.org"},
      {"httpss://example.org", "http://httpss://example.org"},
      {"http:/example.org", "http://http:/example.org"}};
  for (const auto& [input, expected] : cases) EXPECT_EQ(completeURL(input), expected) << input;
}

TEST(HostTextTest, CutsAtTheFirstSlash) {
  const Cases cases = {{"example.org/games/play", "example.org"},
                       {"example.org:8080/a", "example.org:8080"},
                       {"example.org", "example.org"},
                       {"/path", ""},
                       {"", ""},
                       // A scheme that normalisation does not remove leaves "ftp:" as the host.
                       {changeURL("ftp://www.example.org/"), "ftp:"}};
  for (const auto& [input, expected] : cases) EXPECT_EQ(hostText(input), expected) << input;
}

}  // namespace
}  // namespace harbinel::filter

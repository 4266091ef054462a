#include "filter/Address.h"

#include <gtest/gtest.h>

#include <string>

namespace harbinel::filter {
namespace {

struct Case {
  std::string input;
  std::string expected;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << '"' << c.input << '"';
}

class ChangeUrlTest : public testing::TestWithParam<Case> {};

TEST_P(ChangeUrlTest, RemovesSchemeAndWwwLiterals) {
  EXPECT_EQ(changeURL(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ChangeUrlTest,
    testing::Values(
        Case{"https://www.example.org/index.html", "example.org/index.html"},
        Case{"http://wwww.example.org/", "example.org/"},  //
        Case{"example.org", "example.org"},
        Case{"http://news.example.org/www.page", "news.example.org/page"},
        Case{"https://www.example.org/www.games/wwww.play", "example.org/games/play"},
        Case{"http://example.org/?r=https://www.example.net/www.x", "example.org/?r=example.net/x"},
        Case{"http://swww.example.org", "sexample.org"},
        Case{"http://wwwww.example.org", "wexample.org"},
        Case{"http://example.org:8080/a", "example.org:8080/a"},
        Case{"ftp://www.example.org/", "ftp://example.org/"},
        Case{"HTTP://WWW.EXAMPLE.ORG", "HTTP://WWW.EXAMPLE.ORG"},
        Case{"hthttp://tp://x", "http://x"},  // a piece formed by a cut survives that pass
        Case{"www.", ""}, Case{"", ""},
        // Each literal at the very start and the very end of the text.
        Case{"https://wwww.", ""}, Case{"a.orghttps://", "a.org"},
        // Back-to-back occurrences are all cut in the one pass.
        Case{"www.www.www.x", "x"}, Case{"http://http://x", "x"},
        // Runs of "w": only the four before the dot go; what is left is no literal any more.
        Case{"wwwwwww.x", "wwwx"}, Case{"wwwwww.www.x", "wwx"},
        // Mixed-case literals are not the literals.
        Case{"Https://Www.example.org", "Https://Www.example.org"},
        // Text around the literals is kept byte for byte, non-ASCII included.
        Case{"http://www.b\xC3\xBC"
             "cher.example/\xE2\x82\xAC",
             "b\xC3\xBC"
             "cher.example/\xE2\x82\xAC"},
        Case{std::string("http://a\0b", 10), std::string("a\0b", 3)}));

class CompleteUrlTest : public testing::TestWithParam<Case> {};

TEST_P(CompleteUrlTest, PrefixesEverythingButHttpAndHttpsAddresses) {
  EXPECT_EQ(completeURL(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, CompleteUrlTest,
    testing::Values(Case{"example.org", "http://example.org"},
                    Case{"www.example.org/a//b", "http://www.example.org/a//b"},
                    Case{"http://example.org", "http://example.org"},
                    Case{"http://a//b", "http://a//b"},  //
                    Case{"http://", "http://"},          //
                    Case{"http:", "http:"},
                    // https addresses and upper-case schemes load as typed.
                    Case{"https://example.org", "https://example.org"},
                    Case{"HTTP://example.org", "HTTP://example.org"},
                    Case{"HtTpS://example.org", "HtTpS://example.org"},  //
                    Case{"https:", "https:"}, Case{"http:example.org", "http://http:example.org"},
                    Case{"//example.org", "http:////example.org"},
                    Case{"ftp://example.org", "http://ftp://example.org"},
                    Case{"file:///etc/passwd", "http://file:///etc/passwd"}, Case{"", "http://"},
                    // Only the part before the first "//" counts, and it must be the whole scheme.
                    Case{"example.org/https://x", "http://example.org/https://x"},
                    Case{" http://example.org", "http:// http://example.org"},
                    Case{"httpss://example.org", "http://httpss://example.org"},
                    Case{"http:/example.org", "http://http:/example.org"}));

TEST(HostTextTest, CutsAtTheFirstSlash) {
  EXPECT_EQ(hostText("example.org/games/play"), "example.org");
  EXPECT_EQ(hostText("example.org:8080/a"), "example.org:8080");
  EXPECT_EQ(hostText("example.org"), "example.org");
  EXPECT_EQ(hostText("/path"), "");
  EXPECT_EQ(hostText(""), "");
  // A scheme that normalisation does not remove leaves "ftp:" as the host text.
  EXPECT_EQ(hostText(changeURL("ftp://www.example.org/")), "ftp:");
}

}  // namespace
}  // namespace harbinel::filter

// Text rules of addresses. That every result keeps its promises for any text is the AddressFuzz
// target's work (completeURL's rule whole); these tables pin the exact answers.
#include "filter/Address.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/KioskPolicy.h"
#include "tests/core/TestSupport.h"

namespace harbinel::filter {
namespace {
using test::expectRows;
using Cases = std::vector<std::pair<std::string, std::string>>;

TEST(ChangeUrlTest, RemovesSchemeAndWwwLiteralsWhereverTheyStandInOnePass) {
  expectRows(
      changeURL,
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
  expectRows(completeURL, Cases{{"example.org", "http://example.org"},
                                {"HtTpS://example.org", "HtTpS://example.org"},
                                {"http:example.org", "http://http:example.org"},
                                {"example.org/https://x", "http://example.org/https://x"},
                                {"http://a//b", "http://a//b"}});
}

TEST(HostTextTest, CutsAtTheFirstSlash) {
  expectRows(hostText, Cases{{"example.org:8080/a/b", "example.org:8080"}, {"/path", ""}});
}

TEST(WholeSiteRule, HostsAreNormalisedAlike) {
  expectRows(siteHost, Cases{{"http://user:pw@x@blocked.example:8080/a@b", "blocked.example"},
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

}  // namespace
}  // namespace harbinel::filter

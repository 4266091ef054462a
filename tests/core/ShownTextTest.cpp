#include <gtest/gtest.h>

#include <string>

#include "platform/ShownText.h"

namespace harbinel::platform {
namespace {

std::string times(std::size_t count, const std::string& piece) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += piece;
  return text;
}

TEST(ShownText, AnAddressShowsAtMostTwoHundredCharactersThenAnEllipsis) {
  const struct {
    std::string address, shown;
  } cases[] = {
      {"", ""},
      {"blocked.example/a", "blocked.example/a"},
      {times(200, "a"), times(200, "a")},
      {times(201, "a"), times(200, "a") + "…"},
      {times(100000, "a"), times(200, "a") + "…"},
      // Characters, not bytes: two-byte and four-byte ones are kept whole.
      {times(200, "ü"), times(200, "ü")},
      {times(199, "a") + "🦊🦊", times(199, "a") + "🦊…"},
  };
  for (const auto& c : cases) EXPECT_EQ(shownAddress(c.address), c.shown) << c.address.size();
}

}  // namespace
}  // namespace harbinel::platform

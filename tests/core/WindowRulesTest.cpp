// Rules the windows apply, as tables: which presentation options combine, and which typed
// password opens the parents' menu.
#include <gtest/gtest.h>

#include "parents/NewPassword.h"
#include "platform/PresentationOptions.h"

namespace harbinel {
namespace {

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

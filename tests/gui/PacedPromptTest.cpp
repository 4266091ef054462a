#include <gtest/gtest.h>

#include <string>

#include "parents/PasswordPacing.h"
#include "tests/gui/HomeSupport.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

using PacedPrompt = ParentControls;

// The pace itself is the core's; here: OK is disabled with the countdown shown, Enter does
// nothing meanwhile, the next prompt of the run shows the same wait, and it ends on time.
TEST_F(PacedPrompt, DisablesOkWithACountdownAfterThreeWrongPasswords) {
  store({{"PD", "Secret"}});
  parents::PasswordPacing pacing(clock);
  auto paced = services();
  paced.pacing = &pacing;
  Prompt guard(new parents::FrmPassword(paced));
  guard->setWindowname(std::string(parents::kParentsMenu));
  guard->window().present();
  const auto& outlets = guard->outlets();
  for (int attempt = 1; attempt <= 3; ++attempt) {
    outlets.txtfieldpassword->set_text("wrong");
    outlets.btnOk->activate();
    ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == std::size_t(attempt); }));
  }
  EXPECT_FALSE(outlets.btnOk->get_sensitive());
  EXPECT_EQ(outlets.lblWait->get_text(), "Too many wrong passwords. You can try again in 2 seconds.");
  keepScreenshot("paced-password-prompt");
  pressEnter(*outlets.txtfieldpassword);
  settle();
  EXPECT_EQ(alerts.alerts().size(), 3u);

  Prompt again(new parents::FrmPassword(paced));
  again->window();
  EXPECT_FALSE(again->outlets().btnOk->get_sensitive());
  clock.set(clock.now() + std::chrono::seconds(2));
  EXPECT_TRUE(waitUntil([&] { return outlets.btnOk->get_sensitive(); }));
  EXPECT_FALSE(outlets.lblWait->get_visible());
}

}  // namespace
}  // namespace harbinel::test

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/ModalSession.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

using parents::kCloseApplication;
using parents::kParentsMenu;

using PasswordPrompt = ParentControls;
// Tests that need the keyboard focus to themselves.
using PromptKeyboardTest = ParentControls;

TEST_F(PasswordPrompt, RefusesWhatDoesNotMatchExactlyAndStaysOpen) {
  const struct {
    std::optional<std::string> stored;  // nullopt: no PD key at all
    std::string entered;
    std::string informative;
  } refusals[] = {{"Secret", "secret", "Invalid Password"},
                  {"Secret ", "Secret", "Invalid Password"},
                  {"Secret", "   ", "Invalid Password"},
                  {"Secret", "", "Please Enter a Password"},
                  {"", " ", "Invalid Password"},
                  {"", "", "Please Enter a Password"},
                  {std::nullopt, "Secret", "Invalid Password"}};
  for (const auto& refusal : refusals) {
    SCOPED_TRACE("[" + refusal.stored.value_or("(absent)") + "] [" + refusal.entered + "]");
    store({{"PD", refusal.stored}});
    const auto guard = prompt(kParentsMenu);
    guard->outlets().txtfieldpassword->set_text(refusal.entered);
    const std::size_t before = alerts.alerts().size();
    guard->outlets().btnOk->activate();
    ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == before + 1; }));
    EXPECT_EQ(alerts.alerts().back(),
              (AlertRecorder::Shown{"Validation Error", refusal.informative}));
    EXPECT_TRUE(guard->window().get_visible());
    EXPECT_EQ(guard->frmparentcontroller(), nullptr);
  }
}

// Real keys: typing, Tab and Shift+Tab move the focus (the prompt takes the keys that reach it
// only after the window's own), Enter and OK check once each, Cancel never, not even the right
// password.
TEST_F(PromptKeyboardTest, TypingTabAndEnterWorkAndEnterAndOkCheckOnceEachAndCancelNever) {
  store({{"PD", "Secret"}});
  const auto guard = prompt(kParentsMenu);
  ASSERT_TRUE(waitUntil([&] { return guard->window().is_active(); }));
  auto& field = *guard->outlets().txtfieldpassword;
  const auto focusIn = [&](Gtk::Widget& widget) {
    Gtk::Widget* focus = guard->window().get_focus();
    return focus != nullptr && (focus == &widget || focus->is_ancestor(widget));
  };
  field.grab_focus();
  ASSERT_EQ(std::system("xdotool type --delay 20 secret"), 0);
  ASSERT_TRUE(waitUntil([&] { return field.get_text() == "secret"; }));
  ASSERT_EQ(std::system("xdotool key Tab"), 0);
  ASSERT_TRUE(waitUntil([&] { return focusIn(*guard->outlets().btnCancel); }));
  ASSERT_EQ(std::system("xdotool key shift+Tab"), 0);
  ASSERT_TRUE(waitUntil([&] { return focusIn(field); }));
  ASSERT_EQ(std::system("xdotool key Return"), 0);
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == 1; }));

  guard->outlets().btnOk->grab_focus();
  guard->outlets().btnOk->activate();
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == 2; }));
  field.set_text("Secret");
  field.grab_focus();
  guard->outlets().btnCancel->grab_focus();
  guard->outlets().btnCancel->activate();
  ASSERT_TRUE(waitUntil([&] { return !guard->window().get_visible(); }));
  settle();
  EXPECT_EQ(alerts.alerts().size(), 2u);
  EXPECT_FALSE(guard->window().get_visible());
  EXPECT_EQ(guard->frmparentcontroller(), nullptr);
}

// The stored password is read at every attempt, and is matched blanks and all; the right one
// opens the parents' window in place of the prompt, showing it.
TEST_F(PasswordPrompt, TheRightPasswordOpensTheParentsWindowAndAChangeCountsAtTheNextAttempt) {
  store({{"PD", "old"}});
  MainWindowStandIn main(settings);
  const auto guard = prompt(kParentsMenu, &main);
  runPrompt(
      *guard,
      [&] {
        enterPassword(*guard, "new pass ");
        store({{"PD", "new pass "}});
        pressEnter(*guard->outlets().txtfieldpassword);
      },
      [&](parents::FrmParentController& parents) {
        EXPECT_FALSE(guard->window().get_visible());
        EXPECT_EQ(parents.outlets().txtfieldpassword->get_text().raw(), "new pass ");
        parents.outlets().btnClose->activate();
      });
  EXPECT_EQ(alerts.alerts().size(), 1u);
  EXPECT_EQ(main.told().size(), 1u);
  EXPECT_EQ(platform::modalDepth(), 0);
}

// The process ends there and then, so the check runs in a child process of its own (where an
// end after the wrong attempt would pass for success).
TEST_F(PasswordPrompt, QuitModeEndsTheProcessWithStatusZeroAfterAWrongAttempt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  store({{"PD", "Secret"}});
  EXPECT_EXIT(
      {
        const auto guard = prompt(kCloseApplication);
        runPrompt(*guard, [&] {
          enterPassword(*guard, "secret");
          std::fprintf(stderr, "%zu alert(s) after the wrong one\n", alerts.alerts().size());
          enterPassword(*guard, "Secret");
        });
        std::_Exit(4);  // the session ended without the process
      },
      testing::ExitedWithCode(0), "1 alert\\(s\\) after the wrong one");
}

}  // namespace
}  // namespace harbinel::test

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/ModalSession.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

using parents::FrmPassword;
using parents::kCloseApplication;
using parents::kParentsMenu;

using PasswordPrompt = ParentControls;
// Tests that need the keyboard focus to themselves: a prompt for "Secret", with the focus.
class PromptKeyboardTest : public ParentControls {
 protected:
  void SetUp() override {
    store({{"PD", "Secret"}});
    guard = prompt(kParentsMenu);
    ASSERT_TRUE(waitUntil([&] { return guard->window().is_active(); }));
  }
  Prompt guard;
};

struct Refusal {
  const char* what;
  std::optional<std::string> stored;  // nullopt: no PD key at all
  std::string entered;
  std::string informative;
};

const Refusal kRefusals[] = {
    {"letter case differs", "Secret", "secret", "Invalid Password"},
    {"stored trailing blank not typed", "Secret ", "Secret", "Invalid Password"},
    {"blanks are an entry, not empty", "Secret", "   ", "Invalid Password"},
    {"empty entry", "Secret", "", "Please Enter a Password"},
    {"empty stored password", "", " ", "Invalid Password"},
    {"empty stored password, empty entry", "", "", "Please Enter a Password"},
    {"no stored password", std::nullopt, "Secret", "Invalid Password"},
};

TEST_F(PasswordPrompt, RefusesWhatDoesNotMatchExactlyInBothModesAndStaysOpen) {
  for (const std::string_view mode : {kParentsMenu, kCloseApplication}) {
    for (const Refusal& refusal : kRefusals) {
      SCOPED_TRACE(std::string(mode) + ": " + refusal.what);
      store({{"PD", refusal.stored}});
      const auto guard = prompt(mode);
      const std::size_t before = alerts.alerts().size();

      guard->outlets().txtfieldpassword->set_text(refusal.entered);
      guard->outlets().btnOk->activate();
      ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == before + 1; }));

      EXPECT_EQ(alerts.alerts().back().message, "Validation Error");
      EXPECT_EQ(alerts.alerts().back().informative, refusal.informative);
      EXPECT_TRUE(guard->window().get_visible());
      EXPECT_EQ(guard->outlets().txtfieldpassword->get_text().raw(), refusal.entered);
      EXPECT_EQ(guard->frmparentcontroller(), nullptr);
    }
  }
}

TEST_F(PasswordPrompt, AnUnreadableSettingsFileLetsNoPasswordThrough) {
  writeFile(settingsPath(), "PD=Secret\n");
  const auto guard = prompt(kParentsMenu);
  enterPassword(*guard, "PD=Secret");
  ASSERT_EQ(alerts.alerts().size(), 1u);
  EXPECT_EQ(alerts.alerts()[0].informative, "Invalid Password");
}

// GTK buttons take the focus when clicked, which ends the field's editing; only Enter and OK
// may check, once each, and Cancel never.
TEST_F(PromptKeyboardTest, EnterAndOkCheckOnceEachAndCancelNever) {
  auto& field = *guard->outlets().txtfieldpassword;
  field.set_text("wrong");

  field.grab_focus();
  pressEnter(field);
  EXPECT_EQ(alerts.alerts().size(), 1u);

  field.grab_focus();
  guard->outlets().btnOk->grab_focus();
  guard->outlets().btnOk->activate();
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == 2; }));

  field.grab_focus();
  guard->outlets().btnCancel->grab_focus();
  guard->outlets().btnCancel->activate();
  ASSERT_TRUE(waitUntil([&] { return !guard->window().get_visible(); }));
  settle();
  EXPECT_EQ(alerts.alerts().size(), 2u);
}

// Real key presses from the X server. The prompt consumes the keys that reach it, but only
// after the window's own: Tab still moves the focus, and Enter still checks.
TEST_F(PromptKeyboardTest, TypingMovingTheFocusAndEnterWorkFromTheKeyboard) {
  auto& field = *guard->outlets().txtfieldpassword;
  field.grab_focus();
  const auto focusIn = [&](Gtk::Widget& widget) {
    Gtk::Widget* focus = guard->window().get_focus();
    return focus != nullptr && (focus == &widget || focus->is_ancestor(widget));
  };

  ASSERT_EQ(std::system("xdotool type --delay 20 secret"), 0);
  ASSERT_TRUE(waitUntil([&] { return field.get_text() == "secret"; }));
  ASSERT_EQ(std::system("xdotool key Tab"), 0);
  ASSERT_TRUE(waitUntil([&] { return focusIn(*guard->outlets().btnCancel); }));
  ASSERT_EQ(std::system("xdotool key shift+Tab"), 0);
  ASSERT_TRUE(waitUntil([&] { return focusIn(field); }));
  ASSERT_EQ(std::system("xdotool key Return"), 0);
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == 1; }));
  EXPECT_EQ(alerts.alerts()[0].informative, "Invalid Password");
  EXPECT_TRUE(guard->window().get_visible());
}

TEST_F(PasswordPrompt, CancelEndsTheSessionAndChangesNothingInEitherMode) {
  store({{"PD", "Secret"}, {"AB", "ON"}});
  const std::string before = readFile(settingsPath());
  for (const std::string_view mode : {kParentsMenu, kCloseApplication}) {
    SCOPED_TRACE(mode);
    MainWindowStandIn main(settings);
    const auto guard = prompt(mode, &main);
    EXPECT_EQ(guard->window().get_title().raw(), mode);
    runPrompt(*guard, [&] {
      // Even the right password is ignored by Cancel.
      guard->outlets().txtfieldpassword->set_text("Secret");
      guard->outlets().btnCancel->activate();
    });
    EXPECT_FALSE(guard->window().get_visible());
    EXPECT_EQ(guard->frmparentcontroller(), nullptr);
    EXPECT_TRUE(main.told().empty());
  }
  EXPECT_TRUE(alerts.alerts().empty());
  EXPECT_EQ(readFile(settingsPath()), before);
}

// The stored password is read at every attempt: a change made while a prompt is open counts at
// its next attempt, and a change made in the parents' window counts at the next prompt.
TEST_F(PasswordPrompt, TheRightPasswordOpensTheParentsWindowAndAChangeCountsAtTheNextAttempt) {
  store({{"PD", "old"}});
  MainWindowStandIn main(settings);
  const auto guard = prompt(kParentsMenu, &main);
  runPrompt(
      *guard,
      [&] {
        enterPassword(*guard, "new");  // refused: "old" is stored
        store({{"PD", "new"}});
        pressEnter(*guard->outlets().txtfieldpassword);  // accepted: opens the parents' window
      },
      [&](parents::FrmParentController& parents) {
        EXPECT_FALSE(guard->window().get_visible());
        EXPECT_EQ(parents.outlets().txtfieldpassword->get_text().raw(), "new");
        parents.outlets().txtfieldpassword->set_text("newer one");
        parents.outlets().btnClose->activate();
      });
  ASSERT_EQ(alerts.alerts().size(), 1u);
  EXPECT_EQ(alerts.alerts()[0].informative, "Invalid Password");
  EXPECT_FALSE(guard->frmparentcontroller()->window().get_visible());
  EXPECT_EQ(main.told().size(), 1u);
  EXPECT_EQ(platform::modalDepth(), 0);

  enterPassword(*prompt(kParentsMenu, &main), "new");
  ASSERT_EQ(alerts.alerts().size(), 2u);
  EXPECT_EQ(alerts.alerts()[1].informative, "Invalid Password");
}

TEST_F(PasswordPrompt, MatchingBlanksAndTrailingBlanksOpenTheParentsWindow) {
  for (const std::string password : {"  ", "pass word ", "P\xC3\xA4ss"}) {
    SCOPED_TRACE("[" + password + "]");
    store({{"PD", password}});
    MainWindowStandIn main(settings);
    const auto guard = prompt(kParentsMenu, &main);
    runPrompt(
        *guard,
        [&] {
          guard->outlets().txtfieldpassword->set_text(password);
          guard->outlets().btnOk->activate();
        },
        [](parents::FrmParentController& parents) { parents.outlets().btnClose->activate(); });
    EXPECT_EQ(main.told().size(), 1u);
  }
  EXPECT_TRUE(alerts.alerts().empty());
}

// The process ends there and then, so the check runs in a child process of its own.
TEST_F(PasswordPrompt, QuitModeEndsTheProcessWithStatusZeroAfterAWrongAttempt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  store({{"PD", "Secret"}});
  EXPECT_EXIT(
      {
        const auto guard = prompt(kCloseApplication);
        runPrompt(*guard, [&] {
          enterPassword(*guard, "secret");
          if (alerts.alerts().size() != 1) std::_Exit(3);
          guard->outlets().txtfieldpassword->set_text("Secret");
          guard->outlets().btnOk->activate();
        });
        std::_Exit(4);  // the session ended without the process
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace harbinel::test

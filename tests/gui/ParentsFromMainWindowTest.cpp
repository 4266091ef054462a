#include <gtest/gtest.h>

#include <string>

#include "parents/FrmPassword.h"
#include "platform/ModalSession.h"
#include "tests/gui/BrowserFixture.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

using ParentsFromMainWindow = BrowserTest;

bool addressBarShown(browser::MainView& view) {
  return view.outlets().urltxtField->get_visible() && view.outlets().btnGo->get_visible();
}

// The prompt the main window opened last, once it runs its session.
parents::FrmPassword* promptInSession(browser::MainView& view) {
  parents::FrmPassword* prompt = view.frmpassword();
  return prompt != nullptr && isInSession(prompt->window()) ? prompt : nullptr;
}

parents::FrmParentController* parentsWindowInSession(browser::MainView& view) {
  parents::FrmPassword* prompt = view.frmpassword();
  return prompt != nullptr ? test::parentsWindowInSession(*prompt) : nullptr;
}

// Close asks for the password, and Cancel keeps the kiosk running. Parents, the password, the
// settings: the switch as the parent leaves it decides the address bar once the window closes,
// and a site blocked there is refused from the next page on.
TEST_F(ParentsFromMainWindow, CloseAndParentsAskForThePasswordAndNewSettingsCountAtOnce) {
  writeFile(folder / "data.plist", propertyList({{"PD", "Secret"}, {"AB", "ON"}}));
  server.page("www.games.example/play", {.body = titled("Games")});
  open();
  {
    AlertRecorder alerts;
    for (int press_ = 0; press_ < 2; ++press_) {
      Steps steps;
      steps.when([&] { return promptInSession(*view) != nullptr; },
                 [&] {
                   parents::FrmPassword& prompt = *view->frmpassword();
                   EXPECT_EQ(prompt.window().get_title(), "Close Application");
                   EXPECT_EQ(prompt.delegate(), nullptr);
                   // A new prompt each time: nothing typed before is left in it.
                   EXPECT_EQ(prompt.outlets().txtfieldpassword->get_text(), "");
                   enterPassword(prompt, "secret");
                   prompt.outlets().btnCancel->activate();
                 });
      view->outlets().closeBtn->activate();
      ASSERT_TRUE(waitUntil([&] { return steps.finished() && platform::modalDepth() == 0; }));
    }
    ASSERT_EQ(alerts.alerts().size(), 2u);
    EXPECT_EQ(alerts.alerts()[1].informative, "Invalid Password");
    EXPECT_TRUE(view->window().get_visible());
    EXPECT_TRUE(addressBarShown(*view));
  }
  AlertRecorder alerts;
  EXPECT_TRUE(addressBarShown(*view));

  for (const bool switchOn : {false, true}) {
    SCOPED_TRACE(switchOn ? "switched on" : "switched off");
    Steps steps;
    steps
        .when([&] { return promptInSession(*view) != nullptr; },
              [&] {
                parents::FrmPassword& prompt = *view->frmpassword();
                EXPECT_EQ(prompt.window().get_title(), "Open Parents Menu");
                prompt.outlets().txtfieldpassword->set_text("Secret");
                prompt.outlets().btnOk->activate();
              })
        .when([&] { return parentsWindowInSession(*view) != nullptr; },
              [&] {
                parents::FrmParentController& parents = *parentsWindowInSession(*view);
                if (parents.outlets().btnCheck->get_active() != switchOn) {
                  parents.outlets().btnCheck->activate();
                }
                parents.outlets().txtfieldbw[0]->set_text("http://www.games.example");
                parents.outlets().btnClose->activate();
              });
    view->outlets().btnParent->activate();
    ASSERT_TRUE(waitUntil([&] { return steps.finished(); }));
    EXPECT_EQ(addressBarShown(*view), switchOn);
    EXPECT_EQ(platform::modalDepth(), 0);
  }

  enter("www.games.example/play");
  ASSERT_TRUE(waitUntil([&] { return !alerts.alerts().empty(); }));
  EXPECT_EQ(alerts.alerts()[0].message, "URL Block");
}

}  // namespace
}  // namespace harbinel::test

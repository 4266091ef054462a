#include <gtest/gtest.h>

#include "parents/FrmPassword.h"
#include "platform/ModalSession.h"
#include "tests/gui/BrowserFixture.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

using ParentsFromMainWindow = BrowserTest;

// The prompt the main window opened last, once it runs its session.
parents::FrmPassword* promptInSession(browser::MainView& view) {
  parents::FrmPassword* prompt = view.frmpassword();
  return prompt != nullptr && isInSession(prompt->window()) ? prompt : nullptr;
}

// Close asks for the password in a new prompt each time, and Cancel keeps the kiosk running.
// Parents, the password, the settings: the switch as the parent leaves it decides the address
// bar once the window closes, and a site blocked there is refused from the next page on.
TEST_F(ParentsFromMainWindow, CloseAndParentsAskForThePasswordAndNewSettingsCountAtOnce) {
  writeFile(folder / "data.plist", propertyList({{"PD", "Secret"}, {"AB", "ON"}}));
  server.page("www.games.example/play", {.body = titled("Games")});
  open();
  AlertRecorder alerts;
  for (int press = 0; press < 2; ++press) {
    Steps steps;
    steps.when([&] { return promptInSession(*view) != nullptr; },
               [&] {
                 parents::FrmPassword& prompt = *view->frmpassword();
                 EXPECT_EQ(prompt.window().get_title(), "Close Application");
                 EXPECT_EQ(prompt.delegate(), nullptr);
                 EXPECT_EQ(prompt.outlets().txtfieldpassword->get_text(), "");
                 enterPassword(prompt, "secret");
                 prompt.outlets().btnCancel->activate();
               });
    view->outlets().closeBtn->activate();
    ASSERT_TRUE(waitUntil([&] { return steps.finished() && platform::modalDepth() == 0; }));
  }
  EXPECT_EQ(alerts.alerts().size(), 2u);
  EXPECT_TRUE(view->window().get_visible());

  Steps steps;
  steps
      .when([&] { return promptInSession(*view) != nullptr; },
            [&] {
              EXPECT_EQ(view->frmpassword()->window().get_title(), "Open Parents Menu");
              enterPassword(*view->frmpassword(), "Secret");
            })
      .when([&] { return parentsWindowInSession(*view->frmpassword()) != nullptr; },
            [&] {
              auto& parents = *view->frmpassword()->frmparentcontroller();
              parents.outlets().btnCheck->activate();
              parents.outlets().txtfieldbw[0]->set_text("http://www.games.example");
              parents.outlets().btnClose->activate();
            });
  view->outlets().btnParent->activate();
  ASSERT_TRUE(waitUntil([&] { return steps.finished() && platform::modalDepth() == 0; }));
  EXPECT_FALSE(field().get_visible() || view->outlets().btnGo->get_visible());
  enter("www.games.example/play");
  ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == 3; }));
  EXPECT_EQ(alerts.alerts()[2].message, "URL Block");
}

}  // namespace
}  // namespace harbinel::test

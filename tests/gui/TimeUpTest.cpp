#include <gtkmm/stack.h>

#include <string>

#include "browser/TimeLimits.h"
#include "platform/ModalSession.h"
#include "tests/gui/BrowserFixture.h"
#include "tests/gui/HomeSupport.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

using TimeUpTest = BrowserTest;

bool showsTimeUp(browser::MainView& view) {
  return pageText(view.webView()).find("Time is up for today") != std::string::npos;
}

// The rules are the core's; here: the spent day shows the time-up page at the start, Home and
// a typed address do nothing, Parents still opens, and a grant there brings the start page back.
TEST_F(TimeUpTest, ShowsTheTimeUpPageUntilAParentGivesMoreTime) {
  Entries entries = {{"PD", "Secret"}, {"AB", "ON"}};
  for (int day = 0; day < 7; ++day) entries.emplace_back("TM" + std::to_string(day), "30");
  writeFile(folder / "data.plist", propertyList(entries));
  browser::TimeKeeper(settings, folder / "time", clock).count(30min);
  view = std::make_unique<browser::MainView>(browser::BrowserServices{
      .resourceFolder = HARBINEL_BUILD_RESOURCES, .settings = settings, .history = history,
      .blockLists = lists, .homeAddress = kHome,
      .webView = {.ephemeral = true, .proxyURL = server.proxyURL()},
      .timeFile = folder / "time"});
  view->window();
  ASSERT_TRUE(waitUntil([&] { return showsTimeUp(*view) && !view->webView().isLoading(); }));
  keepScreenshot("time-up-page");

  view->outlets().btnHome->activate();
  enter("kids.test");
  settle();
  EXPECT_TRUE(showsTimeUp(*view));
  EXPECT_TRUE(server.requests().empty());
  EXPECT_TRUE(historyLines().empty());

  Steps steps;
  steps.when([&] { return view->frmpassword() != nullptr && isInSession(view->frmpassword()->window()); },
             [&] { enterPassword(*view->frmpassword(), "Secret"); })
      .when([&] { return parentsWindowInSession(*view->frmpassword()) != nullptr; },
            [&] {
              const auto& outlets = view->frmpassword()->frmparentcontroller()->outlets();
              EXPECT_EQ(outlets.lblTimeToday->get_text(), "Today: 30 min used, 0 min left.");
              dynamic_cast<Gtk::Stack&>(*outlets.lblTimeToday->get_ancestor(GTK_TYPE_STACK))
                  .set_visible_child("time");
            })
      .when([&] { return view->frmpassword()->frmparentcontroller()->outlets().btnGrant15->get_mapped(); },
            [&] { view->frmpassword()->frmparentcontroller()->outlets().btnGrant15->activate(); })
      .when([&] {
              return view->frmpassword()->frmparentcontroller()->outlets().lblTimeToday->get_text() ==
                     "Today: 30 min used, 15 min left.";
            },
            [&] {
              keepScreenshot("parents-time-section");
              view->frmpassword()->frmparentcontroller()->outlets().btnClose->activate();
            });
  view->outlets().btnParent->activate();
  ASSERT_TRUE(waitUntil([&] { return steps.finished() && platform::modalDepth() == 0; }));
  EXPECT_TRUE(waitForPage(kHome));
  EXPECT_NE(pageText(view->webView()).find("You have 15 minutes left today."), std::string::npos);
}

}  // namespace
}  // namespace harbinel::test

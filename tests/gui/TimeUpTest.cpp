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
// a typed address load nothing, Parents still opens, and a grant there brings the home page back;
// the Time section's limits are saved with the rest.
TEST_F(TimeUpTest, ShowsTheTimeUpPageUntilAParentGivesMoreTime) {
  Entries entries = {{"PD", "Secret"}, {"AB", "ON"}, {"HP", "kids.test/home"}};
  server.page("kids.test/home", {.body = titled("Kids")});
  for (int day = 0; day < 7; ++day) entries.emplace_back("TM" + std::to_string(day), "30");
  writeFile(folder / "data.plist", propertyList(entries));
  browser::TimeKeeper(settings, folder / "time", clock).count(30min);
  view = std::make_unique<browser::MainView>(
      browser::BrowserServices{.resourceFolder = HARBINEL_BUILD_RESOURCES,
                               .settings = settings,
                               .history = history,
                               .blockLists = lists,
                               .homeAddress = kHome,
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

  const auto parents = [&]() -> const auto& {
    return view->frmpassword()->frmparentcontroller()->outlets();
  };
  Steps steps;
  steps
      .when(
          [&] { return platform::modalDepth() == 1 && isInSession(view->frmpassword()->window()); },
          [&] { enterPassword(*view->frmpassword(), "Secret"); })
      .when([&] { return parentsWindowInSession(*view->frmpassword()) != nullptr; },
            [&] {
              EXPECT_EQ(parents().lblTimeToday->get_text(), "Today: 30 min used, 0 min left.");
              dynamic_cast<Gtk::Stack&>(*parents().lblTimeToday->get_ancestor(GTK_TYPE_STACK))
                  .set_visible_child("time");
            })
      .when([&] { return parents().btnGrant15->get_mapped(); },
            [&] {
              parents().btnGrant15->activate();
              parents().timeminutes[0]->set_value(45);
              parents().btnSameEveryDay->activate();
            })
      .when([&] { return parents().timeminutes[6]->get_value() == 45; },
            [&] {
              EXPECT_EQ(parents().lblTimeToday->get_text(), "Today: 30 min used, 15 min left.");
              keepScreenshot("parents-time-section");
              parents().btnClose->activate();
            });
  view->outlets().btnParent->activate();
  ASSERT_TRUE(waitUntil([&] { return steps.finished() && platform::modalDepth() == 0; }));
  EXPECT_TRUE(waitForPage("http://kids.test/home"));
  EXPECT_EQ(settings.value("TM6"), "45");
}

}  // namespace
}  // namespace harbinel::test

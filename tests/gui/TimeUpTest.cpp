#include <gtkmm/stack.h>

#include <string>
#include <utility>
#include <vector>

#include "browser/TimeLimits.h"
#include "tests/gui/Harness.h"

namespace harbinel::test {
namespace {

using TimeUpTest = BrowserTest;

bool showsTimeUp(browser::MainView& view) {
  return view.webView().title() == "Time is up for today";
}

// The rules are the core's; here: the spent day shows the time-up page at the start, Home and
// a typed address load nothing, Parents still opens, and a grant there brings the home page back;
// the Time section's limits are saved with the rest.
TEST_F(TimeUpTest, ShowsTheTimeUpPageUntilAParentGivesMoreTime) {
  std::vector<std::pair<std::string, std::string>> entries = {
      {"PD", "Secret"}, {"AB", "ON"}, {"HP", "kids.test/home"}};
  server.page("kids.test/home", {.body = titled("Kids")});
  for (int day = 0; day < 7; ++day) entries.emplace_back("TM" + std::to_string(day), "30");
  ASSERT_TRUE(settings.save(entries).ok());
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

  // The steps wait side by side: each condition asks only once the one before it holds.
  const auto prompt = [&] { return view->frmpassword(); };
  const auto parentsOpen = [&] {
    return prompt() && prompt()->frmparentcontroller() &&
           isInSession(&prompt()->frmparentcontroller()->window());
  };
  const auto parents = [&]() -> const auto& {
    return prompt()->frmparentcontroller()->outlets();
  };
  Steps steps;
  steps.when([&] { return prompt() && isInSession(&prompt()->window()); },
             [&] { enterPassword(*prompt(), "Secret"); });
  steps.when(parentsOpen, [&] {
    EXPECT_EQ(parents().lblTimeToday->get_text(), "Today: 30 min used, 0 min left.");
    dynamic_cast<Gtk::Stack&>(*parents().lblTimeToday->get_ancestor(GTK_TYPE_STACK))
        .set_visible_child("time");
  });
  steps.when([&] { return parentsOpen() && parents().btnGrant15->get_mapped(); },
             [&] {
               parents().btnGrant15->activate();
               parents().timeminutes[0]->set_value(45);
               parents().btnSameEveryDay->activate();
             });
  steps.when([&] { return parentsOpen() && parents().timeminutes[6]->get_value() == 45; },
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

#include <gtest/gtest.h>
#include <gtkmm/label.h>

#include <string>

#include "tests/gui/BrowserFixture.h"
#include "tests/gui/ParentsSupport.h"

namespace harbinel::test {
namespace {

// Under the whole-site rule a frame from a listed site is not loaded, and the page around it
// stays; frames from other sites load. Each frame that loads reports itself to the page title.
TEST_F(BrowserTest, FramesFromListedSitesAreNotLoadedUnderTheWholeSiteRule) {
  settings.save({{"BW0", "blocked.example"}, {"WS", "ON"}});
  const std::string frame = "<script>parent.postMessage(document.title, '*')</script>";
  server.page("fine.example/outer.html",
              {.body = titled("Outer",
                              "<script>addEventListener('message', e => document.title += ' ' + "
                              "e.data)</script><iframe src='http://m.blocked.example/in.html'>"
                              "</iframe><iframe src='http://kids.example/in.html'></iframe>")});
  server.page("m.blocked.example/in.html", {.body = titled("listed", frame)});
  server.page("kids.example/in.html", {.body = titled("kids", frame)});
  open();
  AlertRecorder alerts;
  load("http://fine.example/outer.html");
  ASSERT_TRUE(waitUntil([&] { return view->webView().title() == "Outer kids"; }));
  settle();
  EXPECT_EQ(view->webView().title(), "Outer kids");
  EXPECT_TRUE(alerts.alerts().empty());
}

// The line under a blocked-site field follows the typing and the switch.
TEST_F(ParentControls, EachBlockedSiteFieldExplainsItsEntry) {
  store({{"PD", "x"}, {"BW1", "youtube.com/watch"}});
  const auto window = parentsWindow();
  const auto& outlets = window->outlets();
  EXPECT_EQ(outlets.explainbw[1]->get_text(), "never matches: an entry with a '/' is never a host");
  EXPECT_FALSE(outlets.explainbw[0]->get_visible());
  outlets.btnWholeSites->activate();
  EXPECT_EQ(outlets.explainbw[1]->get_text(), "blocks youtube.com and every address under it");
  outlets.txtfieldbw[0]->grab_focus();
  outlets.txtfieldbw[0]->set_text("M.Example.ORG");
  ASSERT_TRUE(waitUntil([&] { return outlets.explainbw[0]->get_visible(); }));
  EXPECT_EQ(outlets.explainbw[0]->get_text(), "blocks m.example.org and every address under it");
}

}  // namespace
}  // namespace harbinel::test

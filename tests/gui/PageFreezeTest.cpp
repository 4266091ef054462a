#include <webkit/webkit.h>

#include "tests/gui/BrowserFixture.h"

namespace harbinel::test {
namespace {

class PageFreezeKeyboardTest : public BrowserTest {
 protected:
  // Counts the dialogs the page area lets through; `answer` says whether each is taken here
  // (confirmed, or "typed" into a prompt) or left to the engine to show.
  void watchDialogs(bool answer) {
    answer_ = answer;
    handler_ = g_signal_connect(
        view->webView().gobj(), "script-dialog",
        G_CALLBACK(+[](WebKitWebView*, WebKitScriptDialog* dialog, PageFreezeKeyboardTest* self) -> gboolean {
          ++self->dialogs;
          if (!self->answer_) return FALSE;
          if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_PROMPT) {
            webkit_script_dialog_prompt_set_text(dialog, "typed");
          } else {
            webkit_script_dialog_confirm_set_confirmed(dialog, true);
          }
          return TRUE;
        }),
        this);
  }
  void TearDown() override {
    if (handler_ != 0) g_signal_handler_disconnect(view->webView().gobj(), handler_);
  }
  bool pageTitleIs(const std::string& title) {
    return waitUntil([&] { return view->webView().title() == title; });
  }
  // A page that runs for ever from the first click into it, or at once.
  void loadBusyPage(const std::string& when) {
    server.page("busy.test/", {.body = "<html><head><title>Busy</title></head>"
                                       "<body style='height: 100vh'><script>" +
                                       when + "() => { while (true) {} })</script></body></html>"});
    load("http://busy.test/");
    ASSERT_TRUE(pageTitleIs("Busy"));
  }

  int dialogs = 0;

 private:
  bool answer_ = false;
  unsigned long handler_ = 0;
};

TEST_F(PageFreezeKeyboardTest, ThreeScriptDialogsPerLoadThenConfirmIsFalseAndPromptNull) {
  server.page("dialogs.test/", {.body = "<script>let yes = 0; for (let i = 0; i < 5; i++) "
                                        "if (confirm('?')) yes++; "
                                        "document.title = yes + ',' + prompt('?');</script>"});
  open();
  watchDialogs(true);
  for (int loads = 1; loads <= 2; ++loads) {
    load("http://dialogs.test/");
    EXPECT_TRUE(waitUntil([&] { return dialogs == 3 * loads; })) << "afresh with each load";
    EXPECT_TRUE(pageTitleIs("3,null")) << view->webView().title();
  }
}

TEST_F(PageFreezeKeyboardTest, HomeWorksUnderAnAlertThatComesBackEachTimeItCloses) {
  server.page("alerts.test/", {.body = "<script>for (;;) alert('again');</script>"});
  open();
  watchDialogs(false);
  load("http://alerts.test/");
  ASSERT_TRUE(waitUntil([&] { return dialogs == 1; }));
  g_signal_emit_by_name(view->outlets().btnHome->gobj(), "clicked");
  EXPECT_TRUE(waitForPage(kHome));
}

// The engine notices the page no longer answers the click's input; the kiosk ends it.
TEST_F(PageFreezeKeyboardTest, AProcessThatStopsAnsweringIsEndedAndHomeComesBack) {
  openFocused();
  loadBusyPage("document.body.addEventListener('click', ");
  clickAt(view->webView().widget(), 200, 200);
  EXPECT_TRUE(waitForPage(kHome));
}

// No input reached the page, so only the home load that does not start shows the page holds
// its process.
TEST_F(PageFreezeKeyboardTest, HomeEndsAPageThatHoldsItsProcess) {
  open();
  loadBusyPage("setTimeout(");
  g_signal_emit_by_name(view->outlets().btnHome->gobj(), "clicked");
  EXPECT_TRUE(waitForPage(kHome));
}

}  // namespace
}  // namespace harbinel::test

#include <webkit/webkit.h>

#include "tests/gui/BrowserFixture.h"

namespace harbinel::test {
namespace {

class PageFreezeKeyboardTest : public BrowserTest {
 protected:
  // Loads a page that runs for ever once `trigger` calls it.
  void loadBusyPage(const std::string& trigger) {
    server.page("busy.test/", {.body = titled("Busy", "<div style='height: 100vh'></div><script>" +
                                                          trigger + "() => { while (true) {} })"
                                                          "</script>")});
    load("http://busy.test/");
    ASSERT_TRUE(waitUntil([&] { return view->webView().title() == "Busy"; }));
  }
};

// Counts the dialogs the page area lets through, and answers each: confirmed, "typed".
gboolean answerDialog(WebKitWebView*, WebKitScriptDialog* dialog, int* shown) {
  ++*shown;
  if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_PROMPT) {
    webkit_script_dialog_prompt_set_text(dialog, "typed");
  } else {
    webkit_script_dialog_confirm_set_confirmed(dialog, true);
  }
  return TRUE;
}

TEST_F(PageFreezeKeyboardTest, ThreeScriptDialogsPerLoadThenConfirmIsFalseAndPromptNull) {
  server.page("dialogs.test/", {.body = "<script>let yes = 0; for (let i = 0; i < 5; i++) "
                                        "if (confirm('?')) yes++; "
                                        "document.title = yes + ',' + prompt('?');</script>"});
  open();
  int shown = 0;
  g_signal_connect(view->webView().gobj(), "script-dialog", G_CALLBACK(answerDialog), &shown);
  for (int loads = 1; loads <= 2; ++loads) {
    load("http://dialogs.test/");
    EXPECT_TRUE(waitUntil([&] { return shown == 3 * loads; })) << "afresh with each load";
    EXPECT_TRUE(waitUntil([&] { return view->webView().title() == "3,null"; }));
  }
  g_signal_handlers_disconnect_by_data(view->webView().gobj(), &shown);
}

// The click's input goes unanswered: the engine reports it, and the kiosk ends the process.
TEST_F(PageFreezeKeyboardTest, AProcessThatStopsAnsweringIsEndedAndHomeComesBack) {
  openFocused();
  loadBusyPage("document.body.addEventListener('click', ");
  clickAt(view->webView().widget(), 200, 200);
  EXPECT_TRUE(waitForPage(kHome));
}

// No input reached the page: the home load it leaves unanswered shows that it holds its process.
TEST_F(PageFreezeKeyboardTest, HomeEndsAPageThatHoldsItsProcess) {
  open();
  loadBusyPage("setTimeout(");
  g_signal_emit_by_name(view->outlets().btnHome->gobj(), "clicked");
  EXPECT_TRUE(waitForPage(kHome));
}

// Home does not wait for the limit: a process already reported unresponsive is ended at once.
TEST_F(PageFreezeKeyboardTest, HomeEndsAnUnresponsiveProcessAtOnce) {
  unresponsiveLimit = std::chrono::hours(1);
  openFocused();
  loadBusyPage("document.body.addEventListener('click', ");
  clickAt(view->webView().widget(), 200, 200);
  auto* engine = WEBKIT_WEB_VIEW(view->webView().gobj());
  ASSERT_TRUE(waitUntil([&] { return !webkit_web_view_get_is_web_process_responsive(engine); }));
  g_signal_emit_by_name(view->outlets().btnHome->gobj(), "clicked");
  EXPECT_TRUE(waitForPage(kHome));
}

}  // namespace
}  // namespace harbinel::test

#include "tests/gui/HomeSupport.h"

#include <gtest/gtest.h>
#include <webkit/webkit.h>

#include <cstdlib>
#include <filesystem>

#include "tests/gui/GuiTestSupport.h"

namespace harbinel::test {

std::string runInPage(platform::WebView& view, const std::string& script) {
  struct Answer {
    bool done = false;
    std::string text;
  } answer;
  webkit_web_view_evaluate_javascript(
      view.gobj(), script.c_str(), -1, nullptr, nullptr, nullptr,
      +[](GObject* source, GAsyncResult* result, gpointer data) {
        auto& answer = *static_cast<Answer*>(data);
        answer.done = true;
        JSCValue* value =
            webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
        if (value == nullptr) return;
        char* text = jsc_value_to_string(value);
        answer.text = text;
        g_free(text);
        g_object_unref(value);
      },
      &answer);
  waitUntil([&] { return answer.done; });
  return answer.text;
}

std::string pageText(platform::WebView& view) {
  return runInPage(view, "document.body ? document.body.innerText : ''");
}

void keepScreenshot(const std::string& name) {
  const auto folder = std::filesystem::path(HARBINEL_BUILD_RESOURCES).parent_path() / "test-screenshots";
  std::filesystem::create_directories(folder);
  settle(1500ms);  // let the last frame reach the screen
  const std::string command =
      "import -window root '" + (folder / (name + ".png")).string() + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) ADD_FAILURE() << "no screenshot: " << name;
}

}  // namespace harbinel::test

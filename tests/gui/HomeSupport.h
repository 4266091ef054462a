#pragma once

#include <string>

#include "platform/WebView.h"

namespace harbinel::test {

// The result of a script run in the page shown, as text ("" when it failed).
std::string runInPage(platform::WebView& view, const std::string& script);
// The visible text of the page shown.
std::string pageText(platform::WebView& view);

// Saves the whole screen as build/test-screenshots/<name>.png, for people to look at.
void keepScreenshot(const std::string& name);

}  // namespace harbinel::test

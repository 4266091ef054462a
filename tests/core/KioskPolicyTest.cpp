#include <gtest/gtest.h>

#include <chrono>

#include "platform/KioskPolicy.h"

namespace harbinel {
namespace {

namespace kiosk = platform::kiosk;

TEST(KioskPolicy, OnlyWebAddressesReachTheMainFrame) {
  struct Case {
    const char* address;
    bool navigate;  // in any frame
    bool show;      // in the main frame
  };
  const Case cases[] = {
      {"http://www.example.org/", true, true},
      {"HTTPS://www.example.org/", true, true},
      {"about:blank", true, true},
      {"about:srcdoc", true, false},
      {"about:config", false, false},
      {"data:text/html,<p>hi", true, false},
      {"blob:http://www.example.org/6c1d", true, false},
      {"file:///etc/passwd", false, false},
      {"FILE:///etc/passwd", false, false},
      {"javascript:alert(1)", false, false},
      {" javascript:alert(1)", false, false},
      {"view-source:http://www.example.org/", false, false},
      {"mailto:someone@example.org", false, false},
      {"ftp://example.org/", false, false},
      {"ghelp:gtk", false, false},
      {"webkit://gpu", false, false},
      {"www.example.org/a:b", false, false},
      {"", false, false},
      {"http", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kiosk::mayNavigate(c.address), c.navigate) << c.address;
    EXPECT_EQ(kiosk::mayShowInMainFrame(c.address), c.show) << c.address;
  }
}

TEST(RestartBudget, AllowsALimitedNumberWithinTheWindowThenRecovers) {
  using namespace std::chrono_literals;
  platform::RestartBudget budget(3, 60s);
  const auto start = platform::RestartBudget::Clock::time_point{} + 1h;
  EXPECT_TRUE(budget.mayRestart(start));
  EXPECT_TRUE(budget.mayRestart(start + 1s));
  EXPECT_TRUE(budget.mayRestart(start + 2s));
  EXPECT_FALSE(budget.mayRestart(start + 3s));
  EXPECT_FALSE(budget.mayRestart(start + 59s))
      << "a refusal is no restart, but the first is still in the window";
  // The first restart leaves the window: one more is allowed, not a whole new set.
  EXPECT_TRUE(budget.mayRestart(start + 60s));
  EXPECT_FALSE(budget.mayRestart(start + 60s));
  // Long calm: the whole budget again.
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(budget.mayRestart(start + 10min + std::chrono::seconds(i)));
  EXPECT_FALSE(budget.mayRestart(start + 10min + 3s));
}

}  // namespace
}  // namespace harbinel

#pragma once

#include <chrono>

#include "platform/Clock.h"

namespace harbinel::parents {

// Paces password attempts: after three wrong passwords in a row each further attempt must wait,
// 2 s after the third, then 4, 8 ... up to 5 minutes. Attempts are never refused for good; a
// right password starts the count afresh. One object lasts for the whole run.
class PasswordPacing {
 public:
  explicit PasswordPacing(const platform::Clock& clock) : clock_(clock) {}

  // How long until the next attempt may be made (zero: now). A clock set back never makes
  // the wait longer than the one that was due.
  std::chrono::seconds waitLeft() const;
  void wrongPassword();
  void rightPassword();

 private:
  const platform::Clock& clock_;
  int wrongInARow_ = 0;
  std::chrono::seconds wait_{0};
  mutable platform::TimePoint waitFrom_{};
};

}  // namespace harbinel::parents

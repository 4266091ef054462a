#include "parents/PasswordPacing.h"

#include <algorithm>

namespace harbinel::parents {
namespace {

constexpr int kFreeAttempts = 3;
constexpr std::chrono::seconds kLongestWait{300};

// 2 s after the third wrong password, doubling with each one after it.
std::chrono::seconds waitAfter(int wrongInARow) {
  if (wrongInARow < kFreeAttempts) return std::chrono::seconds(0);
  const int doublings = std::min(wrongInARow - kFreeAttempts + 1, 16);
  return std::min(std::chrono::seconds(1LL << doublings), kLongestWait);
}

}  // namespace

std::chrono::seconds PasswordPacing::waitLeft() const {
  using namespace std::chrono;
  const platform::TimePoint now = clock_.now();
  if (now < waitFrom_) waitFrom_ = now;  // set back: the wait starts again, no longer
  const auto passed = duration_cast<seconds>(now - waitFrom_);
  return wait_ - std::min(passed, wait_);
}

void PasswordPacing::wrongPassword() {
  ++wrongInARow_;
  wait_ = waitAfter(wrongInARow_);
  waitFrom_ = clock_.now();
}

void PasswordPacing::rightPassword() {
  wrongInARow_ = 0;
  wait_ = std::chrono::seconds(0);
}

}  // namespace harbinel::parents

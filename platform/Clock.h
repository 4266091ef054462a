#pragma once

#include <chrono>

namespace harbinel::platform {

using TimePoint = std::chrono::system_clock::time_point;

// The source of "now". Injected so tests can pin any moment.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual TimePoint now() const = 0;
};

class SystemClock final : public Clock {
 public:
  TimePoint now() const override { return std::chrono::system_clock::now(); }
};

// A clock that always answers the same moment (tests, tools).
class FixedClock final : public Clock {
 public:
  explicit FixedClock(TimePoint moment) : moment_(moment) {}
  TimePoint now() const override { return moment_; }
  void set(TimePoint moment) { moment_ = moment; }

 private:
  TimePoint moment_;
};

}  // namespace harbinel::platform

#pragma once

#include <sys/resource.h>
#include <functional>

namespace harbinel::test {

// Runs `action` in a child process whose user is bound by file permissions, and returns what
// it returned. Root writes anywhere, so as root the child first becomes user "nobody"; the
// folders the action uses must then be open to others (mode 0755 on the way there).
bool runWithoutRootPowers(const std::function<bool()>& action);

// Runs `action(0)` and `action(1)` in two child processes at once, as two instances of the
// program would. Returns true when both returned true.
bool runInTwoProcessesAtOnce(const std::function<bool(int)>& action);

// While it lives, this process may not make any file larger than `bytes`: a write past that is
// cut short and the next one fails, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
};

}  // namespace harbinel::test

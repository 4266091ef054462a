#include "tests/core/FileFaults.h"

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace harbinel::test {

namespace {

constexpr int kChildBroke = 2;

pid_t startChild(const std::function<bool()>& action) {
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) ::_exit(action() ? 0 : 1);
  return child;
}

bool succeeded(pid_t child) {
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) == kChildBroke) {
    throw std::runtime_error("test child process broke down");
  }
  return WEXITSTATUS(status) == 0;
}

}  // namespace

bool runWithoutRootPowers(const std::function<bool()>& action) {
  return succeeded(startChild([&] {
    constexpr uid_t kNobody = 65534;
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
      ::_exit(kChildBroke);
    }
    return action();
  }));
}

bool runInTwoProcessesAtOnce(const std::function<bool(int)>& action) {
  const pid_t first = startChild([&] { return action(0); });
  const pid_t second = startChild([&] { return action(1); });
  const bool firstSucceeded = succeeded(first);
  return succeeded(second) && firstSucceeded;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  ::getrlimit(RLIMIT_FSIZE, &previous_);
  // Without this the kernel ends the process with SIGXFSZ instead of failing the write.
  previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{bytes, previous_.rlim_max};
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("setrlimit failed");
}

FileSizeLimit::~FileSizeLimit() {
  ::setrlimit(RLIMIT_FSIZE, &previous_);
  std::signal(SIGXFSZ, previousHandler_);
}

}  // namespace harbinel::test

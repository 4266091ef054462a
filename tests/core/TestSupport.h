#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace harbinel::test {

// A moment given as a wall-clock time in a named time zone.
platform::TimePoint localTime(int year, int month, int day, int hour, int minute, int second,
                              std::string_view timeZone);

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& path);
// The names of what a folder holds, sorted.
std::vector<std::string> namesIn(const std::filesystem::path& folder);
void writeFile(const std::filesystem::path& path, std::string_view bytes);

// Runs a shell command; returns its standard output and sets `status` to its exit status.
std::string runCommand(const std::string& command, int& status);

// Checks a table of cases: `rule(input)` must give each row's expected output.
template <typename Input, typename Output, typename Rule>
void expectRows(Rule rule, const std::vector<std::pair<Input, Output>>& rows) {
  for (const auto& [input, expected] : rows) {
    SCOPED_TRACE(::testing::PrintToString(input));
    EXPECT_EQ(rule(input), expected);
  }
}

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

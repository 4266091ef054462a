#pragma once

#include <gtest/gtest.h>

#include <filesystem>
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

}  // namespace harbinel::test

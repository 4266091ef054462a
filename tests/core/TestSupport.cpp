#include "tests/core/TestSupport.h"

#include <unicode/calendar.h>
#include <unicode/timezone.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace harbinel::test {
namespace fs = std::filesystem;

platform::TimePoint localTime(int year, int month, int day, int hour, int minute, int second,
                              std::string_view timeZone) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(
      icu::TimeZone::createTimeZone(
          icu::UnicodeString::fromUTF8(icu::StringPiece(timeZone.data(), timeZone.size()))),
      icu::Locale("en_US@calendar=gregorian"), status));
  calendar->clear();
  calendar->set(year, month - 1, day, hour, minute, second);
  const UDate date = calendar->getTime(status);
  if (U_FAILURE(status)) throw std::runtime_error("bad test date");
  return platform::TimePoint(std::chrono::duration_cast<platform::TimePoint::duration>(
      std::chrono::milliseconds(static_cast<long long>(date))));
}

TemporaryFolder::TemporaryFolder() {
  std::string pattern = (fs::temp_directory_path() / "harbinel-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
  std::error_code error;
  // Tests take permissions away; give them back so everything can be removed.
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(path_, error);
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void writeFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string runCommand(const std::string& command, int& status) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
  std::string output;
  char buffer[4096];
  while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe))
    output.append(buffer, read);
  status = WEXITSTATUS(::pclose(pipe));
  return output;
}

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

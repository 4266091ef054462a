#include "app/Provisioning.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string_view>

#include "platform/AtomicFile.h"
#include "platform/Log.h"

namespace harbinel::app {
namespace fs = std::filesystem;

namespace {

// Existence alone counts: a plain file where a folder belongs is left alone, and whatever
// later needs the folder fails on its own.
bool somethingExists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

bool ensureFolder(const fs::path& folder) {
  if (somethingExists(folder)) return true;
  std::error_code error;
  fs::create_directories(folder, error);
  return !error;
}

bool ensureEmptyFile(const fs::path& file) {
  if (somethingExists(file)) return true;
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno == EEXIST;
  ::close(fd);
  return true;
}

// The copy goes through a temporary file renamed into place, so a copy cut short never
// leaves a partial file that later starts would take for the user's own.
bool ensureCopy(const fs::path& source, const fs::path& target, unsigned mode) {
  if (somethingExists(target)) return true;
  std::string bytes;
  if (!platform::readWholeFile(source, bytes)) return false;
  return platform::writeFileAtomically(target, bytes, mode).ok;
}

// The settings file holds the parent password: only its owner may read the copy.
unsigned copyMode(std::string_view name) {
  return name == "data.plist" ? 0600 : 0644;
}

}  // namespace

std::string createPlist(const platform::Folders& folders, const platform::Clock& clock,
                        const platform::DateLocale& where,
                        const std::function<void()>& onStepFailed) {
  const auto step = [&](bool succeeded) {
    if (!succeeded) onStepFailed();
  };
  const fs::path data = folders.dataFolder();
  const fs::path history = folders.historyFolder();
  step(ensureFolder(data));
  step(ensureFolder(history));

  const std::string dayFile = platform::formatDate(clock.now(), "ddMMyyyy", where) + ".lic";
  platform::logLine(dayFile);
  step(ensureEmptyFile(history / dayFile));

  for (const std::string_view name : {"data.plist", "dmn", "dmnsame"}) {
    step(ensureCopy(folders.resources / name, data / name, copyMode(name)));
  }
  return dayFile;
}

}  // namespace harbinel::app

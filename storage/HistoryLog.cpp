#include "storage/HistoryLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Log.h"
#include "platform/TextCodec.h"

namespace harbinel::storage {
namespace fs = std::filesystem;

std::string dayFileName(platform::TimePoint moment, const platform::DateLocale& where) {
  return platform::formatDate(moment, "ddMMyyyy", where) + ".lic";
}

std::string historyLineBytes(platform::TimePoint moment, std::string_view text,
                             const platform::DateLocale& where) {
  const std::string line = platform::formatDate(moment, "dd-MMM-yyyy hh:mm:ss", where) + "  --> " +
                           std::string(text) + "\n";
  return "\xFF\xFE" + platform::utf8ToUtf16le(line);
}

namespace {

// A short write leaves part of a line at the end of the file, which would garble every line
// after it. With O_APPEND the file offset ends where our bytes end; when nobody has appended
// since, cutting the file back there removes exactly what we wrote.
void removePartialLine(int fd, std::size_t written) {
  const off_t end = ::lseek(fd, 0, SEEK_CUR);
  struct stat status {};
  if (end < 0 || ::fstat(fd, &status) != 0 || status.st_size != end) return;
  if (::ftruncate(fd, end - static_cast<off_t>(written)) != 0) {
    platform::logLine(std::string("cannot remove a partly written history line: ") +
                      std::strerror(errno));
  }
}

// One write() on a file opened with O_APPEND: the kernel puts the whole line at the end of the
// file in one step, so lines from two processes never interleave within a line.
bool appendInOneWrite(int fd, std::string_view bytes) {
  ssize_t written;
  do {
    written = ::write(fd, bytes.data(), bytes.size());
  } while (written < 0 && errno == EINTR);
  if (written == static_cast<ssize_t>(bytes.size())) return true;
  const int error = written < 0 ? errno : ENOSPC;
  if (written > 0) removePartialLine(fd, static_cast<std::size_t>(written));
  errno = error;
  return false;
}

bool failed(const fs::path& file, int error) {
  platform::logLine("cannot append a history line to " + file.string() + ": " +
                    std::strerror(error));
  return false;
}

}  // namespace

HistoryLog::HistoryLog(fs::path historyFolder, const platform::Clock& clock,
                       platform::DateLocale where)
    : folder_(std::move(historyFolder)), clock_(clock), where_(std::move(where)) {}

bool HistoryLog::append(std::string_view text) const {
  // One reading of the clock, so the line always lands in the file of the day its stamp names.
  const platform::TimePoint moment = clock_.now();
  const fs::path file = folder_ / dayFileName(moment, where_);
  const std::string bytes = historyLineBytes(moment, text, where_);

  // The day file may be missing: a run that passes midnight, or a file removed meanwhile.
  // Creating it (and the folder) keeps every line instead of dropping it.
  std::error_code error;
  fs::create_directories(folder_, error);
  if (error) return failed(file, error.value());

  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return failed(file, errno);
  const bool appended = appendInOneWrite(fd, bytes);
  const int writeError = errno;
  const bool closed = ::close(fd) == 0;
  if (!appended) return failed(file, writeError);
  if (!closed) return failed(file, errno);
  return true;
}

fs::path HistoryLog::todaysFile() const {
  return folder_ / dayFileName(clock_.now(), where_);
}

}  // namespace harbinel::storage

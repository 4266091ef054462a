#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/Translation.h"

namespace harbinel::platform {
namespace fs = std::filesystem;

namespace {

// `text` names the file as %1 and the system's reason, in its own words, as %2.
FileWriteResult failure(const char* text, const fs::path& path, int error) {
  return {false, withValues(text, {path.string(), std::strerror(error)})};
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The rename is only durable once the folder's entry is on the disk too.
void syncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

fs::path folderOf(const fs::path& path) {
  return path.has_parent_path() ? path.parent_path() : fs::path(".");
}

// Temporary files are hidden beside the file: ".name." and six characters from mkstemp.
std::string temporaryPrefix(const fs::path& path) {
  // Built piece by piece: GCC 12 at -O3 misreads `"." + name` as an overlapping copy.
  std::string prefix = ".";
  prefix += path.filename().string();
  prefix += ".";
  return prefix;
}

}  // namespace

void removeLeftoverTemporaries(const fs::path& path) {
  const std::string prefix = temporaryPrefix(path);
  const auto isTemporary = [&prefix](const std::string& name) {
    return name.size() == prefix.size() + 6 && name.starts_with(prefix) &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](unsigned char c) { return std::isalnum(c) != 0; });
  };
  std::error_code error;
  for (const auto& item : fs::directory_iterator(folderOf(path), error)) {
    if (isTemporary(item.path().filename().string()) && item.is_regular_file(error)) {
      fs::remove(item.path(), error);
    }
  }
}

fs::path followLinks(fs::path path) {
  std::error_code error;
  for (int hops = 0; hops < 16 && fs::is_symlink(path, error); ++hops) {
    const fs::path target = fs::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

FileWriteResult writeFileAtomically(const fs::path& requested, std::string_view bytes,
                                    unsigned newFileMode) {
  const fs::path path = followLinks(requested);
  std::error_code error;
  if (fs::exists(path, error) && !fs::is_regular_file(path, error)) {
    return {false, withValues(_("%1 is not a regular file"), {path.string()})};
  }
  const fs::path folder = folderOf(path);
  std::string pattern = (folder / (temporaryPrefix(path) + "XXXXXX")).string();
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return failure(_("cannot create a temporary file in %1: %2"), folder, errno);
  const fs::path temporary = pattern;

  // Keep the mode and group of the file being replaced, so a save does not widen or narrow
  // who may read it.
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) {
    ::fchmod(fd, existing.st_mode & 07777);
    if (::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0) {
      // Not a member of the file's group: the new file keeps ours.
    }
  } else {
    ::fchmod(fd, static_cast<mode_t>(newFileMode));
  }

  if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
    const int error = errno;
    ::close(fd);
    ::unlink(temporary.c_str());
    return failure(_("cannot write %1: %2"), path, error);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return failure(_("cannot write %1: %2"), path, error);
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return failure(_("cannot replace %1: %2"), path, error);
  }
  syncFolder(folder);
  return {};
}

bool readWholeFile(const fs::path& path, std::string& bytes) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace harbinel::platform

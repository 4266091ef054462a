#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace harbinel::platform {

struct FileWriteResult {
  bool ok = true;
  std::string detail;  // errno text and the path, when !ok
};

// Replaces `path` with `bytes` so that no reader ever meets a partly written file: the bytes
// go to a temporary file in the same folder, are flushed to the disk, and the temporary file
// is renamed over `path`. On any failure the temporary file is removed and `path` is as it was.
// A new file gets `newFileMode`; an existing file keeps its mode. Links are followed; anything
// but a regular file at the end of them is never replaced.
FileWriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                    unsigned newFileMode = 0644);

// Removes the temporary files that writes of `path` killed before their rename left beside it.
// Only for a caller that knows no write of `path` is under way (one holding a lock that all
// writers take): a running write's temporary file looks just the same.
void removeLeftoverTemporaries(const std::filesystem::path& path);

// Where a chain of symbolic links ends. A settings file may be a link to where the system keeps
// it (/etc in a package install): a save must replace the file the link names, never the link.
std::filesystem::path followLinks(std::filesystem::path path);

// Reads a whole file. Returns false when it cannot be opened or read, or is not a regular file.
bool readWholeFile(const std::filesystem::path& path, std::string& bytes);

}  // namespace harbinel::platform

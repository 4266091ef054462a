#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace harbinel::storage {

// The string entries of the settings file. Entries whose value is not a string are not here:
// to a reader they are absent, and a save leaves them in the file untouched.
using Settings = std::map<std::string, std::string, std::less<>>;

// The value of `key`, or the empty text when it is absent.
std::string valueOf(const Settings& settings, std::string_view key);

// The nine-slot list rule: the values of <prefix>0 ... <prefix>8 in slot order, skipping
// absent and exactly empty values; no trimming, duplicates kept.
std::vector<std::string> slotList(const Settings& settings, std::string_view prefix);

// The string entries of a settings file's bytes (XML or binary property list). Empty when the
// bytes are not a property list with a dictionary at its root, or far beyond a settings file.
Settings parseSettings(std::string_view bytes);

struct SaveResult {
  enum class Status {
    Saved,
    Unreadable,   // the file exists but is not a property list with a dictionary at its root
    WriteFailed,  // the folder is not writable, the disk is full, ...
  };
  Status status = Status::Saved;
  std::string detail;  // what went wrong, for the person who has to fix it
  std::vector<std::string> changedKeys;  // of a save: the keys whose value it changed, in order

  bool ok() const { return status == Status::Saved; }
};

// The settings an administrator fixed for the machine, and why their file could not be used
// at all (empty when it could, or when there is none).
struct ManagedSettings {
  Settings values;
  std::string problem;
};

// Reads an administrator's settings file: a missing one sets nothing; a value that is not a
// text is left out on its own. Each problem is written to the system log once per run.
ManagedSettings readManagedSettings(const std::filesystem::path& path);

// The settings file: a property list with a dictionary of string values at its root, and the
// administrator's settings over it, whose keys win at every read and are never saved into it.
// Nothing is cached; every load reads the files afresh.
class SettingsFile {
 public:
  explicit SettingsFile(std::filesystem::path path, std::filesystem::path managedPath = {});

  // Reads XML and binary property lists. A missing file reads as empty. A file that cannot be
  // read, or is not a dictionary, reads as it was last read in this run (and is logged once);
  // never read in this run, as empty. The administrator's values replace the file's.
  Settings load() const;
  // The same, and whether the file's own settings are unknown: it cannot be read and was never
  // read in this run. Then whatever the parent set (a blocked site, a switch) is unknown too.
  Settings load(bool& unreadable) const;
  std::string value(std::string_view key) const { return valueOf(load(), key); }
  ManagedSettings managed() const;

  // Sets `entries` in order (replacing present keys, adding absent ones), keeps every other
  // entry of the file as it was, and writes Apple's XML property list atomically: a temporary
  // file in the same folder, flushed, then renamed over the settings file. A missing file is
  // created. On failure the previous file stays as it was. Keys the administrator sets are
  // left out: the file keeps what it held for them.
  SaveResult save(const std::vector<std::pair<std::string, std::string>>& entries) const;

  const std::filesystem::path& path() const { return path_; }
  const std::filesystem::path& managedPath() const { return managedPath_; }

 private:
  std::optional<Settings> loadOwn() const;

  std::filesystem::path path_;
  std::filesystem::path managedPath_;
};

}  // namespace harbinel::storage

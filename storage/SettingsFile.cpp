#include "storage/SettingsFile.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/Log.h"
#include "platform/TextCodec.h"
#include "platform/Translation.h"

namespace harbinel::storage {
namespace fs = std::filesystem;

std::string valueOf(const Settings& settings, std::string_view key) {
  const auto found = settings.find(key);
  return found == settings.end() ? std::string() : found->second;
}

std::vector<std::string> slotList(const Settings& settings, std::string_view prefix) {
  std::vector<std::string> list;
  for (char slot = '0'; slot <= '8'; ++slot) {
    std::string value = valueOf(settings, std::string(prefix) + slot);
    if (!value.empty()) list.push_back(std::move(value));
  }
  return list;
}

namespace {

// The settings file holds about twenty short strings: a few hundred bytes in either form.
// A file far beyond that is not one, and turning it away before libplist sees it matters:
// libplist reads and writes nested arrays and dictionaries one stack frame per level, and its
// XML writer indents each level by one more tab. 100,000 nested arrays (1.5 MB) overflow the
// reader's stack, 40,000 (600 KB) the writer's, and 20,000 (300 KB) become a 400 MB document.
// Bounding the number of values bounds the depth, so nothing within these limits can do that.
constexpr std::size_t kMaxFileBytes = 1024 * 1024;
constexpr std::uint64_t kMaxValues = 4096;
// TRANSLATORS: the texts that describe a settings file follow its name, as in "The
// administrator's settings file /etc/harbinel/data.plist is empty."
constexpr const char* kTooLarge = N_("is larger than 1 MiB, far beyond any settings file");

struct PlistFree {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistNode = std::unique_ptr<void, PlistFree>;

struct FileDescriptor {
  int fd;
  explicit FileDescriptor(int descriptor) : fd(descriptor) {}
  ~FileDescriptor() {
    if (fd >= 0) ::close(fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
};

// The settings file's bytes, or why there are none. `missing` tells a file that is not there
// (a save may create it) from one that is there but cannot be used (a save must not touch it).
struct FileBytes {
  std::string bytes;
  std::string problem;
  bool missing = false;

  bool ok() const { return problem.empty() && !missing; }
};

FileBytes readSettingsBytes(const fs::path& path) {
  // Non-blocking, so a FIFO put where the file belongs cannot hang the reader.
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.fd < 0) {
    if (errno == ENOENT) return {{}, {}, true};
    // TRANSLATORS: %1 is the reason from the system, in its own words.
    return {{}, platform::withValues(_("cannot be opened: %1"), {std::strerror(errno)})};
  }
  struct stat status {};
  if (::fstat(file.fd, &status) != 0) return {{}, std::strerror(errno)};
  if (S_ISDIR(status.st_mode)) return {{}, _("is a folder")};
  if (!S_ISREG(status.st_mode)) return {{}, _("is not a regular file")};
  if (static_cast<std::uintmax_t>(status.st_size) > kMaxFileBytes) {
    return {{}, _(kTooLarge)};
  }
  // Read in pieces and stop past the limit, so a file that grows meanwhile is caught too.
  FileBytes result;
  result.bytes.reserve(static_cast<std::size_t>(status.st_size));
  char piece[16 * 1024];
  for (;;) {
    const ssize_t got = ::read(file.fd, piece, sizeof piece);
    if (got < 0 && errno == EINTR) continue;
    // TRANSLATORS: %1 is the reason from the system, in its own words.
    if (got < 0) return {{}, platform::withValues(_("cannot be read: %1"), {std::strerror(errno)})};
    if (got == 0) return result;
    result.bytes.append(piece, static_cast<std::size_t>(got));
    if (result.bytes.size() > kMaxFileBytes) return {{}, _(kTooLarge)};
  }
}

// An upper bound of the values in a property list, from its bytes: a binary one states its
// object count in its trailer; in XML every value takes at least one tag.
std::uint64_t valueCountBound(std::string_view bytes) {
  if (plist_is_binary(bytes.data(), static_cast<std::uint32_t>(bytes.size()))) {
    constexpr std::size_t kTrailer = 32, kCountOffset = 8;
    if (bytes.size() < kTrailer) return 0;
    std::uint64_t count = 0;
    for (std::size_t i = 0; i < 8; ++i) {
      count = count << 8 |
              static_cast<unsigned char>(bytes[bytes.size() - kTrailer + kCountOffset + i]);
    }
    return count;
  }
  return static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '<'));
}

struct ParsedDictionary {
  PlistNode root;
  std::string problem;
};

// libplist stops the whole program (a failed assertion) when a text of a property list holds
// the character U+0000: it measures the decoded text with strlen. No settings file holds one,
// so such a file is never handed to libplist as it is: in XML any NUL byte, which XML cannot
// hold anyway; in the binary form, found by walking its object table: every ASCII (5x),
// UTF-16 (6x) and UTF-8 (7x) text, keys included. `visit(first byte, units, unit width)`.
template <typename Visit>
void forEachBinaryText(std::string_view bytes, Visit visit) {
  constexpr std::size_t kTrailer = 32;
  if (bytes.size() < 8 + kTrailer) return;
  const auto byteAt = [&](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
  const auto bigEndian = [&](std::size_t at, std::size_t width) -> std::optional<std::uint64_t> {
    if (width == 0 || width > 8 || at > bytes.size() || bytes.size() - at < width) return {};
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value = value << 8 | byteAt(at + i);
    return value;
  };
  const std::size_t trailer = bytes.size() - kTrailer;
  const std::size_t offsetWidth = byteAt(trailer + 6);
  const auto objects = bigEndian(trailer + 8, 8);
  const auto table = bigEndian(trailer + 24, 8);
  if (!objects || !table || *objects > kMaxValues) return;

  for (std::uint64_t i = 0; i < *objects; ++i) {
    const auto offset = bigEndian(static_cast<std::size_t>(*table + i * offsetWidth), offsetWidth);
    if (!offset || *offset >= trailer) continue;
    std::size_t at = static_cast<std::size_t>(*offset);
    const unsigned kind = byteAt(at) >> 4;
    if (kind < 5 || kind > 7) continue;
    std::uint64_t length = byteAt(at) & 0x0F;
    ++at;
    if (length == 0x0F) {  // the length follows as an integer object: 1n, then 2^n bytes
      if (at >= trailer || (byteAt(at) >> 4) != 1) continue;
      const auto count = bigEndian(at + 1, std::size_t{1} << (byteAt(at) & 0x03));
      if (!count) continue;
      at += 1 + (std::size_t{1} << (byteAt(at) & 0x03));
      length = *count;
    }
    const std::size_t unitWidth = kind == 6 ? 2 : 1;
    if (length > (trailer - std::min(at, trailer)) / unitWidth) continue;
    visit(at, static_cast<std::size_t>(length), unitWidth);
  }
}

bool isNulUnit(std::string_view bytes, std::size_t at, std::size_t unitWidth) {
  return bytes[at] == '\0' && (unitWidth == 1 || bytes[at + 1] == '\0');
}

bool binaryTextHoldsNul(std::string_view bytes) {
  bool holds = false;
  forEachBinaryText(bytes, [&](std::size_t at, std::size_t units, std::size_t unitWidth) {
    for (std::size_t unit = 0; unit < units && !holds; ++unit) {
      holds = isNulUnit(bytes, at + unit * unitWidth, unitWidth);
    }
  });
  return holds;
}

// A reader loses only the entries whose key or value holds U+0000: each such character becomes
// a marker that no settings file holds (DEL in one-byte texts, U+FFFF in UTF-16 ones), and the
// entries with a marker are left out after parsing.
constexpr std::string_view kNulMarkers[] = {"\x7F", "\xEF\xBF\xBF"};

std::string withNulsMarked(std::string bytes) {
  forEachBinaryText(bytes, [&](std::size_t at, std::size_t units, std::size_t unitWidth) {
    for (std::size_t unit = at; unit < at + units * unitWidth; unit += unitWidth) {
      if (!isNulUnit(bytes, unit, unitWidth)) continue;
      bytes[unit] = unitWidth == 1 ? '\x7F' : '\xFF';
      if (unitWidth == 2) bytes[unit + 1] = '\xFF';
    }
  });
  return bytes;
}

bool holdsNulMarker(std::string_view text) {
  return std::any_of(std::begin(kNulMarkers), std::end(kNulMarkers), [&](std::string_view marker) {
    return text.find(marker) != std::string_view::npos;
  });
}

ParsedDictionary parseDictionary(std::string_view bytes) {
  if (bytes.empty()) return {nullptr, _("is empty")};
  if (valueCountBound(bytes) > kMaxValues) {
    return {nullptr, _("holds more than 4096 values, far beyond any settings file")};
  }
  const bool binary = plist_is_binary(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  if (binary ? binaryTextHoldsNul(bytes) : bytes.find('\0') != std::string_view::npos) {
    return {nullptr, _("holds a text with the character U+0000, which no settings file holds")};
  }
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  PlistNode owned(root);
  if (root == nullptr) return {nullptr, _("is not a property list (damaged or cut short?)")};
  if (plist_get_node_type(root) != PLIST_DICT) return {nullptr, _("has no dictionary at its root")};
  return {std::move(owned), {}};
}

// Calls `visit(key, value)` for every entry of a dictionary, in its order.
template <typename Visit>
void forEachEntry(plist_t dictionary, Visit visit) {
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(dictionary, &iterator);
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dictionary, iterator, &key, &value);
    if (value != nullptr) visit(key, value);
    std::free(key);
    if (value == nullptr) break;
  }
  std::free(iterator);
}

Settings stringEntries(plist_t dictionary) {
  Settings settings;
  forEachEntry(dictionary, [&](const char* key, plist_t value) {
    if (plist_get_node_type(value) != PLIST_STRING) return;
    char* text = nullptr;
    plist_get_string_val(value, &text);
    settings.emplace(key, text != nullptr ? text : "");
    std::free(text);
  });
  return settings;
}

std::vector<std::string> nonTextKeys(plist_t dictionary) {
  std::vector<std::string> keys;
  forEachEntry(dictionary, [&](const char* key, plist_t value) {
    if (plist_get_node_type(value) != PLIST_STRING) keys.emplace_back(key);
  });
  return keys;
}

// An administrator's file is read at every use of a setting: its problems would otherwise
// fill the log.
void logOnce(const std::string& problem) {
  static std::set<std::string> reported;
  if (reported.insert(problem).second) platform::logLine(problem);
}

SaveResult failure(SaveResult::Status status, std::string detail) {
  SaveResult result;
  result.status = status;
  result.detail = std::move(detail);
  return result;
}

// XML 1.0 has no way to write most control characters (not even as &#1;), nor U+FFFE and
// U+FFFF, nor broken UTF-8: libplist would write them raw, and strict readers then reject the
// whole file. Returns a description of the first such character, if any.
std::optional<std::string> unstorableCharacter(std::string_view text) {
  // TRANSLATORS: what an entry holds, as in "the entry BW0 holds a byte sequence that is not
  // UTF-8".
  if (!platform::isValidUtf8(text)) return _("a byte sequence that is not UTF-8");
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      char name[32];
      std::snprintf(name, sizeof name, "U+%04X", byte);
      // TRANSLATORS: %1 is the character's number, e.g. U+0007.
      return platform::withValues(_("the control character %1"), {name});
    }
  }
  constexpr std::pair<std::string_view, std::string_view> kNonCharacters[] = {
      {"\xEF\xBF\xBE", "U+FFFE"}, {"\xEF\xBF\xBF", "U+FFFF"}};
  for (const auto& [utf8, number] : kNonCharacters) {
    // TRANSLATORS: %1 is the character's number, U+FFFE or U+FFFF.
    if (text.find(utf8) != std::string_view::npos) {
      return platform::withValues(_("the non-character %1"), {number});
    }
  }
  return std::nullopt;
}

// libplist writes a carriage return raw, and every XML reader turns a raw one (and CR LF) into
// a line feed, so the value would come back changed. As a character reference it survives.
// Carriage returns appear in libplist's output only inside text, so all of them are escaped.
std::string escapeCarriageReturns(std::string_view xml) {
  std::string escaped;
  escaped.reserve(xml.size());
  for (const char c : xml) {
    if (c == '\r') {
      escaped += "&#13;";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string toXml(plist_t root) {
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(root, &xml, &length);
  std::string document = escapeCarriageReturns(std::string_view(xml, length));
  plist_to_xml_free(xml);
  return document;
}

// Saves read, change and write back the whole file. Two instances saving at once would both
// read the old file, and the later rename would drop the keys the earlier save set. An
// exclusive lock held from the read to the rename makes saves take turns. The lock lives in a
// file of its own, because every save replaces the settings file itself. Without the lock file
// (a folder we may not write to) the save goes ahead unlocked and fails on its own terms.
class SaveLock {
 public:
  explicit SaveLock(const fs::path& settings) : file_(openLockFile(settings)) {
    if (file_.fd < 0) return;
    int status;
    while ((status = ::flock(file_.fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    held_ = status == 0;
  }
  bool held() const { return held_; }

 private:
  static int openLockFile(const fs::path& settings) {
    fs::path lock = settings;
    lock.replace_filename("." + settings.filename().string() + ".lock");
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    // Another account's lock file may be read-only to us; flock works on a read-only one too.
    return fd >= 0 ? fd : ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
  }

  FileDescriptor file_;
  bool held_ = false;
};

}  // namespace

SettingsFile::SettingsFile(fs::path path, fs::path managedPath)
    : path_(std::move(path)), managedPath_(std::move(managedPath)) {}

Settings parseSettings(std::string_view bytes) {
  if (bytes.size() > kMaxFileBytes) return {};
  const bool binary = plist_is_binary(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  // Losing the whole file for one damaged value would drop the parent's block list with it.
  if (binary && valueCountBound(bytes) <= kMaxValues && binaryTextHoldsNul(bytes)) {
    const std::string marked = withNulsMarked(std::string(bytes));
    const ParsedDictionary parsed = parseDictionary(marked);
    if (!parsed.root) return {};
    Settings settings = stringEntries(parsed.root.get());
    std::erase_if(settings, [](const auto& entry) {
      return holdsNulMarker(entry.first) || holdsNulMarker(entry.second);
    });
    return settings;
  }
  const ParsedDictionary parsed = parseDictionary(bytes);
  return parsed.root ? stringEntries(parsed.root.get()) : Settings();
}

Settings SettingsFile::loadOwn() const {
  const FileBytes file = readSettingsBytes(path_);
  return file.ok() ? parseSettings(file.bytes) : Settings();
}

Settings SettingsFile::load() const {
  Settings settings = loadOwn();
  for (auto& [key, value] : managed().values) settings.insert_or_assign(key, std::move(value));
  return settings;
}

ManagedSettings SettingsFile::managed() const {
  return managedPath_.empty() ? ManagedSettings{} : readManagedSettings(managedPath_);
}

ManagedSettings readManagedSettings(const fs::path& path) {
  const FileBytes file = readSettingsBytes(path);
  if (file.missing) return {};
  std::string problem = file.problem;
  ParsedDictionary parsed{nullptr, {}};
  if (problem.empty()) {
    parsed = parseDictionary(file.bytes);
    problem = parsed.problem;
  }
  if (!problem.empty()) {
    // TRANSLATORS: %1 is the file, %2 what is wrong with it ("is empty").
    problem = platform::withValues(_("The administrator's settings file %1 %2."),
                                   {path.string(), problem});
    logOnce(problem);
    return {{}, problem};
  }
  for (const std::string& key : nonTextKeys(parsed.root.get())) {
    // TRANSLATORS: %1 is the file, %2 the name of a setting.
    logOnce(platform::withValues(_("The administrator's settings file %1 sets %2 to something "
                                   "other than a text; that key is ignored."),
                                 {path.string(), key}));
  }
  return {stringEntries(parsed.root.get()), {}};
}

SaveResult SettingsFile::save(
    const std::vector<std::pair<std::string, std::string>>& entries) const {
  for (const auto& [key, value] : entries) {
    for (const std::string_view text : {std::string_view(key), std::string_view(value)}) {
      if (const auto bad = unstorableCharacter(text)) {
        // TRANSLATORS: %1 is the name of a setting, %2 what it holds ("the control character
        // U+0007").
        return failure(SaveResult::Status::WriteFailed,
                       platform::withValues(_("nothing was saved: the entry %1 holds %2, which a "
                                              "settings file cannot store"),
                                            {key, *bad}));
      }
    }
  }

  // Lock beside the real file: a link may stand where the settings file is looked for.
  const fs::path target = platform::followLinks(path_);
  const SaveLock lock(target);
  // A save killed before its rename left its temporary file behind; saves take turns under
  // the lock, so while it is held every such file is a leftover.
  if (lock.held()) platform::removeLeftoverTemporaries(target);
  const FileBytes file = readSettingsBytes(path_);
  ParsedDictionary parsed{PlistNode(plist_new_dict()), {}};
  // A missing or empty file has nothing in it to lose: the save starts it afresh.
  if (!file.missing && !(file.ok() && file.bytes.empty())) {
    parsed = file.ok() ? parseDictionary(file.bytes) : ParsedDictionary{nullptr, file.problem};
  }
  if (!parsed.root) {
    // TRANSLATORS: %1 is the file, %2 what is wrong with it ("is empty").
    return failure(SaveResult::Status::Unreadable,
                   platform::withValues(_("nothing was saved: the settings file %1 %2"),
                                        {path_.string(), parsed.problem}));
  }

  const Settings administered = managed().values;
  Settings before = stringEntries(parsed.root.get());
  std::vector<std::string> changed;
  for (const auto& [key, value] : entries) {
    if (administered.contains(key)) continue;
    // An absent key reads as the empty text: writing that is no change to the parent.
    if (valueOf(before, key) != value) {
      if (std::find(changed.begin(), changed.end(), key) == changed.end()) changed.push_back(key);
      before.insert_or_assign(key, value);
    }
    plist_dict_set_item(parsed.root.get(), key.c_str(), plist_new_string(value.c_str()));
  }
  const std::string document = toXml(parsed.root.get());
  if (const auto bad = unstorableCharacter(document)) {
    // TRANSLATORS: %1 is the file, %2 what the entry holds ("the control character U+0007").
    return failure(SaveResult::Status::WriteFailed,
                   platform::withValues(_("nothing was saved: an entry of %1 that this program "
                                          "does not set holds %2, which an XML property list "
                                          "cannot store"),
                                        {path_.string(), *bad}));
  }

  const platform::FileWriteResult written = platform::writeFileAtomically(path_, document);
  if (!written.ok) return failure(SaveResult::Status::WriteFailed, written.detail);
  return SaveResult{SaveResult::Status::Saved, {}, std::move(changed)};
}

}  // namespace harbinel::storage

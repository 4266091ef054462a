#include "storage/SettingsFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "tests/core/FileFaults.h"
#include "tests/core/TestSupport.h"

using namespace harbinel::storage;
using namespace harbinel::test;
using Entries = std::vector<std::pair<std::string, std::string>>;
namespace fs = std::filesystem;

namespace {

// Python's plistlib, written by others, is the judge of our files. Strings travel as hex, so any
// byte gets through the command line. OTHERS are values of every other type a file may hold.
const char* const kPlistlib = R"(
import datetime, plistlib, sys
OTHERS = {"count": 42, "negative": -7, "huge": 2**64 - 1, "ratio": 0.1, "yes": True, "no": False,
          "when": datetime.datetime(2026, 12, 5, 16, 5, 9), "blob": b"\x00\xff", "empty blob": b"",
          "list": [1, "x", [], {}], "nested": {"inner": {"deep": "\u00e9"}}}
def strings(pairs):
    return {bytes.fromhex(k).decode(): bytes.fromhex(v).decode() for k, v in (p.split("=") for p in pairs)}
mode, path, others, *pairs = sys.argv[1:]
expected = {**(OTHERS if others == "others" else {}), **strings(pairs)}
if mode == "check":
    with open(path, "rb") as f:
        found = plistlib.load(f)
    print("equal" if found == expected else "differs: %r" % found)
else:
    with open(path, "wb") as f:
        plistlib.dump(expected, f, fmt=plistlib.FMT_BINARY if mode == "binary" else plistlib.FMT_XML)
)";

std::string hex(std::string_view text) {
  std::string out;
  for (const unsigned char c : text) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", c);
    out += pair;
  }
  return out;
}

std::string plistlib(const std::string& mode, const fs::path& path, bool withOthers,
                     const Entries& strings) {
  std::vector<std::string> arguments{mode, path.string(), withOthers ? "others" : "none"};
  for (const auto& [key, value] : strings) arguments.push_back(hex(key) + "=" + hex(value));
  int status = 0;
  std::string output = harbinel::test::runPython(kPlistlib, arguments, status);
  EXPECT_EQ(status, 0) << output;
  return output;
}

// Values that break naive XML writers: markup characters, a carriage return (which XML readers
// turn into a line feed unless escaped), non-ASCII text, white space that must not be trimmed.
const Entries kAwkwardStrings = {
    {"PD", "p\xC3\xA4ss w\xC3\xB6rd \xE4\xB8\xAD \xF0\x9F\x98\x80"},
    {"BW0", "a&b<c>d\"e'f ]]> &amp;"},
    {"BW1", "dos\r\nline\rends\nand\ttab"},
    {"BW2", ""},
    {"BW3", " "},
    {"FW0", "  http://www.example.org/  "},
    {"k&<>\"'\xC3\xA9", "key of markup"},
    {"", "empty key"},
};

}  // namespace

TEST(SettingsFile, PlistlibReadsWhatWeWriteWithEveryValueIntact) {
  const TemporaryFolder folder;
  const SettingsFile settings(folder / "data.plist");
  ASSERT_TRUE(settings.save(kAwkwardStrings).ok());
  EXPECT_EQ(plistlib("check", settings.path(), false, kAwkwardStrings), "equal\n");
  EXPECT_EQ(settings.load(), Settings(kAwkwardStrings.begin(), kAwkwardStrings.end()));
}

TEST(SettingsFile, ReadsPlistlibFilesAndKeepsTheirOtherValuesOnSave) {
  for (const std::string format : {"xml", "binary"}) {
    SCOPED_TRACE(format);
    const TemporaryFolder folder;
    const SettingsFile settings(folder / "data.plist");
    Entries strings = kAwkwardStrings;
    // plistlib's own XML writer turns carriage returns into line feeds.
    if (format == "xml")
      std::erase_if(strings, [](auto& e) { return e.second.find('\r') != e.second.npos; });
    plistlib(format, settings.path(), true, strings);
    EXPECT_EQ(settings.load(), Settings(strings.begin(), strings.end())) << "other types absent";

    const Entries changes = {{"PD", "neu"}, {"AB", "ON"}};
    ASSERT_TRUE(settings.save(changes).ok());
    Entries expected = strings;
    expected[0].second = "neu";
    expected.emplace_back("AB", "ON");
    EXPECT_EQ(plistlib("check", settings.path(), true, expected), "equal\n");
  }
}

TEST(SettingsFile, RefusesTextThatXmlCannotHoldAndWritesNothing) {
  const TemporaryFolder folder;
  const SettingsFile settings(folder / "data.plist");
  ASSERT_TRUE(settings.save({{"PD", "old"}}).ok());
  const std::string before = readFile(settings.path());
  const struct {
    Entries entries;
    std::string named;
  } cases[] = {
      {{{"PD", "new"}, {"BW0", std::string("a\0b", 3)}}, "BW0 holds the control character U+0000"},
      {{{"FW\x1B", "x"}}, "U+001B"},
      {{{"PD", "\xC3"}}, "not UTF-8"},
      {{{"PD", "\xEF\xBF\xBF"}}, "U+FFFF"},
  };
  for (const auto& [entries, named] : cases) {
    const SaveResult result = settings.save(entries);
    EXPECT_EQ(result.status, SaveResult::Status::WriteFailed);
    EXPECT_NE(result.detail.find(named), std::string::npos) << result.detail;
  }
  EXPECT_EQ(readFile(settings.path()), before);

  // Such a character may also come in with a binary file; then the save must not lose it.
  plistlib("binary", settings.path(), false, {{"PD", "x"}, {"note", "bell\a"}});
  const std::string binary = readFile(settings.path());
  const SaveResult result = settings.save({{"PD", "y"}});
  EXPECT_EQ(result.status, SaveResult::Status::WriteFailed);
  EXPECT_NE(result.detail.find("does not set holds the control character U+0007"),
            std::string::npos)
      << result.detail;
  EXPECT_EQ(readFile(settings.path()), binary);
}

TEST(SettingsFile, DamagedFilesReadEmptyAndAreNeverOverwritten) {
  const std::string good =
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>PD</key>"
      "<string>secret</string></dict></plist>";
  std::string opened, closed;
  for (int level = 0; level < 40000; ++level) {
    opened += "<array>";
    closed += "</array>";
  }
  const std::string deep = "<plist version=\"1.0\"><dict><key>PD</key><string>secret</string>" +
                           ("<key>x</key>" + opened + closed) + "</dict></plist>";
  const struct {
    std::string name;
    std::string bytes;
    std::string detail;
  } cases[] = {
      {"cut short", good.substr(0, good.size() / 2), "is not a property list"},
      {"binary cut short", "bplist00\xD1\x01\x02QaQb", "is not a property list"},
      {"array at the root", "<plist version=\"1.0\"><array><string>PD</string></array></plist>",
       "no dictionary at its root"},
      {"two megabytes", good + std::string(2 << 20, ' '), "larger than 1 MiB"},
      // libplist's writer recursed into these arrays until the stack ran out.
      {"nested 40000 deep", deep, "more than 4096 values"},
      // libplist aborted the program on a U+0000 inside a text (a failed assertion).
      {"NUL in a binary UTF-16 key",
       std::string("bplist00\xD1\x01\x02\x63\x00\x50\x00\xE4\x00\x00\x51\x78\x08\x0B\x12"
                   "\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03"
                   "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x14",
                   55),
       "U+0000"},
      {"NUL byte in XML", good.substr(0, 60) + std::string(1, '\0') + good.substr(60), "U+0000"},
  };
  for (const auto& [name, bytes, detail] : cases) {
    SCOPED_TRACE(name);
    const TemporaryFolder folder;
    const SettingsFile settings(folder / "data.plist");
    writeFile(settings.path(), bytes);
    EXPECT_TRUE(settings.load().empty());
    const SaveResult result = settings.save({{"PD", "new"}});
    EXPECT_EQ(result.status, SaveResult::Status::Unreadable);
    EXPECT_NE(result.detail.find(detail), std::string::npos) << result.detail;
    EXPECT_EQ(readFile(settings.path()), bytes);
  }

  const TemporaryFolder folder;
  const SettingsFile aFolder(folder.path());
  EXPECT_TRUE(aFolder.load().empty());
  EXPECT_NE(aFolder.save({{"PD", "x"}}).detail.find("is a folder"), std::string::npos);
}

TEST(SettingsFile, AMissingOrEmptyFileReadsEmptyAndASaveStartsItAfresh) {
  const TemporaryFolder folder;
  const SettingsFile settings(folder / "data.plist");
  EXPECT_EQ(settings.value("PD"), "");
  writeFile(settings.path(), "");
  EXPECT_TRUE(settings.load().empty());
  ASSERT_TRUE(settings.save({{"PD", "a"}, {"PD", "b"}}).ok());
  EXPECT_EQ(settings.value("PD"), "b") << "entries are set in order";
}

TEST(SettingsFile, FailedWritesAreReportedAndLeaveTheFileAsItWas) {
  const TemporaryFolder folder;
  fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::others_exec);
  const SettingsFile settings(folder / "data.plist");
  ASSERT_TRUE(settings.save({{"PD", "old"}}).ok());
  const std::string before = readFile(settings.path());

  fs::permissions(folder.path(), fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_TRUE(harbinel::test::runWithoutRootPowers([&] {
    const SaveResult result = settings.save({{"PD", "new"}});
    return result.status == SaveResult::Status::WriteFailed &&
           result.detail.find("Permission denied") != std::string::npos;
  }));
  fs::permissions(folder.path(), fs::perms::owner_write, fs::perm_options::add);

  {
    const harbinel::test::FileSizeLimit fullDisk(before.size() / 2);
    const SaveResult result = settings.save({{"PD", "new"}});
    EXPECT_EQ(result.status, SaveResult::Status::WriteFailed);
    EXPECT_NE(result.detail.find("cannot write"), std::string::npos) << result.detail;
  }
  EXPECT_EQ(readFile(settings.path()), before);
  EXPECT_EQ(harbinel::test::namesIn(folder.path()),
            (std::vector<std::string>{".data.plist.lock", "data.plist"}))
      << "no temporary file left behind";
}

TEST(SettingsFile, TwoProcessesSavingAtOnceLoseNoKey) {
  const TemporaryFolder folder;
  const SettingsFile settings(folder / "data.plist");
  constexpr int kSaves = 15;
  EXPECT_TRUE(harbinel::test::runInTwoProcessesAtOnce([&](int process) {
    bool ok = true;
    for (int i = 0; i < kSaves; ++i) {
      ok = settings.save({{std::to_string(process) + "-" + std::to_string(i), "v"}}).ok() && ok;
    }
    return ok;
  }));
  EXPECT_EQ(settings.load().size(), 2u * kSaves);
}

// Empty slots, spaces and duplicates are checked through the block lists' parent's list.
TEST(SettingsFile, SlotListsHoldOnlySlotsZeroToEight) {
  const Settings settings{{"BW9", "tenth"}, {"BW", "none"}, {"bw1", "lower"}, {"BW10", "x"}};
  EXPECT_TRUE(harbinel::storage::slotList(settings, "BW").empty());
}

#include "storage/SettingsFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "tests/core/TestSupport.h"

using namespace harbinel::storage;
using namespace harbinel::test;
using Entries = std::vector<std::pair<std::string, std::string>>;
namespace fs = std::filesystem;

namespace {

// Files Python's plistlib wrote (tests/data/README.md says how) hold these texts and values of
// every other type. The texts break naive XML writers: markup characters, a carriage return
// (which XML readers turn into a line feed unless escaped, so only the binary file holds it),
// non-ASCII text, white space that must not be trimmed.
const Settings kPlistlibStrings = {
    {"PD", "p\xC3\xA4ss w\xC3\xB6rd \xE4\xB8\xAD \xF0\x9F\x98\x80"},
    {"BW0", "a&b<c>d\"e'f ]]> &amp;"},
    {"BW2", ""},
    {"FW0", "  http://www.example.org/  "},
    {"k&<>\"'\xC3\xA9", "key of markup"},
    {"", "empty key"},
};

fs::path plistlibFile(std::string_view name) {
  return fs::path(HARBINEL_SOURCE_DIR) / "tests" / "data" / name;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  TemporaryFolder folder;
  SettingsFile settings{folder / "data.plist"};
};

}  // namespace

// We read plistlib's files in both formats, and plistlib reads our save of them with every
// value intact, values of other types untouched.
TEST_F(SettingsFileTest, PlistlibAndWeReadEachOthersFilesWithEveryValueIntact) {
  for (const std::string format : {"xml", "binary"}) {
    SCOPED_TRACE(format);
    const fs::path theirs = plistlibFile("plistlib." + format + ".plist");
    fs::copy_file(theirs, settings.path(), fs::copy_options::overwrite_existing);
    Settings strings = kPlistlibStrings;
    if (format == "binary") strings.emplace("BW1", "dos\r\nline\rends\nand\ttab");
    EXPECT_EQ(settings.load(), strings) << "other types absent";
    ASSERT_TRUE(settings.save({{"PD", "neu"}, {"AB", "ON"}, {"AB", "OFF"}}).ok());
    int status = -1;
    EXPECT_EQ(runCommand("python3 -c 'import plistlib, sys; ours, theirs = (plistlib.load(open(p, "
                         "\"rb\")) for p in sys.argv[1:]); print(ours == {**theirs, \"PD\": "
                         "\"neu\", \"AB\": \"OFF\"})' " +
                             settings.path().string() + " " + theirs.string(),
                         status),
              "True\n")
        << "entries are set in order";
  }
  // U+0000 in one text of a binary file loses that entry alone: in a value or a key, in a
  // one-byte or a UTF-16 text.
  fs::copy_file(plistlibFile("plistlib-nul.binary.plist"), settings.path(),
                fs::copy_options::overwrite_existing);
  EXPECT_EQ(settings.load(), (Settings{{"BW0", "kept"}}));
}

TEST_F(SettingsFileTest, RefusesTextThatXmlCannotHoldAndWritesNothing) {
  ASSERT_TRUE(settings.save({{"PD", "old"}}).ok());
  const std::string before = readFile(settings.path());
  const std::pair<Entries, std::string> cases[] = {
      {{{"PD", "new"}, {"BW0", std::string("a\0b", 3)}}, "BW0 holds the control character U+0000"},
      {{{"FW\x1B", "x"}}, "FW\x1B holds the control character U+001B"},
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
  fs::copy_file(plistlibFile("plistlib-bell.binary.plist"), settings.path(),
                fs::copy_options::overwrite_existing);
  const std::string binary = readFile(settings.path());
  const SaveResult result = settings.save({{"PD", "y"}});
  EXPECT_NE(result.detail.find("does not set holds the control character U+0007"),
            std::string::npos)
      << result.detail;
  EXPECT_EQ(readFile(settings.path()), binary);
}

TEST_F(SettingsFileTest, DamagedFilesReadEmptyAndAreNeverOverwritten) {
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
  const std::pair<std::string, std::string> cases[] = {
      {good.substr(0, good.size() / 2), "is not a property list"},
      {"<plist version=\"1.0\"><array><string>PD</string></array></plist>",
       "no dictionary at its root"},
      {good + std::string(2 << 20, ' '), "larger than 1 MiB"},
      // libplist's writer recursed into these arrays until the stack ran out.
      {deep, "more than 4096 values"},
  };
  for (const auto& [bytes, detail] : cases) {
    SCOPED_TRACE(detail);
    writeFile(settings.path(), bytes);
    EXPECT_TRUE(settings.load().empty());
    const SaveResult result = settings.save({{"PD", "new"}});
    EXPECT_EQ(result.status, SaveResult::Status::Unreadable);
    EXPECT_NE(result.detail.find(detail), std::string::npos) << result.detail;
    EXPECT_EQ(readFile(settings.path()), bytes);
  }
  const SettingsFile aFolder(folder.path());
  EXPECT_TRUE(aFolder.load().empty());
  EXPECT_NE(aFolder.save({{"PD", "x"}}).detail.find("is a folder"), std::string::npos);
  writeFile(settings.path(), "");
  EXPECT_TRUE(settings.save({{"PD", "a"}}).ok()) << "an empty file is started afresh";
}

TEST_F(SettingsFileTest, FailedWritesAreReportedAndLeaveTheFileAsItWas) {
  fs::permissions(folder.path(), fs::perms::owner_all | fs::perms::others_exec);
  ASSERT_TRUE(settings.save({{"PD", "old"}}).ok());
  const std::string before = readFile(settings.path());
  fs::permissions(folder.path(), fs::perms::owner_write, fs::perm_options::remove);
  EXPECT_TRUE(runWithoutRootPowers([&] {
    const SaveResult result = settings.save({{"PD", "new"}});
    return result.status == SaveResult::Status::WriteFailed &&
           result.detail.find("Permission denied") != std::string::npos;
  }));
  fs::permissions(folder.path(), fs::perms::owner_write, fs::perm_options::add);
  {
    const FileSizeLimit fullDisk(before.size() / 2);
    const SaveResult result = settings.save({{"PD", "new"}});
    EXPECT_EQ(result.status, SaveResult::Status::WriteFailed);
    EXPECT_NE(result.detail.find("cannot write"), std::string::npos) << result.detail;
  }
  EXPECT_EQ(readFile(settings.path()), before);
  EXPECT_EQ(namesIn(folder.path()), (std::vector<std::string>{".data.plist.lock", "data.plist"}))
      << "no temporary file left behind";
}

TEST_F(SettingsFileTest, TwoProcessesSavingAtOnceLoseNoKey) {
  constexpr int kSaves = 15;
  EXPECT_TRUE(runInTwoProcessesAtOnce([&](int process) {
    bool ok = true;
    for (int i = 0; i < kSaves; ++i)
      ok = settings.save({{std::to_string(process) + "-" + std::to_string(i), "v"}}).ok() && ok;
    return ok;
  }));
  EXPECT_EQ(settings.load().size(), 2u * kSaves);
}

TEST_F(SettingsFileTest, ASaveWritesThroughLinksAndKeepsTheFilesMode) {
  fs::create_directory(folder / "etc");
  ASSERT_TRUE(SettingsFile(folder / "etc" / "data.plist").save({{"PD", "old"}}).ok());
  ::chmod((folder / "etc" / "data.plist").c_str(), 0640);
  fs::create_symlink("etc/data.plist", settings.path());
  ASSERT_TRUE(settings.save({{"PD", "new"}}).ok());
  EXPECT_TRUE(fs::is_symlink(settings.path()));
  EXPECT_EQ(SettingsFile(folder / "etc" / "data.plist").value("PD"), "new");
  EXPECT_EQ(fs::status(folder / "etc" / "data.plist").permissions(), fs::perms(0640));
}

// A managed file that cannot be used is named and never takes the parent's settings along. That
// its keys win every read and are never saved is the parents' window test's work.
TEST_F(SettingsFileTest, AManagedFileThatCannotBeUsedLeavesTheParentsSettings) {
  const SettingsFile managed(settings.path(), folder / "managed.plist");
  ASSERT_TRUE(settings.save({{"PD", "parent"}}).ok());
  writeFile(managed.managedPath(),
            "<plist version=\"1.0\"><dict><key>AB</key><string>ON</string>"
            "<key>BW2</key><integer>3</integer></dict></plist>");
  EXPECT_EQ(managed.load(), (Settings{{"PD", "parent"}, {"AB", "ON"}}));
  for (const std::string& bytes : {std::string("<plist><dict><key>PD</key>"), std::string("")}) {
    writeFile(managed.managedPath(), bytes);
    EXPECT_NE(managed.managed().problem.find(managed.managedPath().string()), std::string::npos);
    EXPECT_EQ(managed.load(), settings.load());
  }
  fs::remove(managed.managedPath());
  EXPECT_EQ(managed.managed().problem, "");
}

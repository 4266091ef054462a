#include <gtest/gtest.h>

#include <string>

#include "storage/SettingsFile.h"
#include "tests/core/TestSupport.h"

namespace harbinel::storage {
namespace {

// A binary settings file with U+0000 in one text loses that entry alone: its one-byte and UTF-16
// forms, in a value and in a key. The parent's block list beside it stays.
TEST(SettingsFile, NulInOneBinaryTextLosesOnlyThatEntry) {
  const test::TemporaryFolder folder;
  int status = -1;
  const std::string written = test::runPython(
      "import plistlib, sys\n"
      "open(sys.argv[1], 'wb').write(plistlib.dumps({'BW0': 'kept.example', 'BW1': 'a\\0b',\n"
      "    'BW2': '\\u00e4\\0', 'B\\0': 'x', 'FW0': 'fav.example'}, fmt=plistlib.FMT_BINARY))\n",
      {(folder / "data.plist").string()}, status);
  ASSERT_EQ(status, 0) << written;
  EXPECT_EQ(SettingsFile(folder / "data.plist").load(),
            (Settings{{"BW0", "kept.example"}, {"FW0", "fav.example"}}));
}

}  // namespace
}  // namespace harbinel::storage

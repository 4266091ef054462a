// Any bytes in place of the settings file load without a fault, and whatever loads can be
// saved and loads back the same.
#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "storage/SettingsFile.h"

namespace {

// One file reused for every run: the fuzzer runs millions of inputs.
const std::filesystem::path& scratchFile() {
  static const std::filesystem::path path = [] {
    std::string folder = (std::filesystem::temp_directory_path() / "settings-fuzz-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) std::abort();
    return std::filesystem::path(folder) / "data.plist";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const harbinel::storage::Settings settings = harbinel::storage::parseSettings(bytes);
  if (settings.empty()) return 0;

  // What was read is written back alone, and must read back exactly, unless the save refuses
  // a character an XML property list cannot hold.
  std::filesystem::remove(scratchFile());
  const harbinel::storage::SettingsFile file(scratchFile());
  std::vector<std::pair<std::string, std::string>> entries(settings.begin(), settings.end());
  // Text that is not UTF-8, or control characters: refused with a reason, nothing written.
  if (!file.save(entries).ok()) return 0;
  if (file.load() != settings) std::abort();
  return 0;
}

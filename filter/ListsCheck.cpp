#include "filter/ListsCheck.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "filter/Address.h"
#include "filter/BlockLists.h"
#include "platform/Folders.h"

namespace harbinel::filter {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: harbinel-lists check [--data FOLDER] [--settings FILE] ADDRESS...\n"
    "Says for each address whether Harbinel shows it, and what decided: the data folder's\n"
    "lists (default: this account's) and the settings file (default: the installed one).\n";

struct CheckArguments {
  fs::path dataFolder;
  fs::path settingsFile;
  std::vector<std::string> addresses;
};

std::optional<CheckArguments> parseCheck(int argc, char** argv) {
  const platform::Folders folders = platform::Folders::forThisProcess();
  CheckArguments arguments{folders.dataFolder(), folders.settingsFile(), {}};
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if ((argument == "--data" || argument == "--settings") && i + 1 < argc) {
      (argument == "--data" ? arguments.dataFolder : arguments.settingsFile) = argv[++i];
    } else if (argument.starts_with('-')) {
      return std::nullopt;
    } else {
      arguments.addresses.push_back(argument);
    }
  }
  if (arguments.addresses.empty()) return std::nullopt;
  return arguments;
}

// `dataFolder` and `shippedFolder` as the lists were read.
std::string describe(const Decision& decision, const fs::path& dataFolder,
                     const fs::path& shippedFolder) {
  const std::string line = " line " + std::to_string(decision.position + 1);
  const std::string named = " (" + decision.name + ")";
  switch (decision.rule) {
    case Rule::Allowed:
      return "allowed";
    case Rule::ParentsList:
      return "refused by the parent's slot " + decision.slot + named;
    case Rule::Dmn:
      return "refused by " + BlockLists::listFile(dataFolder, shippedFolder, "dmn").string() +
             line + named;
    case Rule::DmnSame:
      return "refused by " + BlockLists::listFile(dataFolder, shippedFolder, "dmnsame").string() +
             line + named;
    case Rule::Administered:
      return "refused by " + decision.list + line + named;
    case Rule::AddressLiteral:
      return "refused: an address in numbers, not among the allowed websites";
    case Rule::NotAllowed:
      return "refused: not among the allowed websites";
    case Rule::SettingsUnknown:
      return "refused: the settings file cannot be read, so only the start page opens";
  }
  return "refused";
}

}  // namespace

int runListsCheck(int argc, char** argv) {
  const auto arguments = parseCheck(argc, argv);
  if (!arguments) {
    std::cerr << kUsage;
    return 2;
  }
  // As the browser decides: under the administrator's settings and with their lists.
  const platform::Folders folders = platform::Folders::forThisProcess();
  BlockLists lists{storage::SettingsFile(arguments->settingsFile, folders.managedSettingsFile())};
  lists.createDnsArray(arguments->dataFolder, folders.resources);
  lists.loadAdministeredLists(folders.administration);
  bool anyRefused = false;
  for (const std::string& address : arguments->addresses) {
    const Decision decision = lists.decide(completeURL(address));
    anyRefused = anyRefused || decision.refused();
    std::cout << address << "\thost " << decision.host << "\t"
              << describe(decision, arguments->dataFolder, folders.resources) << "\n";
  }
  return anyRefused ? 1 : 0;
}

}  // namespace harbinel::filter

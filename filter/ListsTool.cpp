// harbinel-lists: turns public block lists into Harbinel's domain list format.
//
//   harbinel-lists [-o OUTPUT] FILE...
//   harbinel-lists check [--data FOLDER] [--settings FILE] ADDRESS...   (filter/ListsCheck.h)
//
// Reads hosts files ("0.0.0.0 host"), adblock lists ("||host^") and plain lists (one host a
// line), in any mix, and writes one host per line, normalised the way the block check compares
// hosts, each host once, in the order first seen. Writes to OUTPUT (replaced atomically) or to
// standard output (no line feed after the last host: a final line feed would add an empty
// entry), and reports on standard error how many hosts it kept and dropped.
// It never fetches anything: point it at files you have.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "filter/ListImport.h"
#include "filter/ListsCheck.h"
#include "platform/AtomicFile.h"

namespace {

constexpr const char* kUsage =
    "usage: harbinel-lists [-o OUTPUT] FILE...\n"
    "Turns hosts files, adblock \"||host^\" lists and plain host lists into a Harbinel\n"
    "domain list (dmn, dmnsame): one host per line, duplicates and invalid lines dropped.\n";

struct Arguments {
  std::filesystem::path output;
  std::vector<std::filesystem::path> inputs;
  bool valid = true;
};

Arguments parse(int argc, char** argv) {
  Arguments arguments;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "-o" && i + 1 < argc) {
      arguments.output = argv[++i];
    } else if (argument == "-h" || argument == "--help" || argument.starts_with('-')) {
      arguments.valid = false;
    } else {
      arguments.inputs.emplace_back(argument);
    }
  }
  if (arguments.inputs.empty()) arguments.valid = false;
  return arguments;
}

void report(const harbinel::filter::ImportCounts& counts) {
  std::cerr << "kept " << counts.kept << " hosts; dropped " << counts.dropped() << " ("
            << counts.duplicates << " duplicates, " << counts.invalid << " invalid, "
            << counts.localNames << " local names); skipped " << counts.commentsAndBlank
            << " comments and blank lines\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "check") {
    return harbinel::filter::runListsCheck(argc - 1, argv + 1);
  }
  const Arguments arguments = parse(argc, argv);
  if (!arguments.valid) {
    std::cerr << kUsage;
    return 2;
  }
  harbinel::filter::ListImporter importer;
  for (const auto& input : arguments.inputs) {
    std::string text;
    if (!harbinel::platform::readWholeFile(input, text)) {
      std::cerr << "harbinel-lists: cannot read " << input.string() << "\n";
      return 1;
    }
    importer.addText(text);
  }
  const std::string list = importer.listText();
  if (arguments.output.empty()) {
    std::cout << list;
  } else if (const auto written = harbinel::platform::writeFileAtomically(arguments.output, list);
             !written.ok) {
    std::cerr << "harbinel-lists: " << written.detail << "\n";
    return 1;
  }
  report(importer.counts());
  return 0;
}

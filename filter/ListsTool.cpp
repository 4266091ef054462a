// harbinel-lists: turns public block lists into Harbinel's domain list format.
//
//   harbinel-lists [-o OUTPUT] FILE...
//
// Reads hosts files ("0.0.0.0 host"), adblock lists ("||host^") and plain lists (one host a
// line), in any mix, plain, gzip- or xz-compressed, "-" for standard input, and writes one host
// per line, normalised the way the block check compares hosts, each host once, in the order
// first seen. Entries that name less than a whole site (a path, a query) are dropped, never
// widened to their host. Writes to OUTPUT (replaced atomically) or to standard output (no line
// feed after the last host: a final line feed would add an empty entry), and reports on
// standard error what it kept and dropped, per file and in all.
// Exit status: 0 when hosts were kept, 1 when none were (nothing is written: an empty list
// must never replace one that blocks), 2 for wrong usage or an input or output that failed.
// It never fetches anything: point it at files you have.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "filter/ListImport.h"
#include "platform/AtomicFile.h"
#include "platform/Decompress.h"

namespace {

using harbinel::filter::ImportCounts;
using harbinel::filter::ListImporter;
using harbinel::platform::Decompressed;

constexpr const char* kUsage =
    "usage: harbinel-lists [-o OUTPUT] FILE...\n"
    "Turns hosts files, adblock \"||host^\" lists and plain host lists (plain, .gz or .xz; \"-\"\n"
    "for standard input) into a Harbinel domain list (dmn, dmnsame): one host per line.\n"
    "Duplicates, invalid lines and entries narrower than a whole site are dropped.\n";

// Public lists run to some tens of MiB; the bound keeps a hostile file that decompresses
// without end from taking all memory.
constexpr std::size_t kLargestList = 256 * 1024 * 1024;

constexpr int kSomethingKept = 0;  // also the answer to --help
constexpr int kNothingKept = 1;
constexpr int kFailed = 2;

struct Arguments {
  std::filesystem::path output;
  std::vector<std::string> inputs;
  bool valid = true;
};

Arguments parse(const std::vector<std::string>& words) {
  Arguments arguments;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == "-o" && i + 1 < words.size()) {
      arguments.output = words[++i];
    } else if (words[i].starts_with('-') && words[i] != "-") {
      arguments.valid = false;
    } else {
      arguments.inputs.push_back(words[i]);
    }
  }
  if (arguments.inputs.empty()) arguments.valid = false;
  return arguments;
}

bool readStandardInput(std::string& bytes) {
  char buffer[64 * 1024];
  while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, stdin)) {
    bytes.append(buffer, read);
  }
  return std::ferror(stdin) == 0;
}

Decompressed readInput(const std::string& name) {
  std::string bytes;
  const bool read =
      name == "-" ? readStandardInput(bytes) : harbinel::platform::readWholeFile(name, bytes);
  if (!read) return {{}, "cannot read it"};
  return harbinel::platform::decompress(bytes, kLargestList);
}

void report(const std::string& what, const ImportCounts& counts) {
  std::cerr << "harbinel-lists: " << what << ": kept " << counts.kept << " hosts, "
            << counts.duplicates << " duplicates, " << counts.narrower
            << " narrower than a whole site, " << counts.invalid << " invalid, "
            << counts.localNames << " local names, " << counts.commentsAndBlank
            << " comments and blank lines\n";
}

int writeList(const ListImporter& importer, const std::filesystem::path& output) {
  if (importer.counts().kept == 0) {
    std::cerr << "harbinel-lists: no host kept; nothing written\n";
    return kNothingKept;
  }
  if (output.empty()) {
    if (std::cout << importer.listText() << std::flush) return kSomethingKept;
    std::cerr << "harbinel-lists: cannot write to standard output\n";
    return kFailed;
  }
  const auto written = harbinel::platform::writeFileAtomically(output, importer.listText());
  if (!written.ok) {
    std::cerr << "harbinel-lists: " << written.detail << "\n";
    return kFailed;
  }
  return kSomethingKept;
}

int convertLists(const std::vector<std::string>& words) {
  if (words.size() == 1 && (words[0] == "-h" || words[0] == "--help")) {
    std::cout << kUsage;
    return kSomethingKept;
  }
  const Arguments arguments = parse(words);
  if (!arguments.valid) {
    std::cerr << kUsage;
    return kFailed;
  }
  ListImporter importer;
  for (const auto& name : arguments.inputs) {
    const Decompressed input = readInput(name);
    if (!input.ok()) {
      std::cerr << "harbinel-lists: " << name << ": " << input.error << "; nothing written\n";
      return kFailed;
    }
    const ImportCounts before = importer.counts();
    importer.addText(input.bytes);
    report(name == "-" ? "standard input" : name, importer.counts().since(before));
  }
  report("in all", importer.counts());
  return writeList(importer, arguments.output);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  // A sub-command would be named by the first word; without one, the words name lists to convert.
  return convertLists(words);
}

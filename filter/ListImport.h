#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace harbinel::filter {

// Turns a host as a public list writes it into the host text the block check compares with:
// lower case, internationalised names in their ASCII (punycode) form, scheme and "www." cut as
// address normalisation cuts them, no path, no leading wildcard dot, no trailing dot.
// Returns nothing for text that cannot be a host.
std::optional<std::string> normaliseListHost(std::string_view candidate);

struct ImportCounts {
  std::size_t kept = 0;
  std::size_t duplicates = 0;
  // Entries that name less than a whole site (a path, a query, a rule narrowed by options):
  // blocking their whole host would refuse far more than the list meant to.
  std::size_t narrower = 0;
  std::size_t invalid = 0;     // lines that name no usable host (bad syntax, rules we cannot keep)
  std::size_t localNames = 0;  // localhost and friends, which a list must never block
  std::size_t commentsAndBlank = 0;

  std::size_t dropped() const { return duplicates + narrower + invalid + localNames; }
  // What was counted after `earlier` was taken: one file's share of a run over several.
  ImportCounts since(const ImportCounts& earlier) const;
};

// Reads lines of hosts files ("0.0.0.0 host"), adblock lists ("||host^") and plain lists
// ("host"), in any mix, and collects their hosts once each, in the order first seen. Only
// entries that block a whole site are kept: a host, or a host with a lone final "/".
class ListImporter {
 public:
  void addLine(std::string_view line);
  void addText(std::string_view text);

  const std::vector<std::string>& hosts() const { return hosts_; }
  const ImportCounts& counts() const { return counts_; }
  // The list file: one host per line feed.
  std::string listText() const;

 private:
  void addAddress(std::string_view written);
  void addNarrower(std::string_view host);
  void addHost(std::string_view candidate);

  std::vector<std::string> hosts_;
  std::unordered_set<std::string> seen_;
  ImportCounts counts_;
};

}  // namespace harbinel::filter

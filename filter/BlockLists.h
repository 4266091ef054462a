#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "filter/DomainList.h"
#include "storage/SettingsFile.h"

namespace harbinel::filter {

// The three block lists and the block decision: the parent's list (BW0..BW8 of the settings
// file, re-read at every decision), then the shipped lists dmn and dmnsame (read once).
class BlockLists {
 public:
  explicit BlockLists(storage::SettingsFile settings);

  // Loads the data folder's dmn and dmnsame. A missing or unreadable file gives an empty list.
  void createDnsArray(const std::filesystem::path& dataFolder);

  // Rebuilds the parent's list from the settings file.
  void readBlockSites();

  // readBlockSites, then the position of the first entry equal to `host` in the first list
  // that holds one (parent's list, dmn, dmnsame), or -1.
  std::int32_t readfromdmn(std::string_view host);

  const DomainList& dnsArray() const { return dns_; }
  const DomainList& dnssameArray() const { return dnssame_; }
  const std::vector<std::string>& userblockArray() const { return userblock_; }
  void setDnsArray(DomainList list) { dns_ = std::move(list); }
  void setDnssameArray(DomainList list) { dnssame_ = std::move(list); }

 private:
  storage::SettingsFile settings_;
  DomainList dns_;
  DomainList dnssame_;
  std::vector<std::string> userblock_;
};

}  // namespace harbinel::filter

#include "filter/BlockLists.h"

#include <utility>

namespace harbinel::filter {

BlockLists::BlockLists(storage::SettingsFile settings) : settings_(std::move(settings)) {}

void BlockLists::createDnsArray(const std::filesystem::path& dataFolder) {
  dns_ = DomainList::fromFile(dataFolder / "dmn");
  dnssame_ = DomainList::fromFile(dataFolder / "dmnsame");
}

void BlockLists::readBlockSites() {
  userblock_ = storage::slotList(settings_.load(), "BW");
}

std::int32_t BlockLists::readfromdmn(std::string_view host) {
  // The parent's list is read afresh so that a change made in the parents' window counts at
  // the next page, without a restart.
  readBlockSites();
  if (const std::int32_t position = firstPosition(userblock_, host); position != -1) {
    return position;
  }
  if (const std::int32_t position = dns_.find(host); position != -1) return position;
  return dnssame_.find(host);
}

}  // namespace harbinel::filter

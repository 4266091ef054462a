#include "filter/BlockLists.h"

#include <algorithm>
#include <optional>
#include <system_error>
#include <utility>

#include "filter/Address.h"

namespace harbinel::filter {
namespace {

// The parent's non-empty slots BW0..BW8 in order, with their keys (the slot list rule).
std::vector<std::pair<std::string, std::string>> parentsSlots(const storage::Settings& settings) {
  std::vector<std::pair<std::string, std::string>> slots;
  for (char slot = '0'; slot <= '8'; ++slot) {
    std::string key = std::string("BW") + slot;
    std::string value = storage::valueOf(settings, key);
    if (!value.empty()) slots.emplace_back(std::move(key), std::move(value));
  }
  return slots;
}

// The exact host text as the page's address gives it: "example.org." names the same host as
// "example.org" (the dot only says the name is complete), and the engine keeps it as typed:
// without this, one dot would pass any list.
std::string exactHost(std::string_view address) {
  std::string host(hostText(changeURL(address)));
  if (host.ends_with('.')) host.pop_back();
  return host;
}

// The "*.list" files of a folder in file-name order; none when it is missing.
std::vector<std::filesystem::path> listFilesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".list") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

template <typename Position>
Decision refusedBy(Decision decision, Rule rule, Position position, std::string_view name,
                   std::string slot = {}) {
  decision.rule = rule;
  decision.position = static_cast<std::int32_t>(position);
  decision.name = std::string(name);
  decision.slot = std::move(slot);
  return decision;
}

}  // namespace

std::string decidingList(const Decision& decision) {
  switch (decision.rule) {
    case Rule::Allowed:
      return {};
    case Rule::ParentsList:
      return decision.slot;
    case Rule::Dmn:
      return "dmn";
    case Rule::DmnSame:
      return "dmnsame";
    case Rule::Administered:
      return decision.list;
    case Rule::AddressLiteral:
      return "address-in-numbers";
    case Rule::NotAllowed:
      return "not-allowed";
    case Rule::SettingsUnknown:
      return "settings-unreadable";
  }
  return {};
}

bool isOn(const storage::Settings& settings, std::string_view key) {
  return storage::valueOf(settings, key) == "ON";
}

BlockLists::BlockLists(storage::SettingsFile settings) : settings_(std::move(settings)) {}

std::filesystem::path BlockLists::listFile(const std::filesystem::path& dataFolder,
                                           const std::filesystem::path& shippedFolder,
                                           std::string_view name) {
  std::error_code error;
  const bool copied = std::filesystem::exists(dataFolder / name, error);
  return (copied || shippedFolder.empty() ? dataFolder : shippedFolder) / name;
}

void BlockLists::createDnsArray(const std::filesystem::path& dataFolder,
                                const std::filesystem::path& shippedFolder) {
  const auto read = [&](const char* name) {
    return DomainList::fromFile(listFile(dataFolder, shippedFolder, name));
  };
  dns_ = read("dmn");
  dnssame_ = read("dmnsame");
  allow_ = read("allow");
}

void BlockLists::loadAdministeredLists(const std::filesystem::path& administration) {
  administeredBlocks_.clear();
  administeredAllows_.clear();
  for (const auto& file : listFilesIn(administration / "lists.d")) {
    administeredBlocks_.push_back({file, DomainList::fromFile(file)});
  }
  for (const auto& file : listFilesIn(administration / "allow.d")) {
    administeredAllows_.push_back(DomainList::fromFile(file));
  }
}

// After the parent's slots: dmn, dmnsame, then the administrator's lists in file-name order.
// `name` may point into `decision`, so the answer is a new decision, never a change of it.
std::optional<Decision> BlockLists::askLists(const Decision& decision, std::string_view name,
                                             bool wholeSites) const {
  const auto find = [&](const DomainList& list) {
    return wholeSites ? list.findHost(name) : list.find(name);
  };
  if (const auto position = find(dns_); position != -1) {
    return refusedBy(decision, Rule::Dmn, position, name);
  }
  if (const auto position = find(dnssame_); position != -1) {
    return refusedBy(decision, Rule::DmnSame, position, name);
  }
  for (const AdministeredList& administered : administeredBlocks_) {
    if (const auto position = find(administered.list); position != -1) {
      Decision refused = refusedBy(decision, Rule::Administered, position, name);
      refused.list = administered.file.string();
      return refused;
    }
  }
  return std::nullopt;
}

void BlockLists::readBlockSites() {
  userblock_ = storage::slotList(settings_.load(), "BW");
}

std::int32_t BlockLists::readfromdmn(std::string_view host) {
  // The parent's list is read afresh so that a change made in the parents' window counts at
  // the next page, without a restart.
  readBlockSites();
  // A list's final line feed leaves an empty last entry, which names no host.
  if (host.empty()) return -1;
  if (const std::int32_t position = firstPosition(userblock_, host); position != -1) {
    return position;
  }
  if (const std::int32_t position = dns_.find(host); position != -1) return position;
  return dnssame_.find(host);
}

Decision BlockLists::decide(std::string_view address) {
  bool unknown = false;
  const storage::Settings settings = settings_.load(unknown);
  const Slots slots = parentsSlots(settings);
  userblock_.clear();
  for (const auto& [key, value] : slots) userblock_.push_back(value);

  Decision decision = decideHost(address, isOn(settings, kWholeSiteKey), slots);
  // The empty page the view starts with (and shows our own pages under) comes from no site.
  if (decision.refused() || address.empty() || address == "about:blank") return decision;
  // Sites the parent blocked, or "only the allowed websites", may be in a file no one can read
  // now: nothing but the start page opens until it can be read again.
  if (unknown && siteHost(address) != siteHost(homeAddress_)) {
    decision.rule = Rule::SettingsUnknown;
    return decision;
  }
  const bool literal = isOn(settings, kWholeSiteKey) && isAddressLiteral(decision.host);
  const bool onlyAllowed = isOn(settings, kOnlyAllowedKey);
  if ((literal || onlyAllowed) && !isAllowedWebsite(address, settings)) {
    decision.rule = literal ? Rule::AddressLiteral : Rule::NotAllowed;
  }
  return decision;
}

Decision BlockLists::decideHost(std::string_view address, bool wholeSites,
                                const Slots& slots) const {
  return wholeSites ? decideWholeSites(siteHost(address), slots)
                    : decideExactly(exactHost(address), slots);
}

bool BlockLists::refusesFrame(std::string_view address) {
  bool unknown = false;
  const storage::Settings settings = settings_.load(unknown);
  if (!unknown && !isOn(settings, kWholeSiteKey) && !isOn(settings, kOnlyAllowedKey)) return false;
  return decide(address).refused();
}

Decision BlockLists::decideExactly(std::string host, const Slots& slots) const {
  Decision decision;
  decision.host = std::move(host);
  // A list's final line feed leaves an empty last entry, which names no host.
  if (decision.host.empty()) return decision;
  const std::string& name = decision.host;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (slots[i].second == name) {
      return refusedBy(decision, Rule::ParentsList, i, name, slots[i].first);
    }
  }
  if (auto refused = askLists(decision, name, false)) return std::move(*refused);
  return decision;
}

// Most specific name first; for each name, the lists in their order.
Decision BlockLists::decideWholeSites(std::string host, const Slots& slots) const {
  if (slotHosts_.size() != slots.size() ||
      !std::equal(slots.begin(), slots.end(), slotHosts_.begin(),
                  [](const auto& slot, const auto& known) { return slot.second == known.first; })) {
    slotHosts_.clear();
    for (const auto& slot : slots) slotHosts_.emplace_back(slot.second, siteHost(slot.second));
  }
  Decision decision;
  decision.host = std::move(host);
  const std::vector<std::string_view> names = namesUpward(decision.host);
  for (const std::string_view name : names) {
    dns_.prefetchHost(name);
    dnssame_.prefetchHost(name);
  }
  for (const std::string_view name : names) {
    const auto slot = std::find_if(slotHosts_.begin(), slotHosts_.end(),
                                   [&](const auto& known) { return known.second == name; });
    if (slot != slotHosts_.end()) {
      const auto index = static_cast<std::size_t>(slot - slotHosts_.begin());
      return refusedBy(decision, Rule::ParentsList, index, name, slots[index].first);
    }
    if (auto refused = askLists(decision, name, true)) return std::move(*refused);
  }
  return decision;
}

bool BlockLists::isAllowedWebsite(std::string_view address,
                                  const storage::Settings& settings) const {
  // The start page stays allowed beside a parent's home page: it stands in when that fails.
  std::vector<std::string> allowedHosts{siteHost(homeAddress_)};
  if (const std::string homePage = storage::valueOf(settings, "HP"); !homePage.empty()) {
    allowedHosts.push_back(siteHost(completeURL(homePage)));
  }
  for (const std::string& favourite : storage::slotList(settings, "FW")) {
    allowedHosts.push_back(siteHost(completeURL(favourite)));
  }
  const std::string host = siteHost(address);
  for (const std::string_view name : namesUpward(host)) {
    if (std::find(allowedHosts.begin(), allowedHosts.end(), name) != allowedHosts.end()) {
      return true;
    }
    if (allow_.findHost(name) != -1) return true;
    for (const DomainList& administered : administeredAllows_) {
      if (administered.findHost(name) != -1) return true;
    }
  }
  return false;
}

}  // namespace harbinel::filter

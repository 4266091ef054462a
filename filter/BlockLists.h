#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "filter/DomainList.h"
#include "storage/SettingsFile.h"

namespace harbinel::filter {

// The browser's start page, loaded when the main window opens, by Home and after every refused
// page. Its host is always among the allowed websites.
inline constexpr std::string_view kHomeAddress = "http://start.harbinel.net/net/";

// Settings of the block decision (switches: "ON" turns them on, anything else off).
inline constexpr std::string_view kWholeSiteKey = "WS";    // block every address of a listed site
inline constexpr std::string_view kOnlyAllowedKey = "OF";  // only the allowed websites

// What decided about a page.
enum class Rule {
  Allowed,
  ParentsList,      // one of the parent's slots BW0..BW8
  Dmn,              // the shipped list dmn
  DmnSame,          // the shipped list dmnsame
  Administered,     // one of the administrator's lists in lists.d
  AddressLiteral,   // a host written as numbers, not among the allowed websites
  NotAllowed,       // "only the allowed websites" is on and the host is not among them
  SettingsUnknown,  // the settings file cannot be read: only the start page is allowed
};

struct Decision {
  Rule rule = Rule::Allowed;
  std::string host;            // the host the lists were asked about
  std::int32_t position = -1;  // the deciding entry's position in its list, -1 if none
  std::string slot;            // ParentsList: the slot's key ("BW3")
  std::string list;            // Administered: the list's file
  std::string name;            // the listed name that matched: the host or a name above it

  bool refused() const { return rule != Rule::Allowed; }
};

// The block lists and the block decision: the parent's list (BW0..BW8 of the settings file),
// then the shipped lists dmn and dmnsame (read once), with the settings WS and OF and the
// allowed list (the data folder's file "allow", read once) read at every decision.
class BlockLists {
 public:
  explicit BlockLists(storage::SettingsFile settings);

  // Loads the data folder's dmn, dmnsame and allow. A file the data folder lacks is read from
  // `shippedFolder` when one is given (its first-start copy failed, on a full disk say: the
  // shipped lists must still block). A missing or unreadable file gives an empty list: it
  // blocks nothing, and allows nothing.
  void createDnsArray(const std::filesystem::path& dataFolder,
                      const std::filesystem::path& shippedFolder = {});
  // The file the list `name` is read from, by the rule above.
  static std::filesystem::path listFile(const std::filesystem::path& dataFolder,
                                        const std::filesystem::path& shippedFolder,
                                        std::string_view name);

  // Loads the administrator's lists: every "*.list" of `administration`/lists.d blocks (asked
  // after dmnsame, in file-name order), every "*.list" of `administration`/allow.d allows.
  void loadAdministeredLists(const std::filesystem::path& administration);

  // Rebuilds the parent's list from the settings file.
  void readBlockSites();

  // readBlockSites, then the position of the first entry equal to `host` in the first list
  // that holds one (parent's list, dmn, dmnsame), or -1. The empty host is never listed.
  std::int32_t readfromdmn(std::string_view host);

  // The whole decision about the page at `address` (a main frame's address as the engine
  // reports it, or as typed), under the settings as they stand now.
  Decision decide(std::string_view address);

  using Slots = std::vector<std::pair<std::string, std::string>>;  // key, value; none empty

  // The lists' part of decide: the host of `address` under one rule, asked of `slots` (the
  // parent's), dmn and dmnsame, without the settings file and the allowed websites.
  Decision decideHost(std::string_view address, bool wholeSites, const Slots& slots) const;

  // Whether a frame inside a page may not load `address`: only while WS or OF is on, and then
  // exactly when the same address would be refused as a page.
  bool refusesFrame(std::string_view address);

  // Whether the host of `address` is among the allowed websites: a favourite's host, the start
  // page's or the parent's home page's (HP) host or on the allowed list, or a name above one of
  // those hosts.
  bool isAllowedWebsite(std::string_view address, const storage::Settings& settings) const;

  void setHomeAddress(std::string address) { homeAddress_ = std::move(address); }
  const std::string& homeAddress() const { return homeAddress_; }

  const DomainList& dnsArray() const { return dns_; }
  const DomainList& dnssameArray() const { return dnssame_; }
  const DomainList& allowArray() const { return allow_; }
  const std::vector<std::string>& userblockArray() const { return userblock_; }
  void setDnsArray(DomainList list) { dns_ = std::move(list); }
  void setDnssameArray(DomainList list) { dnssame_ = std::move(list); }
  void setAllowArray(DomainList list) { allow_ = std::move(list); }

 private:
  Decision decideExactly(std::string host, const Slots& slots) const;
  Decision decideWholeSites(std::string host, const Slots& slots) const;
  std::optional<Decision> askLists(const Decision& decision, std::string_view name,
                                   bool wholeSites) const;

  struct AdministeredList {
    std::filesystem::path file;
    DomainList list;
  };

  storage::SettingsFile settings_;
  std::string homeAddress_ = std::string(kHomeAddress);
  DomainList dns_;
  DomainList dnssame_;
  DomainList allow_;
  std::vector<AdministeredList> administeredBlocks_;
  std::vector<DomainList> administeredAllows_;
  std::vector<std::string> userblock_;
  // The parent's entries as hosts, by their text: the slots are read at every decision but
  // seldom change, and normalising them each time would cost more than the look-ups.
  mutable std::vector<std::pair<std::string, std::string>> slotHosts_;
};

// What refused a page, in a word for logs: the parent's slot ("BW3"), "dmn", "dmnsame", an
// administrator's list file, "address-in-numbers" or "not-allowed"; empty when allowed.
std::string decidingList(const Decision& decision);

// Whether a switch of the settings is on.
bool isOn(const storage::Settings& settings, std::string_view key);

}  // namespace harbinel::filter

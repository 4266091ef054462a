#include "filter/ListImport.h"

#include <unicode/uidna.h>

#include <algorithm>
#include <array>
#include <memory>

#include "filter/Address.h"
#include "platform/TextCodec.h"

namespace harbinel::filter {
namespace {

constexpr std::string_view kSpace = " \t\r\f\v";

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kSpace);
  return text.substr(first, last - first + 1);
}

// The first blank-separated word of `text`, and `text` advanced past it.
std::string_view nextWord(std::string_view& text) {
  text = trim(text);
  const auto end = std::min(text.find_first_of(kSpace), text.size());
  const std::string_view word = text.substr(0, end);
  text.remove_prefix(end);
  return word;
}

std::string lowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool isAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Internationalised names reach the block check in the ASCII form the web view reports.
std::optional<std::string> toAsciiName(const std::string& host) {
  if (isAscii(host)) return host;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UIDNA, decltype(&uidna_close)> idna(
      uidna_openUTS46(UIDNA_NONTRANSITIONAL_TO_ASCII, &status), uidna_close);
  if (U_FAILURE(status)) return std::nullopt;
  std::array<char, 512> ascii{};
  UIDNAInfo info = UIDNA_INFO_INITIALIZER;
  const int32_t length =
      uidna_nameToASCII_UTF8(idna.get(), host.data(), static_cast<int32_t>(host.size()),
                             ascii.data(), static_cast<int32_t>(ascii.size()), &info, &status);
  if (U_FAILURE(status) || info.errors != 0) return std::nullopt;
  return std::string(ascii.data(), static_cast<std::size_t>(length));
}

bool isHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
}

bool isWellFormedHost(std::string_view host) {
  if (host.empty() || host.size() > 253) return false;
  if (!std::all_of(host.begin(), host.end(), isHostCharacter)) return false;
  std::size_t start = 0;
  while (start <= host.size()) {
    const auto dot = std::min(host.find('.', start), host.size());
    const auto label = dot - start;
    if (label == 0 || label > 63) return false;
    start = dot + 1;
  }
  return true;
}

bool isLocalName(std::string_view host) {
  static constexpr std::array<std::string_view, 10> kLocal = {
      "localhost",    "localhost.localdomain", "local",   "broadcasthost", "ip6-localhost",
      "ip6-loopback", "ip6-localnet",          "0.0.0.0", "127.0.0.1",     "localdomain"};
  return std::find(kLocal.begin(), kLocal.end(), host) != kLocal.end() ||
         host.starts_with("127.") || host.ends_with(".localhost");
}

bool isAddress(std::string_view word) {
  if (word.find(':') != std::string_view::npos) return true;  // IPv6
  return !word.empty() && std::all_of(word.begin(), word.end(),
                                      [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

bool optionsKeepWholeSite(std::string_view options) {
  while (!options.empty()) {
    const auto comma = std::min(options.find(','), options.size());
    const std::string_view option = options.substr(0, comma);
    if (option != "important" && option != "all" && option != "document" && option != "doc") {
      return false;
    }
    options.remove_prefix(std::min(comma + 1, options.size()));
  }
  return true;
}

// What an adblock rule "||host..." blocks: its host, and whether the rule covers the whole
// site ("||host^", "||host/", whole-site options) or less (a path, a query, a pattern after
// the separator, other options). Nothing for rules that are no host block at all.
struct RuleReach {
  std::string_view host;
  bool wholeSite;
};

std::optional<RuleReach> adblockReach(std::string_view rule) {
  rule.remove_prefix(2);
  const auto hostEnd = std::min(rule.find_first_of("/?^$|*"), rule.size());
  const std::string_view host = rule.substr(0, hostEnd);
  std::string_view rest = rule.substr(hostEnd);
  if (rest.empty() || std::string_view("/?^").find(rest.front()) == std::string_view::npos) {
    return std::nullopt;  // "||host" alone also matches "hostname.example": a prefix, no host
  }
  const auto pathEnd = std::min(rest.find_first_of("^$|"), rest.size());
  bool wholeSite = pathEnd == 0 || rest.substr(0, pathEnd) == "/";
  rest.remove_prefix(pathEnd);
  if (rest.starts_with('^')) rest.remove_prefix(1);
  if (rest.starts_with('|')) rest.remove_prefix(1);
  if (!rest.empty()) {
    wholeSite = wholeSite && rest.starts_with('$') && optionsKeepWholeSite(rest.substr(1));
  }
  return RuleReach{host, wholeSite};
}

// Where the host of a written address ends: after any scheme, at its first "/" or "?".
std::size_t hostEnd(std::string_view written) {
  const auto end = std::min(written.find_first_of("/?"), written.size());
  const auto scheme = written.find("://");
  if (scheme == std::string_view::npos || scheme >= end) return end;
  return std::min(written.find_first_of("/?", scheme + 3), written.size());
}

}  // namespace

std::optional<std::string> normaliseListHost(std::string_view candidate) {
  candidate = trim(candidate);
  if (!platform::isValidUtf8(candidate)) return std::nullopt;
  // Address normalisation is case-sensitive and the web view reports hosts in lower case, so
  // lower the text before it is normalised, exactly as the page address would be.
  std::string host(hostText(changeURL(lowerAscii(candidate))));
  if (host.starts_with("*.")) host.erase(0, 2);
  if (host.starts_with('.')) host.erase(0, 1);
  if (host.ends_with('.')) host.pop_back();
  auto ascii = toAsciiName(host);
  if (!ascii || !isWellFormedHost(*ascii)) return std::nullopt;
  return ascii;
}

void ListImporter::addLine(std::string_view line) {
  line = trim(line);
  if (line.empty() || line.starts_with('#') || line.starts_with('!') || line.starts_with('[')) {
    ++counts_.commentsAndBlank;
    return;
  }
  if (line.starts_with("||")) {
    const auto reach = adblockReach(line);
    if (!reach) {
      ++counts_.invalid;
    } else if (reach->wholeSite) {
      addHost(reach->host);
    } else {
      addNarrower(reach->host);
    }
    return;
  }
  if (const auto hash = line.find('#'); hash != std::string_view::npos) {
    // A hosts file's trailing comment follows a blank; a '#' inside a word is an adblock
    // element-hiding rule ("example.net##.banner"), which blocks no host.
    if (kSpace.find(line[hash - 1]) == std::string_view::npos) {
      ++counts_.invalid;
      return;
    }
    line = trim(line.substr(0, hash));
  }
  std::string_view rest = line;
  const std::string_view first = nextWord(rest);
  if (isAddress(first) && !trim(rest).empty()) {
    // A hosts file line: an address, then one or more names.
    while (!trim(rest).empty()) addAddress(nextWord(rest));
    return;
  }
  if (!trim(rest).empty()) {
    ++counts_.invalid;  // two words that are not a hosts file line
    return;
  }
  addAddress(first);
}

void ListImporter::addText(std::string_view text) {
  while (!text.empty()) {
    const auto end = std::min(text.find('\n'), text.size());
    addLine(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
}

// A host, or a host with a lone final "/", blocks the site; with more after it the entry names
// only part of the site and must never be widened to its host.
void ListImporter::addAddress(std::string_view written) {
  const auto end = hostEnd(written);
  const std::string_view after = written.substr(end);
  if (after.empty() || after == "/") {
    addHost(written.substr(0, end));
  } else {
    addNarrower(written.substr(0, end));
  }
}

void ListImporter::addNarrower(std::string_view host) {
  if (normaliseListHost(host)) {
    ++counts_.narrower;
  } else {
    ++counts_.invalid;
  }
}

void ListImporter::addHost(std::string_view candidate) {
  auto host = normaliseListHost(candidate);
  if (!host) {
    ++counts_.invalid;
  } else if (isLocalName(*host)) {
    ++counts_.localNames;
  } else if (!seen_.insert(*host).second) {
    ++counts_.duplicates;
  } else {
    hosts_.push_back(std::move(*host));
    ++counts_.kept;
  }
}

ImportCounts ImportCounts::since(const ImportCounts& earlier) const {
  ImportCounts added;
  added.kept = kept - earlier.kept;
  added.duplicates = duplicates - earlier.duplicates;
  added.narrower = narrower - earlier.narrower;
  added.invalid = invalid - earlier.invalid;
  added.localNames = localNames - earlier.localNames;
  added.commentsAndBlank = commentsAndBlank - earlier.commentsAndBlank;
  return added;
}

std::string ListImporter::listText() const {
  std::string text;
  for (const auto& host : hosts_) {
    if (!text.empty()) text += '\n';
    text += host;
  }
  return text;
}

}  // namespace harbinel::filter

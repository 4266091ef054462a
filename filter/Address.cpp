#include "filter/Address.h"

#include "platform/Translation.h"

#include <arpa/inet.h>
#include <unicode/uidna.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace harbinel::filter {
namespace {

// Longer literals come before the shorter ones they contain: removing "www." first would turn
// "http://wwww.example.org" into "wexample.org" instead of "example.org".
constexpr std::array<std::string_view, 8> kRemovedLiterals = {
    "https://wwww.", "https://www.", "http://wwww.", "http://www.",
    "https://",      "http://",      "wwww.",        "www.",
};

// Cuts every occurrence of `literal` out of `text` in one left-to-right pass, in place. The scan
// resumes after each cut in the text as it was (what is kept is written behind the scan, never
// ahead of it), so an occurrence that only forms where two remaining pieces meet survives this
// pass.
void removeAll(std::string& text, std::string_view literal) {
  std::size_t found = text.find(literal);
  if (found == std::string::npos) return;
  auto write = text.begin() + static_cast<std::ptrdiff_t>(found);
  std::size_t read = found + literal.size();
  const auto keep = [&](std::size_t end) {  // forward copy: the target never passes the source
    write = std::copy(text.begin() + static_cast<std::ptrdiff_t>(read),
                      text.begin() + static_cast<std::ptrdiff_t>(end), write);
  };
  for (found = text.find(literal, read); found != std::string::npos;
       found = text.find(literal, read)) {
    keep(found);
    read = found + literal.size();
  }
  keep(text.size());
  text.erase(write, text.end());
}

bool equalsIgnoringAsciiCase(std::string_view text, std::string_view lowerCase) {
  if (text.size() != lowerCase.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerCase[i]) return false;
  }
  return true;
}

}  // namespace

std::string changeURL(std::string_view address) {
  std::string result(address);
  for (const std::string_view literal : kRemovedLiterals) removeAll(result, literal);
  return result;
}

std::string completeURL(std::string_view typed) {
  // Schemes are case-insensitive, and an https address must load as it is: prefixing it
  // would give "http://https://..." which no web view can load.
  const std::string_view scheme = typed.substr(0, typed.find("//"));
  if (equalsIgnoringAsciiCase(scheme, "http:") || equalsIgnoringAsciiCase(scheme, "https:")) {
    return std::string(typed);
  }
  return "http://" + std::string(typed);
}

std::string_view hostText(std::string_view normalisedAddress) {
  return normalisedAddress.substr(0, normalisedAddress.find('/'));
}

namespace {

bool isAsciiText(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string lowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// The ASCII (punycode) form the engine reports for an international name, or nothing when the
// name cannot be one.
std::optional<std::string> idnaToAscii(std::string_view name) {
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UIDNA, decltype(&uidna_close)> idna(
      uidna_openUTS46(UIDNA_NONTRANSITIONAL_TO_ASCII, &status), uidna_close);
  if (U_FAILURE(status)) return std::nullopt;
  std::array<char, 512> ascii{};
  UIDNAInfo info = UIDNA_INFO_INITIALIZER;
  const int32_t length =
      uidna_nameToASCII_UTF8(idna.get(), name.data(), static_cast<int32_t>(name.size()),
                             ascii.data(), static_cast<int32_t>(ascii.size()), &info, &status);
  if (U_FAILURE(status) || info.errors != 0) return std::nullopt;
  return std::string(ascii.data(), static_cast<std::size_t>(length));
}

std::string_view lastLabel(std::string_view host) {
  const auto dot = host.rfind('.');
  return dot == std::string_view::npos ? host : host.substr(dot + 1);
}

bool isDecimal(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isHexNumber(std::string_view text) {
  if (!text.starts_with("0x")) return false;
  return std::all_of(text.begin() + 2, text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// The engine reads a host whose last label is a number as an IPv4 address, whatever it holds.
bool endsInNumber(std::string_view host) {
  const std::string_view last = lastLabel(host);
  return isDecimal(last) || isHexNumber(last);
}

// One part of an IPv4 address: decimal, octal after a leading 0, or hexadecimal after "0x".
std::optional<std::uint64_t> ipv4Part(std::string_view part) {
  int base = 10;
  if (part.starts_with("0x")) {
    base = 16;
    part.remove_prefix(2);
    if (part.empty()) return 0;
  } else if (part.size() > 1 && part.starts_with('0')) {
    base = 8;
    part.remove_prefix(1);
  }
  if (part.empty() || part.size() > 20) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : part) {
    const int digit = c >= 'a' ? c - 'a' + 10 : c - '0';
    if (digit < 0 || digit >= base) return std::nullopt;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFULL) return std::nullopt;
  }
  return value;
}

// An IPv4 address in any of the forms the engine accepts ("127.1", "0x7f.0.0.1", "2130706433",
// "0177.0.0.1") as four decimal numbers, or nothing when it is none.
std::optional<std::string> canonicalIpv4(std::string_view host) {
  std::vector<std::uint64_t> parts;
  for (std::size_t start = 0;;) {
    const auto dot = std::min(host.find('.', start), host.size());
    const auto value = ipv4Part(host.substr(start, dot - start));
    if (!value || parts.size() == 4) return std::nullopt;
    parts.push_back(*value);
    if (dot == host.size()) break;
    start = dot + 1;
  }
  std::uint64_t address = 0;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    if (parts[i] > 255) return std::nullopt;
    address |= parts[i] << (8 * (3 - i));
  }
  const std::uint64_t last = parts.back();
  if (last >= (std::uint64_t{1} << (8 * (5 - parts.size())))) return std::nullopt;
  address |= last;
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
         std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
}

// Four decimal numbers of 0 to 255 without leading zeros: the form canonicalIpv4 writes.
bool isDottedQuad(std::string_view host) {
  int parts = 0;
  for (std::size_t start = 0; start <= host.size(); ++parts) {
    const auto dot = std::min(host.find('.', start), host.size());
    const std::string_view part = host.substr(start, dot - start);
    if (!isDecimal(part) || part.size() > 3 || (part.size() > 1 && part[0] == '0')) return false;
    if (part.size() == 3 && part > "255") return false;
    start = dot + 1;
  }
  return parts == 4;
}

// "[2001:DB8:0::1]" or "2001:db8::1" as "[2001:db8::1]", or nothing when it is no IPv6 address.
std::optional<std::string> canonicalIpv6(std::string_view host) {
  if (host.starts_with('[') && host.ends_with(']')) host = host.substr(1, host.size() - 2);
  const std::string text(host);
  in6_addr address{};
  if (::inet_pton(AF_INET6, text.c_str(), &address) != 1) return std::nullopt;
  std::array<char, INET6_ADDRSTRLEN> written{};
  if (::inet_ntop(AF_INET6, &address, written.data(), written.size()) == nullptr) {
    return std::nullopt;
  }
  return "[" + std::string(written.data()) + "]";
}

bool looksLikeIpv6(std::string_view host) {
  return host.starts_with('[') || std::count(host.begin(), host.end(), ':') > 1;
}

// The host without what the engine would take as user info or port.
std::string_view withoutUserInfoAndPort(std::string_view host) {
  if (const auto at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
  if (host.starts_with('[')) {
    const auto close = host.find(']');
    return close == std::string_view::npos ? host : host.substr(0, close + 1);
  }
  if (looksLikeIpv6(host)) return host;  // an IPv6 address a list wrote without brackets
  return host.substr(0, host.find(':'));
}

}  // namespace

std::string addressHostPart(std::string_view address) {
  const std::string normalised = changeURL(lowerAscii(address));
  const std::string_view text = normalised;
  return std::string(text.substr(0, text.find_first_of("/?#\\")));
}

std::string normaliseHost(std::string_view hostPart) {
  std::string_view host = withoutUserInfoAndPort(hostPart);
  // Lists write a site with everything under it as "*.example.org" or ".example.org".
  if (host.starts_with("*.")) host.remove_prefix(1);
  while (host.starts_with('.')) host.remove_prefix(1);
  while (host.ends_with('.')) host.remove_suffix(1);
  std::string lower = lowerAscii(host);
  if (looksLikeIpv6(lower)) return canonicalIpv6(lower).value_or(lower);
  if (!isAsciiText(lower)) lower = idnaToAscii(lower).value_or(lower);
  if (endsInNumber(lower)) return canonicalIpv4(lower).value_or(lower);
  return lower;
}

std::string siteHost(std::string_view address) {
  return normaliseHost(addressHostPart(address));
}

bool isAddressLiteral(std::string_view normalisedHost) {
  return normalisedHost.starts_with('[') || endsInNumber(normalisedHost);
}

std::vector<std::string_view> namesUpward(std::string_view normalisedHost) {
  std::vector<std::string_view> names;
  if (normalisedHost.empty()) return names;
  names.push_back(normalisedHost);
  if (isAddressLiteral(normalisedHost)) return names;
  for (auto dot = normalisedHost.find('.'); dot != std::string_view::npos;
       dot = normalisedHost.find('.')) {
    normalisedHost.remove_prefix(dot + 1);
    if (!normalisedHost.empty()) names.push_back(normalisedHost);
  }
  return names;
}

// One pass over the entry: it runs for every line of every list as the list loads.
bool isNormalisedHost(std::string_view entry) {
  static constexpr auto kPlain = [] {
    std::array<bool, 256> plain{};
    for (char c = 'a'; c <= 'z'; ++c) plain[static_cast<unsigned char>(c)] = true;
    for (char c = '0'; c <= '9'; ++c) plain[static_cast<unsigned char>(c)] = true;
    plain['-'] = plain['_'] = plain['.'] = true;
    return plain;
  }();
  if (entry.empty() || entry.front() == '.' || entry.back() == '.') return false;
  std::size_t lastLabel = 0;
  for (std::size_t i = 0; i < entry.size(); ++i) {
    const char c = entry[i];
    if (!kPlain[static_cast<unsigned char>(c)]) return false;
    if (c != '.') continue;
    // Address normalisation would still cut a "www." out.
    if (i >= 3 && entry[i - 1] == 'w' && entry[i - 2] == 'w' && entry[i - 3] == 'w') return false;
    lastLabel = i + 1;
  }
  // A number-like name is rewritten, unless it is an IPv4 address written as four decimal
  // numbers already (lists hold many).
  const std::string_view last = entry.substr(lastLabel);
  return (!isDecimal(last) && !isHexNumber(last)) || isDottedQuad(entry);
}

namespace {

// A translated text with its "%1" standing for `host`.
std::string naming(const char* text, const std::string& host) {
  std::string said = text;
  if (const auto at = said.find("%1"); at != std::string::npos) said.replace(at, 2, host);
  return said;
}

}  // namespace

std::string explainEntry(std::string_view entry, bool wholeSites) {
  if (entry.empty()) return {};
  if (wholeSites) {
    const std::string host = siteHost(entry);
    if (host.empty()) return _("never matches: it names no site");
    // TRANSLATORS: %1 is a host, such as 192.0.2.1.
    if (isAddressLiteral(host)) return naming(_("blocks the address %1"), host);
    // TRANSLATORS: %1 is a host, such as youtube.com.
    return naming(_("blocks %1 and every address under it"), host);
  }
  if (entry.find('/') != std::string_view::npos) {
    return _("never matches: an entry with a '/' is never a host");
  }
  if (lowerAscii(entry) != entry) return _("never matches: addresses arrive in lower case");
  if (!isAsciiText(entry)) return _("never matches: international names arrive as xn--...");
  return _("matches only this exact text");
}

}  // namespace harbinel::filter

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace harbinel::filter {

// Address normalisation: cuts the scheme and "www." literals out of the text, wherever they
// stand, in a fixed order ("https://wwww.", "https://www.", "http://wwww.", "http://www.",
// "https://", "http://", "wwww.", "www."), each in one non-overlapping left-to-right pass.
// Exact and case-sensitive.
std::string changeURL(std::string_view address);

// Scheme completion: the text unchanged when the part before its first "//" is "http:" or
// "https:" (in any letter case); otherwise "http://" followed by the text.
std::string completeURL(std::string_view typed);

// The host text of a normalised address: the part before its first "/".
std::string_view hostText(std::string_view normalisedAddress);

// ---- Whole-site host rule ----------------------------------------------------------------------
// Under the "block every address of a listed site" setting, pages and list entries are compared
// by host, and both sides go through the same two steps below, so that no spelling of an
// address (user info, a port, capitals, final dots, Unicode) reaches a site its list names.

// The raw host part of an address or list entry: the text lowered (ASCII letters), then
// address normalisation (changeURL), then cut at the first "/", "?", "#" or "\\".
std::string addressHostPart(std::string_view address);

// The comparable form of a host part: without user info (up to the last "@"), without a port
// (after "]" for an IPv6 address), without a leading "*." or dots, without final dots, lower case,
// international names in their ASCII form (UTS #46), IPv4 addresses in any form the engine accepts
// written as four decimal numbers, IPv6 addresses in brackets in their shortest form.
std::string normaliseHost(std::string_view hostPart);

// normaliseHost(addressHostPart(address)).
std::string siteHost(std::string_view address);

// Whether a normalised host is an address written in numbers (IPv4 or IPv6) rather than a name.
bool isAddressLiteral(std::string_view normalisedHost);

// The host and every name above it, most specific first: "a.b.example" gives "a.b.example",
// "b.example", "example". An address literal gives itself only; the empty host nothing.
std::vector<std::string_view> namesUpward(std::string_view normalisedHost);

// One line for the parents' window saying what a blocked-site entry (as saved) will do under
// the rule in force; the empty text for an empty entry.
std::string explainEntry(std::string_view entry, bool wholeSites);

// A fast and conservative test: true only when normaliseHost(addressHostPart(entry)) == entry.
bool isNormalisedHost(std::string_view entry);

}  // namespace harbinel::filter

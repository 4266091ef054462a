#pragma once

#include <string>
#include <string_view>

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

}  // namespace harbinel::filter

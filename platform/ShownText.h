#pragma once

#include <string>
#include <string_view>

namespace harbinel::platform {

// How many characters of an address an alert or a page of our own shows: a long one would make
// an alert taller than the screen (and slow to lay out), and a page too big to show.
inline constexpr std::size_t kShownAddressLength = 200;

// `address` as alerts and our pages show it: the first kShownAddressLength characters (not bytes, and
// never half of one), followed by "…" when there were more.
std::string shownAddress(std::string_view address);

}  // namespace harbinel::platform

#pragma once

#include <string>
#include <string_view>

namespace harbinel::platform {

// UTF-8 to UTF-16 little-endian bytes, without a byte-order mark. Ill-formed UTF-8 input
// becomes U+FFFD per bad sequence.
std::string utf8ToUtf16le(std::string_view utf8);

// UTF-16 little-endian bytes to UTF-8. Unpaired surrogates and an odd trailing byte become
// U+FFFD. Byte-order marks are kept as U+FEFF; callers strip them where they mean nothing.
std::string utf16leToUtf8(std::string_view bytes);

// True when `text` is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

}  // namespace harbinel::platform

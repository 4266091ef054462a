// Any bytes in a day file decode to well-formed text without a byte-order mark in it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "parents/HistoryReport.h"
#include "platform/TextCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string text = harbinel::parents::decodeDayFile(bytes);
  if (!harbinel::platform::isValidUtf8(text)) std::abort();
  if (text.find("\xEF\xBB\xBF") != std::string::npos) std::abort();  // U+FEFF
  // Each 16-bit unit becomes at most one character of at most three bytes (a surrogate pair,
  // two units, becomes four), plus one replacement for an odd byte.
  if (text.size() > (size / 2) * 3 + 3) std::abort();
  return 0;
}

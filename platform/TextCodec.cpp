#include "platform/TextCodec.h"

#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace harbinel::platform {

std::string utf8ToUtf16le(std::string_view utf8) {
  const icu::UnicodeString text =
      icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), utf8.size()));
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.length()) * 2);
  for (int32_t i = 0; i < text.length(); ++i) {
    const char16_t unit = text.charAt(i);
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::string utf16leToUtf8(std::string_view bytes) {
  icu::UnicodeString text;
  const std::size_t units = bytes.size() / 2;
  for (std::size_t i = 0; i < units; ++i) {
    const auto low = static_cast<unsigned char>(bytes[2 * i]);
    const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
    text.append(static_cast<char16_t>(low | (high << 8)));
  }
  if (bytes.size() % 2 != 0) text.append(static_cast<char16_t>(0xFFFD));
  // toUTF8String turns every unpaired surrogate into U+FFFD.
  std::string utf8;
  text.toUTF8String(utf8);
  return utf8;
}

bool isValidUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  while (i < length) {
    if (bytes[i] < 0x80) {
      ++i;
      continue;
    }
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

}  // namespace harbinel::platform

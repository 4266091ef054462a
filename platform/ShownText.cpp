#include "platform/ShownText.h"

namespace harbinel::platform {
namespace {

// A UTF-8 byte that begins a character (anything but a continuation byte 10xxxxxx).
bool beginsCharacter(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}

}  // namespace

std::string shownAddress(std::string_view address) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < address.size(); ++i) {
    if (beginsCharacter(address[i]) && ++characters > kShownAddressLength) {
      return std::string(address.substr(0, i)) + "…";
    }
  }
  return std::string(address);
}

}  // namespace harbinel::platform

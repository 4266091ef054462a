#include "parents/NewPassword.h"

#include "platform/Translation.h"

#include <cstddef>

namespace harbinel::parents {
namespace {

// Characters of valid UTF-8 text (the fields give nothing else): every byte that does not
// continue a sequence starts one.
std::size_t characters(std::string_view text) {
  std::size_t count = 0;
  for (const char byte : text) count += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
  return count;
}

}  // namespace

std::string newPasswordProblem(std::string_view password, std::string_view repeated) {
  if (characters(password) < static_cast<std::size_t>(kShortestPassword)) {
    return _("The password needs at least 4 characters.");
  }
  if (password == kShippedPassword) {
    return _("Choose a password of your own, not the one Harbinel comes with.");
  }
  if (repeated != password) return _("Type the same password again in the second field.");
  return {};
}

PasswordCheck checkPassword(std::string_view entered, std::string_view stored) {
  if (entered.empty()) return PasswordCheck::Empty;
  return entered == stored ? PasswordCheck::Opens : PasswordCheck::Wrong;
}

}  // namespace harbinel::parents

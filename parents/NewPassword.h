#pragma once

#include <string>
#include <string_view>

namespace harbinel::parents {

// The password every install ships with; while the settings hold it, anyone who has read the
// README knows it, so the first start asks the parent for one of their own.
inline constexpr std::string_view kShippedPassword = "harbinel";
inline constexpr int kShortestPassword = 4;

// What is wrong with a new password and its repetition, in plain words for the parent, or the
// empty text when it may be saved. Characters are counted, not bytes.
std::string newPasswordProblem(std::string_view password, std::string_view repeated);

// What the prompt makes of `entered` against the stored password ("" when none is stored): it
// compares exactly, case and blanks and all, so that no near miss opens the parents' menu.
enum class PasswordCheck { Opens, Empty, Wrong };
PasswordCheck checkPassword(std::string_view entered, std::string_view stored);

}  // namespace harbinel::parents

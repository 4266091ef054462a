#include <gtest/gtest.h>

#include "parents/NewPassword.h"

namespace {
using harbinel::parents::newPasswordProblem;

TEST(NewPassword, RulesInPlainWords) {
  const struct {
    const char* password;
    const char* repeated;
    const char* problem;
  } cases[] = {
      {"abcd", "abcd", ""},
      {"äöü€", "äöü€", ""},  // four characters, eleven bytes
      {"abc", "abc", "The password needs at least 4 characters."},
      {"", "", "The password needs at least 4 characters."},
      {"harbinel", "harbinel", "Choose a password of your own, not the one Harbinel comes with."},
      {"Harbinel", "Harbinel", ""},
      {"abcd", "abcD", "Type the same password again in the second field."},
      {"abcd ", "abcd", "Type the same password again in the second field."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(newPasswordProblem(c.password, c.repeated), c.problem) << c.password;
  }
}

}  // namespace

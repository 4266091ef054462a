#include "filter/Address.h"

#include <array>

namespace harbinel::filter {
namespace {

// Longer literals come before the shorter ones they contain: removing "www." first would turn
// "http://wwww.example.org" into "wexample.org" instead of "example.org".
constexpr std::array<std::string_view, 8> kRemovedLiterals = {
    "https://wwww.", "https://www.", "http://wwww.", "http://www.",
    "https://",      "http://",      "wwww.",        "www.",
};

// Cuts every occurrence of `literal` out of `text` in one left-to-right pass. The scan resumes
// after each cut in the text as it was, so an occurrence that only forms where two remaining
// pieces meet survives this pass.
std::string removeAll(std::string_view text, std::string_view literal) {
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t found = text.find(literal); found != std::string_view::npos;
       found = text.find(literal, start)) {
    result.append(text, start, found - start);
    start = found + literal.size();
  }
  result.append(text, start);
  return result;
}

bool equalsIgnoringAsciiCase(std::string_view text, std::string_view lowerCase) {
  if (text.size() != lowerCase.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerCase[i]) return false;
  }
  return true;
}

}  // namespace

std::string changeURL(std::string_view address) {
  std::string result(address);
  for (const std::string_view literal : kRemovedLiterals) result = removeAll(result, literal);
  return result;
}

std::string completeURL(std::string_view typed) {
  // Schemes are case-insensitive, and an https address must load as it is: prefixing it
  // would give "http://https://..." which no web view can load.
  const std::string_view scheme = typed.substr(0, typed.find("//"));
  if (equalsIgnoringAsciiCase(scheme, "http:") || equalsIgnoringAsciiCase(scheme, "https:")) {
    return std::string(typed);
  }
  return "http://" + std::string(typed);
}

std::string_view hostText(std::string_view normalisedAddress) {
  return normalisedAddress.substr(0, normalisedAddress.find('/'));
}

}  // namespace harbinel::filter

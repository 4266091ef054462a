#pragma once

#include <stdexcept>

namespace harbinel::platform {

// How the application presents itself on the desktop while it runs: flags that combine into
// one value, with the platform's rules on which combinations make sense.
namespace presentation {
inline constexpr unsigned AutoHideDock = 1;
inline constexpr unsigned HideDock = 2;
inline constexpr unsigned AutoHideMenuBar = 4;
inline constexpr unsigned HideMenuBar = 8;
inline constexpr unsigned DisableAppleMenu = 16;
inline constexpr unsigned DisableProcessSwitching = 32;
inline constexpr unsigned DisableForceQuit = 64;
inline constexpr unsigned DisableSessionTermination = 128;
inline constexpr unsigned DisableHideApplication = 256;
inline constexpr unsigned DisableMenuBarTransparency = 512;
inline constexpr unsigned FullScreen = 1024;
inline constexpr unsigned AutoHideToolbar = 2048;
inline constexpr unsigned DisableCursorLocationAssistance = 4096;
inline constexpr unsigned Known = 8191;
}  // namespace presentation

class PresentationOptionsError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Throws PresentationOptionsError, naming the broken rule, when `options` is not a valid
// combination.
void validatePresentationOptions(unsigned options);

}  // namespace harbinel::platform

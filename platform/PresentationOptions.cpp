#include "platform/PresentationOptions.h"

namespace harbinel::platform {
namespace p = presentation;

void validatePresentationOptions(unsigned options) {
  const auto has = [options](unsigned flags) { return (options & flags) != 0; };
  const auto reject = [](const char* why) { throw PresentationOptionsError(why); };
  if (has(~p::Known)) reject("unknown presentation option");
  if (has(p::AutoHideDock) && has(p::HideDock))
    reject("auto-hide dock and hide dock exclude each other");
  if (has(p::AutoHideMenuBar) && has(p::HideMenuBar)) {
    reject("auto-hide menu bar and hide menu bar exclude each other");
  }
  if (has(p::HideMenuBar) && !has(p::HideDock)) reject("hiding the menu bar needs the dock hidden");
  const bool dockOut = has(p::HideDock | p::AutoHideDock);
  if (has(p::AutoHideMenuBar) && !dockOut) {
    reject("auto-hiding the menu bar needs the dock hidden or auto-hidden");
  }
  if (has(p::DisableProcessSwitching | p::DisableForceQuit | p::DisableSessionTermination |
          p::DisableMenuBarTransparency) &&
      !dockOut) {
    reject("disabling switching, force quit, session end or transparency needs the dock hidden");
  }
  if (has(p::AutoHideToolbar) && !(has(p::FullScreen) && has(p::AutoHideMenuBar))) {
    reject("auto-hiding the toolbar needs full screen and an auto-hidden menu bar");
  }
}

}  // namespace harbinel::platform

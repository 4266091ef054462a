#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace harbinel::platform {

// An alert on screen, as the alert seam hands it to an observer.
class ShownAlert {
 public:
  virtual ~ShownAlert() = default;
  // The texts read back from the alert's own labels.
  virtual std::string messageText() const = 0;
  virtual std::string informativeText() const = 0;
  // Activates the alert's real OK button.
  virtual void pressOK() = 0;
};

// Shows an application-modal warning alert (a message text, an informative text shown
// literally, one default "OK" button) and returns once it is dismissed. A window-manager close
// counts as OK.
void runAlert(std::string_view messageText, std::string_view informativeText);

// The seam through which tests read and answer alerts: once an alert is on screen and its
// session runs, the observer, if any, is called with it. The observer may press OK at once or
// keep the alert and press it later, while it is still open. Returns the previous observer.
using AlertObserver = std::function<void(ShownAlert&)>;
AlertObserver setAlertObserver(AlertObserver observer);

}  // namespace harbinel::platform

#pragma once

namespace Gtk {
class Window;
}

namespace harbinel::platform {

// Application-modal sessions over nested main loops.
//
// runModalForWindow shows the window and runs a nested main loop until stopModal is called
// for that window; sessions nest. While a session
// runs, every other window of the process is insensitive, so only the session's window takes
// input; each window gets its own sensitivity back when the session ends.
//
// A window-manager close of a window in a session must never destroy it (its loop would then
// never return): the session answers the close request by hiding the window and ending.
// A window that must refuse closes altogether connects its own close-request handler that
// returns true before it is run; that handler then runs first and the session never sees the
// request.
void runModalForWindow(Gtk::Window& window);

// Ends the session of `window` once the event being handled is done, if it is the innermost
// one; does nothing otherwise. A window's control can report a click after its session has
// ended (a button pressed with the keyboard reports it at the key's release, or a moment
// later), and such a late click must never end the session that runs below it: the kiosk's.
void stopModal(const Gtk::Window& window);

// The window of the innermost session, or none.
Gtk::Window* modalWindow();

// How many sessions are running (0 outside any).
int modalDepth();

// Hides a window without a close request (a close request is the window manager's, and a
// session answers it by ending).
void closeWindow(Gtk::Window& window);

}  // namespace harbinel::platform

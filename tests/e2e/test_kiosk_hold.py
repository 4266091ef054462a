#!/usr/bin/env python3
"""The kiosk holds against a child's timing: keys held down across clicks, the window
manager's keys. The installed program runs as in test_kiosk.py (its set-up and helpers are
used as they are); every sequence is real key down and key up events and clicks through
xdotool, and after each one the program must still run and the kiosk window still cover the
screen and show its home page."""

import os
import plistlib
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_kiosk  # noqa: E402
from test_kiosk import COLOURS, FAVOURITES_X, PARENTS_X, CLOSE_X, TOOLBAR_Y  # noqa: E402

# Close in the favourites picker, measured from the window's lower right corner (left of Open).
PICKER_CLOSE_FROM_CORNER = (150, 37)
PICKER_OPEN_FROM_CORNER = test_kiosk.PICKER_OPEN_FROM_CORNER
PICKER = "Favourites Websites"
FULL_SCREEN = (0, 0, test_kiosk.SCREEN_WIDTH, test_kiosk.SCREEN_HEIGHT)


class HoldScenario(test_kiosk.KioskScenario):
    test_child_and_parent_session = None  # that journey is test_kiosk.py's

    def start_kiosk(self):
        with open(self.settings_path, "rb") as file:
            settings = plistlib.load(file)
        settings["FW0"] = test_kiosk.HOME_HOST + test_kiosk.HOME_PATH  # Open goes home
        with open(self.settings_path, "wb") as file:
            plistlib.dump(settings, file)
        self.start_program()
        self.wait_for(lambda: self.shows_colour(COLOURS["home"]), "the home page")
        self.kiosk = self.wait_for(lambda: self.kiosk_window(), "the kiosk window")

    def kiosk_window(self):
        return next((window for window in self.windows("Harbinel")
                     if self.viewable_full_screen(window)), None)

    def viewable_full_screen(self, window):
        viewable = "IsViewable" in self.run_tool(["xwininfo", "-id", window])
        return viewable and self.geometry(window) == FULL_SCREEN

    def hold_return(self, *between):
        """Return goes down, each step of `between` runs, Return comes up after a while."""
        self.xdotool("keydown", "Return")
        for step in between:
            step()
        time.sleep(0.6)  # past the moment a held button reports its click
        self.xdotool("keyup", "Return")
        time.sleep(0.6)

    def assert_kiosk_holds(self, what):
        """The program runs, and its window covers the screen on top of every other."""
        self.assertIsNone(self.program.poll(), f"the program ended after {what}")
        for title in (PICKER, "Open Parents Menu", "Close Application"):
            self.wait_gone(title)
        self.wait_for(lambda: self.viewable_full_screen(self.kiosk), f"the kiosk after {what}")
        self.wait_for(lambda: self.shows_colour(COLOURS["home"]), f"the kiosk on top after {what}")
        self.screenshot(what)

    def open_picker(self):
        self.click(FAVOURITES_X, TOOLBAR_Y)
        return self.window(PICKER)

    def open_prompt(self, x, title):
        self.click(x, TOOLBAR_Y)
        return self.window(title)


class HeldKeysWithoutWindowManager(HoldScenario, unittest.TestCase):
    variant = "hold-no-window-manager"

    def test_held_return_across_a_click_never_ends_the_kiosk(self):
        self.start_kiosk()
        for hold in (0.6, 0.08):
            picker = self.open_picker()
            self.key("Tab")  # the keyboard on Open
            self.xdotool("keydown", "Return")
            self.click_from_corner(picker, PICKER_CLOSE_FROM_CORNER)
            time.sleep(hold)
            self.xdotool("keyup", "Return")
            self.assert_kiosk_holds(f"return-on-open-click-close-{hold}")

            picker = self.open_picker()
            self.key("Tab", "shift+Tab")  # the keyboard on Close
            self.xdotool("keydown", "Return")
            self.click_from_corner(picker, PICKER_OPEN_FROM_CORNER)
            time.sleep(hold)
            self.xdotool("keyup", "Return")
            self.assert_kiosk_holds(f"return-on-close-click-open-{hold}")


class HeldKeysWithOpenbox(HoldScenario, unittest.TestCase):
    variant = "hold-openbox"
    window_manager = ["openbox", "--sm-disable"]

    def test_held_return_and_alt_f4_never_end_the_kiosk(self):
        self.start_kiosk()
        self.open_picker()
        self.key("Tab")
        self.hold_return(lambda: self.key("alt+F4"))
        self.assert_kiosk_holds("return-on-open-alt-f4")
        for x, title in ((PARENTS_X, "Open Parents Menu"), (CLOSE_X, "Close Application")):
            self.open_prompt(x, title)
            self.key("Tab")  # from the password field to Cancel
            self.hold_return(lambda: self.key("alt+F4"))
            self.assert_kiosk_holds(f"return-on-cancel-alt-f4-{title}")
        self.key("alt+F4")  # at the kiosk window itself
        time.sleep(0.6)
        self.assert_kiosk_holds("alt-f4-on-the-kiosk")

    def test_window_manager_keys_never_reach_the_window_manager(self):
        self.start_kiosk()
        self.spawn(["xmessage", "another program"], env=self.x_env)
        self.wait_for(lambda: self.run_tool(["xdotool", "search", "--class", "xmessage"]),
                      "the other program's window")
        self.xdotool("windowactivate", self.kiosk)
        for keys in (["ctrl+alt+Right"], ["super+d"], ["alt+space", "n"], ["alt+Tab"]):
            self.key(*keys)
            time.sleep(0.6)
            self.assert_kiosk_holds("+".join(keys))


if __name__ == "__main__":
    unittest.main()

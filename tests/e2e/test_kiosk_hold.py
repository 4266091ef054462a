#!/usr/bin/env python3
"""The kiosk holds against a child's timing: Return held across clicks, the window manager's
keys. The installed program runs as in test_kiosk.py, whose set-up and helpers are used; keys go
down and up and clicks land through xdotool. After each sequence the program must still run
and its window cover the screen, on top, showing the home page."""

import os
import plistlib
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_kiosk  # noqa: E402
from test_kiosk import COLOURS, FAVOURITES_X, PARENTS_X, CLOSE_X, TOOLBAR_Y  # noqa: E402

PICKER_CLOSE_FROM_CORNER = (150, 37)  # left of Open
FULL_SCREEN = (0, 0, test_kiosk.SCREEN_WIDTH, test_kiosk.SCREEN_HEIGHT)


class HoldScenario(test_kiosk.KioskScenario):
    test_child_and_parent_session = None  # that journey is test_kiosk.py's

    def start_kiosk(self):
        with open(self.settings_path, "rb") as file:
            settings = plistlib.load(file)
        settings["FW0"] = test_kiosk.HOME_HOST + test_kiosk.HOME_PATH  # Open goes home
        settings["PD"] = test_kiosk.PASSWORD  # the parent's own: no welcome window first
        with open(self.settings_path, "wb") as file:
            plistlib.dump(settings, file)
        self.start_program()
        self.wait_for(lambda: self.shows_colour(COLOURS["start"]), "the start page")
        self.kiosk = self.wait_for(lambda: next(
            (w for w in self.windows("Harbinel") if self.full_screen(w)), None), "the kiosk")

    def full_screen(self, window):
        viewable = "IsViewable" in self.run_tool(["xwininfo", "-id", window])
        return viewable and self.geometry(window) == FULL_SCREEN

    def hold_return(self, act, after=0.6):
        self.xdotool("keydown", "Return")
        act()
        time.sleep(after)  # 0.6 s: past the moment a held button reports its click
        self.xdotool("keyup", "Return")

    def assert_kiosk_holds(self, what):
        self.assertIsNone(self.program.poll(), f"the program ended after {what}")
        for title in ("Favourites Websites", "Open Parents Menu", "Close Application"):
            self.wait_gone(title)
        self.wait_for(lambda: self.full_screen(self.kiosk), f"the kiosk after {what}")
        # The start page, or the home address as the favourite Open loads it.
        self.wait_for(lambda: self.shows_colour(COLOURS["start"]) or self.shows_colour(COLOURS["home"]),
                      f"the kiosk on top: {what}")

    def open(self, x, title):
        self.click(x, TOOLBAR_Y)
        return self.window(title)


class HeldKeysWithoutWindowManager(HoldScenario, unittest.TestCase):
    variant = "hold-no-window-manager"

    def test_held_return_across_a_click_never_ends_the_kiosk(self):
        self.start_kiosk()
        for hold in (0.6, 0.08):
            for focus, other in ((["Tab"], PICKER_CLOSE_FROM_CORNER),  # on Open, click Close
                                 (["Tab", "shift+Tab"], test_kiosk.PICKER_OPEN_FROM_CORNER)):
                picker = self.open(FAVOURITES_X, "Favourites Websites")
                self.key(*focus)
                self.hold_return(lambda: self.click_from_corner(picker, other), hold)
                self.assert_kiosk_holds(f"{focus} {hold}")


class HeldKeysWithOpenbox(HoldScenario, unittest.TestCase):
    variant = "hold-openbox"
    window_manager = ["openbox", "--sm-disable"]

    def test_held_return_and_alt_f4_never_end_the_kiosk(self):
        self.start_kiosk()
        # Tab: from the list to Open, from the password field to Cancel.
        for x, title in ((FAVOURITES_X, "Favourites Websites"), (PARENTS_X, "Open Parents Menu"),
                         (CLOSE_X, "Close Application")):
            self.open(x, title)
            self.key("Tab")
            self.hold_return(lambda: self.key("alt+F4"))
            self.assert_kiosk_holds(f"alt+F4 over {title}")
        self.key("alt+F4")  # at the kiosk window itself
        time.sleep(0.6)
        self.assert_kiosk_holds("alt+F4")

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

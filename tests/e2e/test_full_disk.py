#!/usr/bin/env python3
"""The kiosk starts with its home and cache folders on a full file system (a tmpfs: needs root),
draws with cairo over software OpenGL, loads pages and still refuses what the shipped lists
block. Set-up: test_kiosk.py's."""

import os
import plistlib
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_kiosk  # noqa: E402
from test_kiosk import ADDRESS_FIELD_X, COLOURS, TOOLBAR_Y  # noqa: E402

ALERT_OK_FROM_CORNER = (69, 37)


@unittest.skipUnless(os.geteuid() == 0, "mounting a file system needs root")
class FullDisk(test_kiosk.KioskScenario, unittest.TestCase):
    variant = "full-disk"
    test_child_and_parent_session = None  # that journey is test_kiosk.py's

    def test_the_kiosk_opens_and_browses(self):
        settings = {**self.read_settings(), "PD": test_kiosk.PASSWORD}  # no welcome window
        with open(self.settings_path, "wb") as file:
            plistlib.dump(settings, file)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", self.home], check=True)
        self.addCleanup(subprocess.run, ["umount", "--lazy", self.home], check=True)
        subprocess.run(["dd", "if=/dev/zero", f"of={self.home}/filler"], capture_output=True)
        # The runtime folder is a session's own (private, 0700), not on the full disk.
        self.program_env = {"XDG_CACHE_HOME": self.home + "/.cache", "XDG_RUNTIME_DIR": self.root}
        self.start_program()
        for _ in ("data.plist", "dmn", "dmnsame"):  # no room for their copies in the data folder
            self.press_ok("Harbinel Error")
        self.wait_for(lambda: self.shows_colour(COLOURS["start"]), "the start page")
        with open(self.log_path) as log:  # OpenGL is llvmpipe here: cairo draws the windows
            self.assertIn("windows are drawn with cairo", log.read())
        # Judged once the page area has loaded it: on the shipped list dmnsame.
        self.click(ADDRESS_FIELD_X, TOOLBAR_Y)
        self.type_text("http://chatroulette.com/")
        self.key("Return")
        self.press_ok("URL Block")

    def press_ok(self, title):
        alert = self.window(title)
        self.click_from_corner(alert, ALERT_OK_FROM_CORNER)
        self.wait_gone_window(alert)


if __name__ == "__main__":
    unittest.main()

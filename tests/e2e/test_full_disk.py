#!/usr/bin/env python3
"""The kiosk starts with its home and cache folders on a full file system (a tmpfs: needs root),
draws with cairo over software OpenGL, loads pages, still refuses what the shipped lists block."""

import os
import pathlib
import subprocess
import unittest

import harness
from harness import ADDRESS_FIELD_X, START_PAGE, TOOLBAR_Y


@unittest.skipUnless(os.geteuid() == 0, "mounting a file system needs root")
class FullDisk(harness.Kiosk, unittest.TestCase):
    def test_the_kiosk_opens_and_browses(self):
        self.change_settings(PD=harness.PASSWORD)  # no welcome window
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", self.home], check=True)
        self.addCleanup(subprocess.run, ["umount", "--lazy", self.home], check=True)
        subprocess.run(["dd", "if=/dev/zero", f"of={self.home}/filler"], capture_output=True)
        # The runtime folder is a session's own (private, 0700), not on the full disk.
        self.program_env = {"XDG_CACHE_HOME": self.home + "/.cache", "XDG_RUNTIME_DIR": self.root}
        self.start_program("harbinel")
        for _ in ("data.plist", "dmn", "dmnsame"):  # no room for their copies in the data folder
            self.press_ok("Harbinel Error")
        self.wait_for(lambda: self.shows(START_PAGE), "the start page")
        self.assertIn("drawn with cairo", pathlib.Path(self.shots, "output.log").read_text())
        self.click(ADDRESS_FIELD_X, TOOLBAR_Y)
        self.type_text("http://chatroulette.com/")  # on the shipped list dmnsame
        self.key("Return")
        self.press_ok("URL Block")  # judged once the page area has loaded it

    def press_ok(self, title):
        alert = self.window(title)
        self.click_from_corner(alert, (69, 37))  # OK, from the alert's lower right corner
        self.wait_for(lambda: alert not in self.windows(title), f"{title} to go")


if __name__ == "__main__":
    unittest.main()

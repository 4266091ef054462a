#!/usr/bin/env python3
"""Harbinel installed and used as a person would, in each variant: no window manager, as the kiosk
session runs it, and openbox. The journey crosses every window once and reads back the files each
step leaves; the held keys are a determined child's timing."""

import datetime
import os
import pathlib
import re
import signal
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import (ADDRESS_FIELD_X, CLOSE_X, FAVOURITES_X, HOME_PAGE, PARENTS_X,  # noqa: E402
                     PASSWORD, PICKER_CLOSE, PICKER_OPEN, SCREEN, START_PAGE, TOOLBAR_Y, Kiosk)

PAGE, FAVOURITE = (60, 179, 113), (100, 149, 237)  # colours of the pages served
REPORT_END = "\n" + "-" * 49 + "\n\n"  # after each day's lines


class KioskTests(Kiosk):
    def test_journey(self):
        """The welcome window at the first start, a typed address, a refused one, the parents'
        window, a favourite, the history report, then the parent's quit."""
        self.today = datetime.datetime.now(datetime.timezone.utc)
        self.logged = []
        self.serve("typed.example/page.html", PAGE)
        self.serve(f"{self.origin}/fav.html", FAVOURITE)
        self.change_settings(BW0="blocked.example", FW0=f"{self.origin}/fav.html")

        self.start_program("harbinel", "stray-argument")  # as a desktop launcher may pass one
        self.first_start()
        self.go("http://typed.example/page.html")
        self.wait_for(lambda: self.shows(PAGE), "the typed page")
        self.screenshot("typed-address")
        self.go("http://blocked.example/blocked.html")
        self.window("URL Block")
        self.key("Return")
        self.logged.append("blocked.example/blocked.html")
        self.wait_for(lambda: self.shows(START_PAGE), "the start page after the block")
        picker = self.open_from_toolbar(FAVOURITES_X, "Favourites Websites")
        self.click_from_corner(picker, PICKER_OPEN)
        self.logged.append(f"{self.origin}/fav.html")
        self.wait_for(lambda: self.shows(FAVOURITE), "the favourite page")
        self.screenshot("favourite-page")
        self.parents_window(self.day_file())
        self.quit_with_password()

    def first_start(self):
        """The splash, the welcome window while the shipped password is set, then the kiosk."""
        splash = self.wait_for(lambda: self.windows("Harbinel"), "the splash")[0]
        self.window("Welcome to Harbinel")
        self.type_text(PASSWORD)
        self.key("Tab")
        self.type_text(PASSWORD)
        self.key("Return")
        self.wait_for(lambda: splash not in self.windows("Harbinel"), "the splash to go")
        self.kiosk_window()  # showing the start page, not the home address
        self.screenshot("kiosk")

    def go(self, address):
        self.click(ADDRESS_FIELD_X, TOOLBAR_Y)
        self.key("ctrl+a")
        self.type_text(address)
        self.key("Return")
        self.logged.append(address)

    def day_file(self):
        """Today's lines as (stamp, text), once they are those logged so far."""
        path = os.path.join(self.home, ".local/share/Pellwick/hts", f"{self.today:%d%m%Y}.lic")

        def read():
            data = pathlib.Path(path).read_bytes() if os.path.exists(path) else b""
            lines = re.findall("\ufeff(.{20})  --> (.*?)\n", data.decode("utf-16-le"), re.S)
            return len(lines) >= len(self.logged) and lines

        lines = self.wait_for(read, "the lines logged in the day file")
        self.assertEqual([text for _, text in lines], self.logged)
        # Stamped by the clock of the desktop's time zone (UTC here) as each line was written.
        seconds = range(-2, int(time.time() - self.today.timestamp()) + 3)
        stamps = {(self.today + datetime.timedelta(seconds=second)).strftime("%d-%b-%Y %I:%M:%S")
                  for second in seconds}
        self.assertLessEqual({time_stamp for time_stamp, _ in lines}, stamps)
        return lines

    def open_from_toolbar(self, x, title):
        self.click(x, TOOLBAR_Y)
        return self.window(title)

    def parents_window(self, today):
        """A blocked site entered, the address bar off, the history report saved: the settings
        file then holds every slot, the report today's lines."""
        self.open_from_toolbar(PARENTS_X, "Open Parents Menu")
        self.type_text(PASSWORD)
        self.key("Return")
        self.window("Parents' Settings")
        # The password field has the keyboard; the fields follow it in reading order: the home
        # page, the nine blocked sites, the nine favourites, the address-bar switch, the
        # whole-site and allowed-websites switches, the report button, Save and Close.
        self.key("Tab", "Tab", "ctrl+a")
        self.type_text("https://www.news.example")  # saved without its scheme and "www."
        self.key(*["Tab"] * 18, "space", *["Tab"] * 3, "Return")  # the address bar off; report
        self.window("Save")
        reports = os.path.join(self.root, "reports")
        os.makedirs(reports)
        self.type_text(os.path.join(reports, "history"))
        self.key("Return")
        self.wait_gone("Save")
        self.key("Tab", "Return")  # Save and Close
        self.wait_gone("Parents' Settings")
        self.assertEqual(os.listdir(reports), ["history.txt"])
        self.assertEqual(pathlib.Path(reports, "history.txt").read_bytes().decode(), "".join(
            f"{time_stamp}  --> {text}\n" for time_stamp, text in today) + REPORT_END)
        settings = {f"{kind}{slot}": "" for kind in ("BW", "FW") for slot in range(9)} | {
            "PD": PASSWORD, "BW0": "news.example", "FW0": f"{self.origin}/fav.html", "AB": "OFF",
            "HP": "", "WS": "ON"}
        self.assertEqual(self.read_settings(), settings)

    def hold_return(self, act, after=0.6):
        self.tool("xdotool", "keydown", "Return", check=True)
        act()
        time.sleep(after)  # 0.6 s: past the moment a held button reports its click
        self.tool("xdotool", "keyup", "Return", check=True)

    def assert_kiosk_holds(self, what):
        """The program runs, its windows closed, the kiosk full screen and on top."""
        self.assertIsNone(self.program.poll(), f"the program ended after {what}")
        for title in ("Favourites Websites", "Open Parents Menu", "Close Application"):
            self.wait_gone(title)
        self.wait_for(lambda: self.geometry(self.kiosk) == SCREEN, f"the kiosk after {what}")
        # The start page, or the home address as the favourite Open loads it.
        self.wait_for(lambda: self.shows(START_PAGE) or self.shows(HOME_PAGE), f"on top: {what}")


class WithoutWindowManager(KioskTests, unittest.TestCase):
    def test_held_keys_never_end_the_kiosk(self):
        """Return held or pressed on one button of the picker while the other is clicked."""
        self.kiosk = self.start_kiosk()
        for hold in (0.6, 0.08):
            for focus, other in ((["Tab"], PICKER_CLOSE),  # on Open, click Close
                                 (["Tab", "shift+Tab"], PICKER_OPEN)):
                picker = self.open_from_toolbar(FAVOURITES_X, "Favourites Websites")
                self.key(*focus)
                self.hold_return(lambda: self.click_from_corner(picker, other), hold)
                self.assert_kiosk_holds(f"{focus} {hold}")
        # The kiosk session starts Harbinel again after any end but the parent's quit.
        killed = self.tool("xdotool", "getwindowpid", self.kiosk, check=True)
        os.kill(int(killed), signal.SIGKILL)
        self.wait_for(lambda: self.tool("xdotool", "getwindowpid", self.kiosk_window()) != killed,
                      "the kiosk of a Harbinel started again")
        self.quit_with_password()


class WithOpenbox(KioskTests, unittest.TestCase):
    window_manager = ["openbox", "--sm-disable"]

    def test_held_keys_never_end_the_kiosk(self):
        """Return held on Open or Cancel while Alt+F4 closes the window; then the window
        manager's keys, with another program's window to switch to."""
        self.kiosk = self.start_kiosk()
        # Tab: from the list to Open, from the password field to Cancel.
        for x, title in ((FAVOURITES_X, "Favourites Websites"), (PARENTS_X, "Open Parents Menu"),
                         (CLOSE_X, "Close Application")):
            self.open_from_toolbar(x, title)
            self.key("Tab")
            self.hold_return(lambda: self.key("alt+F4"))
            self.assert_kiosk_holds(f"alt+F4 over {title}")
        self.spawn(["xmessage", "another program"], env=self.x_env)
        self.wait_for(lambda: self.tool("xdotool", "search", "--class", "xmessage"), "xmessage")
        self.tool("xdotool", "windowactivate", self.kiosk, check=True)
        for keys in (["alt+F4"], ["ctrl+alt+Right"], ["super+d"], ["alt+space", "n"], ["alt+Tab"]):
            self.key(*keys)
            time.sleep(0.6)
            self.assert_kiosk_holds("+".join(keys))


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""This build installed and used as a person would, on an X server of the test's own, without a
window manager (as the kiosk session runs it) and under openbox; every host's pages come from
127.0.0.1 through the proxy setting."""

import contextlib
import datetime
import functools
import http.server
import os
import pathlib
import plistlib
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.parse

BUILD_DIR = os.environ.get("HARBINEL_BUILD_DIR", "")
SCREEN = (0, 0, 1280, 800)
PASSWORD = "Parent-Own 7"  # the parent's own
TOOLBAR_Y, FAVOURITES_X, ADDRESS_FIELD_X, PARENTS_X, CLOSE_X = 28, 198, 620, 1097, 1216
PICKER_OPEN, PICKER_CLOSE = (55, 37), (150, 37)  # from the picker's lower right corner
START_PAGE, HOME_PAGE = (244, 247, 255), (255, 215, 0)  # colours of the page area


class Pages(http.server.SimpleHTTPRequestHandler):  # http://HOST/PATH: the file HOST/PATH
    def translate_path(self, path):
        address = urllib.parse.urlsplit(path)
        return super().translate_path(f"/{address.netloc}{address.path}")


class Kiosk:
    window_manager = None  # or the command of one

    def setUp(self):
        self.shots = os.path.join(os.environ.get("HARBINEL_E2E_OUTPUT", "e2e-screenshots"),
                                  f"{type(self).__name__}.{self._testMethodName}")
        shutil.rmtree(self.shots, ignore_errors=True)
        os.makedirs(self.shots)
        self.log = open(os.path.join(self.shots, "output.log"), "wb")  # the programs' output
        self.addCleanup(self.log.close)
        self.root = self.enterContext(tempfile.TemporaryDirectory(prefix="harbinel-e2e-"))
        self.prefix, self.home = os.path.join(self.root, "prefix"), os.path.join(self.root, "home")
        self.settings_path = os.path.join(self.prefix, "share", "harbinel", "data.plist")
        cmake = os.environ.get("HARBINEL_CMAKE", "cmake")
        # The desktop files' faults only a login manager or a menu would meet otherwise.
        for command in ([cmake, "--install", BUILD_DIR, "--prefix", self.prefix],
                        ["desktop-file-validate", "prefix/share/xsessions/harbinel-session.desktop",
                         "prefix/share/applications/net.harbinel.Harbinel.desktop"]):
            done = subprocess.run(command, cwd=self.root, capture_output=True, text=True)
            self.assertEqual(done.returncode, 0, f"{command}: {done.stdout}{done.stderr}")
        os.makedirs(self.home)
        self.server = http.server.ThreadingHTTPServer(
            ("127.0.0.1", 0), functools.partial(Pages, directory=os.path.join(self.root, "pages")))
        self.origin = f"127.0.0.1:{self.server.server_address[1]}"
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.addCleanup(self.server.server_close)
        self.addCleanup(self.server.shutdown)
        self.serve("start.harbinel.net/net/index.html", HOME_PAGE)  # must never be asked for
        self.x_env = {"PATH": f"{self.prefix}/bin:{os.environ['PATH']}", "HOME": self.home,
                      "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"}
        # Xvfb picks a free display number and writes it to the pipe, closed unwritten if it ends.
        reader, writer = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(writer), "-screen", "0", "1280x800x24", "-nolisten",
                    "tcp", "-noreset"], pass_fds=(writer,), stdout=self.log, stderr=self.log)
        os.close(writer)
        with os.fdopen(reader) as pipe:
            self.x_env["DISPLAY"] = ":" + pipe.readline().strip()
        # Under load, a program started at once was refused now and then ("cannot open
        # display"): programs start once the server answers (which then never resets).
        self.wait_for(lambda: self.tool("xprop", "-root", "_NET_WM_NAME"), "the X server to answer")
        if self.window_manager:
            self.start_window_manager()

    def serve(self, address, colour):
        path = os.path.join(self.root, "pages", address)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as file:
            file.write(f"<!DOCTYPE html><title>{address}</title>"
                       f"<body style='margin:0;background:rgb{colour}'><h1>{address}</h1>")

    def spawn(self, command, **options):
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, start_new_session=True,
                                   **options)
        self.addCleanup(self.stop_process, process)
        return process

    @staticmethod
    def stop_process(process):
        for sent in (signal.SIGTERM, signal.SIGKILL):  # SIGKILL: helpers left in its group
            with contextlib.suppress(ProcessLookupError, subprocess.TimeoutExpired):
                os.killpg(process.pid, sent)
                process.wait(timeout=5)

    def start_window_manager(self):
        self.spawn(self.window_manager, env=self.x_env, cwd=self.home, stdout=self.log,
                   stderr=self.log)
        managed = lambda: "window id" in self.tool("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")
        self.wait_for(managed, "the window manager to manage the screen", timeout=60)

    def read_settings(self):
        return plistlib.loads(pathlib.Path(self.settings_path).read_bytes())

    def change_settings(self, **values):
        pathlib.Path(self.settings_path).write_bytes(plistlib.dumps(self.read_settings() | values))

    def start_program(self, *command):
        # Only the sanitizers' options come from the caller; no accessibility bus runs here.
        env = {key: value for key, value in os.environ.items() if key.endswith("SAN_OPTIONS")}
        env |= self.x_env | {"TZ": "UTC", "GDK_BACKEND": "x11", "GTK_A11Y": "none",
                             "WEBKIT_A11Y_BUS_ADDRESS": "", "NO_AT_BRIDGE": "1",
                             "http_proxy": f"http://{self.origin}/", "no_proxy": ""}
        self.program = self.spawn(command, env=env, cwd=self.home, stdout=self.log,
                                  stderr=self.log)

    def start_kiosk(self):
        self.change_settings(PD=PASSWORD, FW0="start.harbinel.net/net/")  # Open goes home
        self.start_program("harbinel-session")
        return self.kiosk_window()

    def kiosk_window(self):
        self.wait_for(lambda: self.shows(START_PAGE), "the start page")
        return self.wait_for(lambda: [w for w in self.windows("Harbinel")
                                      if self.geometry(w) == SCREEN], "the kiosk")[0]

    def quit_with_password(self):
        self.click(CLOSE_X, TOOLBAR_Y)
        self.window("Close Application")
        self.type_text(PASSWORD)
        self.key("Return")
        self.wait_for(lambda: self.program.poll() is not None, "the program to end")
        self.assertEqual(self.program.returncode, 0)

    def tool(self, *command, check=False):
        done = subprocess.run(command, env=self.x_env, capture_output=True, text=True, timeout=30)
        if check:
            self.assertEqual(done.returncode, 0, f"{command}: {done.stderr}")
        return done.stdout if done.returncode == 0 else ""

    def windows(self, title):
        return self.tool("xdotool", "search", "--onlyvisible", "--name",
                         "^" + re.escape(title) + "$").split()

    def window(self, title):
        """The window titled `title` once still and drawn (more than a few colours)."""
        frames = [None]

        def settled():
            frames.append((found := self.windows(title)) and self.geometry(found[0]))
            drawn = frames[-1] and len(set(self.pixels(*frames[-1])[::7])) > 8
            return drawn and frames[-1] == frames[-2] and found[0]

        return self.wait_for(settled, f"the window {title!r} to show")

    def wait_gone(self, title):
        self.wait_for(lambda: not self.windows(title), f"the window {title!r} to go")

    def geometry(self, window):
        info = self.tool("xwininfo", "-id", window)
        values = re.findall(r"(?:Absolute upper-left [XY]|Width|Height):\s+(-?\d+)", info)
        return tuple(map(int, values)) if "IsViewable" in info and len(values) == 4 else None

    def click(self, x, y):
        self.tool("xdotool", "mousemove", "--sync", str(x), str(y), "click", "1", check=True)

    def click_from_corner(self, window, offset):
        x, y, width, height = self.geometry(window)
        self.click(x + width - offset[0], y + height - offset[1])

    def type_text(self, text):
        self.tool("xdotool", "type", "--delay", "25", text, check=True)

    def key(self, *keys):
        self.tool("xdotool", "key", "--delay", "60", *keys, check=True)

    def pixels(self, x, y, width, height):
        body = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}",
                               "+repage", "-depth", "8", "rgb:-"], env=self.x_env,
                              capture_output=True, timeout=30).stdout
        return [tuple(body[at:at + 3]) for at in range(0, len(body) - 2, 3)]

    def shows(self, colour):
        pixels = self.pixels(640, 500, 1, 1)
        return bool(pixels) and all(abs(a - b) <= 8 for a, b in zip(pixels[0], colour))

    def wait_for(self, condition, what, timeout=20.0):
        deadline = time.monotonic() + timeout
        while not (value := condition()):
            if time.monotonic() > deadline:
                self.tool("import", "-window", "root", os.path.join(self.shots, "failure.png"))
                log = pathlib.Path(self.shots, "output.log").read_text(errors="replace")[-3000:]
                self.fail(f"waited {timeout:.0f} s for {what}; screen in {self.shots}:\n{log}")
            time.sleep(0.05)
        return value


PAGE, FAVOURITE = (60, 179, 113), (100, 149, 237)  # colours of the pages served


class KioskTests(Kiosk):
    def test_journey(self):
        self.today = datetime.datetime.now(datetime.timezone.utc)
        self.logged = []
        self.serve("typed.example/page.html", PAGE)
        self.serve(f"{self.origin}/fav.html", FAVOURITE)
        self.change_settings(FW0=f"{self.origin}/fav.html")

        self.start_program("harbinel", "stray-argument")  # as a desktop launcher may pass one
        welcome = self.window("Welcome to Harbinel")  # while the shipped password is set
        os.makedirs(screenshots := os.path.join(BUILD_DIR, "screenshots"), exist_ok=True)
        self.tool("import", "-window", welcome, os.path.join(screenshots, "welcome-window.png"))
        self.type_text("harbinel")
        self.key("Tab")
        self.type_text("harbinel")
        self.key("Return", "shift+Tab", "ctrl+a")  # the shipped password: Enter starts nothing
        self.type_text(PASSWORD)
        self.key("Tab", "ctrl+a")
        self.type_text(PASSWORD)
        self.key("Return")
        self.kiosk_window()  # showing the start page, not the home address
        self.assertEqual(len(self.windows("Harbinel")), 1, "the splash still shows")
        self.go("http://typed.example/page.html")
        self.wait_for(lambda: self.shows(PAGE), "the typed page")
        self.go("http://chatroulette.com/")  # on the shipped list dmnsame
        self.window("URL Block")
        self.key("Return")
        self.logged.append("chatroulette.com/")
        self.wait_for(lambda: self.shows(START_PAGE), "the start page after the block")
        picker = self.open_from_toolbar(FAVOURITES_X, "Favourites Websites")
        self.click_from_corner(picker, PICKER_OPEN)
        self.logged.append(f"{self.origin}/fav.html")
        self.wait_for(lambda: self.shows(FAVOURITE), "the favourite page")
        self.parents_window(self.day_file())
        self.quit_with_password()

    def go(self, address):
        self.click(ADDRESS_FIELD_X, TOOLBAR_Y)
        self.key("ctrl+a")
        self.type_text(address)
        self.key("Return")
        self.logged.append(address)

    def day_file(self):
        path = os.path.join(self.home, ".local/share/Pellwick/hts", f"{self.today:%d%m%Y}.lic")

        def read():
            data = pathlib.Path(path).read_bytes() if os.path.exists(path) else b""
            lines = re.findall("\ufeff(.{20})  --> (.*?)\n", data.decode("utf-16-le"), re.S)
            return len(lines) >= len(self.logged) and lines

        lines = self.wait_for(read, "the lines logged in the day file")
        self.assertEqual([text for _, text in lines], self.logged)
        # Stamped by the desktop's clock (UTC here) as each line was written.
        stamps = {(self.today + datetime.timedelta(seconds=second)).strftime("%d-%b-%Y %I:%M:%S")
                  for second in range(-2, int(time.time() - self.today.timestamp()) + 3)}
        self.assertLessEqual({time_stamp for time_stamp, _ in lines}, stamps)
        return lines

    def open_from_toolbar(self, x, title):
        self.click(x, TOOLBAR_Y)
        return self.window(title)

    def parents_window(self, today):
        self.open_from_toolbar(PARENTS_X, "Open Parents Menu")
        self.type_text(PASSWORD)
        self.key("Return")
        self.window("Parents' Settings")
        # From the password field: the home page, 9 blocked sites, 9 favourites, 3 switches, the
        # report button, Save and Close.
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
            f"{time_stamp}  --> {text}\n" for time_stamp, text in today) + "\n" + "-" * 49 + "\n\n")
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
        """Return held on Open or Cancel with Alt+F4; the window manager's keys."""
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


# A start with the home and cache folders on a full file system: draws with cairo over software
# OpenGL, loads pages, still refuses what the shipped lists block.
@unittest.skipUnless(os.geteuid() == 0, "mounting a file system needs root")
class FullDisk(Kiosk, unittest.TestCase):
    def test_the_kiosk_opens_and_browses(self):
        self.change_settings(PD=PASSWORD)  # no welcome window
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", self.home], check=True)
        self.addCleanup(subprocess.run, ["umount", "--lazy", self.home], check=True)
        subprocess.run(["dd", "if=/dev/zero", f"of={self.home}/filler"], capture_output=True)
        # The runtime folder is a session's own (private, 0700), not on the full disk.
        self.x_env |= {"XDG_CACHE_HOME": self.home + "/.cache", "XDG_RUNTIME_DIR": self.root}
        self.start_program("harbinel")
        splash_ends = time.monotonic() + 3.5  # the alerts outlast the splash; the kiosk waits
        for _ in ("data.plist", "dmn", "dmnsame"):  # no room for their copies in the data folder
            self.window("Harbinel Error")
            time.sleep(max(0.0, splash_ends - time.monotonic()))
            self.assertFalse(self.shows(START_PAGE), "the kiosk opened under the alert")
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

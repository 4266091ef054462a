"""What the end-to-end tests share: this build installed into a temporary prefix, an X server of
the test's own (with openbox or no window manager), the installed program in a temporary home,
driven through xdotool, with a screenshot of every step in $HARBINEL_E2E_OUTPUT/<test>/. Its pages
come from 127.0.0.1 through the desktop's proxy setting, made-up hosts and the home address too."""

import contextlib
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
import urllib.parse

BUILD_DIR = os.environ.get("HARBINEL_BUILD_DIR", "")
SCREEN = (0, 0, 1280, 800)
PASSWORD = "Parent-Own 7"  # the parent's own
# Where the kiosk's toolbar puts its controls on a 1280-pixel-wide screen: Home and Favourites at
# the left, the address field stretched over the middle, Parents and Close at the right end.
TOOLBAR_Y, FAVOURITES_X, ADDRESS_FIELD_X, PARENTS_X, CLOSE_X = 28, 198, 620, 1097, 1216
# Open and Close of the favourites picker, from the window's lower right corner.
PICKER_OPEN, PICKER_CLOSE = (55, 37), (150, 37)
START_PAGE, HOME_PAGE = (244, 247, 255), (255, 215, 0)  # colours of the page area
# Commands that must pass in the installed prefix: files the tests open none of, and the desktop's
# validators.
INSTALL_CHECKS = [
    ["ls", "bin/harbinel-lists", "share/locale/de/LC_MESSAGES/harbinel.mo",
     "share/man/man1/harbinel.1.gz", "share/icons/hicolor/scalable/apps/net.harbinel.Harbinel.svg"],
    ["desktop-file-validate", "share/applications/net.harbinel.Harbinel.desktop",
     "share/xsessions/harbinel-session.desktop"],
    ["appstreamcli", "validate", "--no-net", "--pedantic",
     "share/metainfo/net.harbinel.Harbinel.metainfo.xml"]]


class Pages(http.server.SimpleHTTPRequestHandler):
    """The proxy in front of every host: http://HOST/PATH is the file HOST/PATH of a folder."""

    def translate_path(self, path):
        address = urllib.parse.urlsplit(path)
        return super().translate_path(f"/{address.netloc}{address.path}")


class Kiosk:
    window_manager = None  # or the command of one
    program_env = {}  # more of the program's environment

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
        self.install()
        os.makedirs(self.home)
        self.server = http.server.ThreadingHTTPServer(
            ("127.0.0.1", 0), functools.partial(Pages, directory=os.path.join(self.root, "pages")))
        self.origin = f"127.0.0.1:{self.server.server_address[1]}"
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.addCleanup(self.server.server_close)
        self.addCleanup(self.server.shutdown)
        self.serve("start.harbinel.net/net/index.html", HOME_PAGE)  # must never be asked for
        # The installed programs first: the kiosk session starts harbinel by name.
        self.x_env = {"PATH": f"{self.prefix}/bin:{os.environ['PATH']}", "HOME": self.home,
                      "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8", "DISPLAY": self.start_x_server()}
        if self.window_manager:
            self.start_window_manager()

    def install(self):
        os.makedirs(self.prefix)
        cmake = os.environ.get("HARBINEL_CMAKE", "cmake")
        for command in ([cmake, "--install", BUILD_DIR, "--prefix", self.prefix], *INSTALL_CHECKS):
            done = subprocess.run(command, cwd=self.prefix, capture_output=True, text=True)
            self.assertEqual(done.returncode, 0, f"{command}:\n{done.stdout}{done.stderr}")

    def serve(self, address, colour):
        """A page of one colour at http://ADDRESS."""
        path = os.path.join(self.root, "pages", address)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as file:
            file.write(f"<!DOCTYPE html><title>{address}</title>"
                       f"<body style='margin:0;background:rgb{colour}'><h1>{address}</h1>")

    def spawn(self, command, **options):
        """Starts a process in a session of its own, ended with all it started at clean-up."""
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

    def start_x_server(self):
        # Xvfb picks a free display number and writes it to the pipe, closed unwritten if it ends.
        reader, writer = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(writer), "-screen", "0", "1280x800x24", "-nolisten",
                    "tcp"], pass_fds=(writer,), stderr=subprocess.DEVNULL)
        os.close(writer)
        with os.fdopen(reader) as pipe:
            number = pipe.readline().strip()
        self.assertTrue(number, "Xvfb did not report its display")
        return ":" + number

    def start_window_manager(self):
        starts = []

        def managed():
            # A window manager that ended before it took the screen (seen on a loaded machine)
            # is started again, a few times at most.
            if (not starts or starts[-1].poll() is not None) and len(starts) < 3:
                starts.append(self.spawn(self.window_manager, env=self.x_env, cwd=self.home,
                                         stdout=self.log, stderr=self.log))
            return "window id" in self.tool("xprop", "-root", "_NET_SUPPORTING_WM_CHECK")

        # Setting up, not a checked behaviour: a loaded machine gets time.
        self.wait_for(managed, "the window manager to manage the screen", timeout=60)

    def read_settings(self):
        return plistlib.loads(pathlib.Path(self.settings_path).read_bytes())

    def change_settings(self, **values):
        pathlib.Path(self.settings_path).write_bytes(plistlib.dumps(self.read_settings() | values))

    def start_program(self, *command):
        # Only the sanitizers' options come from the caller. No accessibility bus runs here: keep
        # GTK and the web process from looking for one.
        env = {key: value for key, value in os.environ.items() if key.endswith("SAN_OPTIONS")}
        env |= self.x_env | {"TZ": "UTC", "GDK_BACKEND": "x11", "GTK_A11Y": "none",
                             "WEBKIT_A11Y_BUS_ADDRESS": "", "NO_AT_BRIDGE": "1",
                             "http_proxy": f"http://{self.origin}/", "no_proxy": ""}
        env |= self.program_env
        self.program = self.spawn(command, env=env, cwd=self.home, stdout=self.log,
                                  stderr=self.log)

    def start_kiosk(self):
        """Starts the kiosk session with the parent's own password set; its kiosk window."""
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
        """What a tool run on the test's display prints; "" when it fails, unless checked."""
        done = subprocess.run(command, env=self.x_env, capture_output=True, text=True, timeout=30)
        if check:
            self.assertEqual(done.returncode, 0, f"{command}: {done.stderr}")
        return done.stdout if done.returncode == 0 else ""

    def windows(self, title):
        return self.tool("xdotool", "search", "--onlyvisible", "--name",
                         "^" + re.escape(title) + "$").split()

    def window(self, title):
        """The window titled `title` once it shows, has stopped moving and has drawn its
        controls: more than a few colours."""
        frames = [None]

        def settled():
            frames.append((found := self.windows(title)) and self.geometry(found[0]))
            drawn = frames[-1] and len(set(self.pixels(*frames[-1])[::7])) > 8
            return drawn and frames[-1] == frames[-2] and found[0]

        window = self.wait_for(settled, f"the window {title!r} to show")
        self.screenshot(title)
        return window

    def wait_gone(self, title):
        self.wait_for(lambda: not self.windows(title), f"the window {title!r} to go")

    def geometry(self, window):
        """(x, y, width, height) of a window while it shows on the screen, else None."""
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

    def screenshot(self, name):
        name = re.sub(r"\W+", "-", name.lower())
        path = os.path.join(self.shots, f"{len(os.listdir(self.shots)):02d}-{name}.png")
        self.tool("import", "-window", "root", path)
        return path

    def pixels(self, x, y, width, height):
        """The screen's pixels in a rectangle, row by row, as (r, g, b)."""
        data = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}",
                               "+repage", "-depth", "8", "ppm:-"], env=self.x_env,
                              capture_output=True, timeout=30).stdout
        header = re.match(rb"P6\s+\d+\s+\d+\s+255\s", data)
        body = data[header.end():] if header else b""
        return [tuple(body[at:at + 3]) for at in range(0, len(body) - 2, 3)]

    def shows(self, colour):
        pixels = self.pixels(640, 500, 1, 1)
        return bool(pixels) and all(abs(a - b) <= 8 for a, b in zip(pixels[0], colour))

    def wait_for(self, condition, what, timeout=20.0):
        """The first true value of `condition`, polled; 20 s for what the program does soon."""
        deadline = time.monotonic() + timeout
        while not (value := condition()):
            if time.monotonic() > deadline:
                log = pathlib.Path(self.shots, "output.log").read_text(errors="replace")[-3000:]
                self.fail(f"waited {timeout:.0f} s for {what}; screen: "
                          f"{self.screenshot('failure')}\nprogram output:\n{log}")
            time.sleep(0.05)
        return value

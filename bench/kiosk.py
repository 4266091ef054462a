#!/usr/bin/env python3
"""Measures the installed kiosk the way a child meets it: memory and how soon its page is up.

Installs the build into a temporary prefix and, for each run, starts the program under an Xvfb
of its own with a fresh home, its home page (HP) pointing at a page served here on loopback.
Prints, as the median of the runs, the time from the kiosk window's map to that page's onload,
the time from the map until the page is on the screen (the kiosk loads its page while the splash
shows, so the onload may come before the map: what a child waits for is the later of the two),
and the process tree's proportional set size (PSS, from /proc/PID/smaps_rollup over every
descendant) 5 s after the onload, each with its ratio to its target. With
`epiphany-browser` installed, the same page is measured there in the same run. Runs are
interleaved; `--renderer` adds runs with GSK_RENDERER set (e.g. cairo, gl, ngl).

    bench/kiosk.py [--build-dir build] [--runs 7] [--renderer cairo ...]
"""
import argparse
import ctypes
import http.server
import os
import pathlib
import shutil
import statistics
import subprocess
import tempfile
import threading
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
TARGET_ONLOAD_S = 0.25
TARGET_PSS_MB = 260.0
PAGE_COLOUR = 0xFFD700
PAGE_POINT = (640, 500)  # inside the page area of the 1280 x 800 screen
PAGE = (b"<!DOCTYPE html><html><head><meta charset='utf-8'><title>Bench</title></head>"
        b"<body style='background:#ffd700'><h1>Bench page</h1>"
        b"<script>addEventListener('load', () => fetch('/onload'));</script></body></html>")


class Server:
    """Serves the page and notes when its onload report arrives."""

    def __init__(self):
        self.onload = threading.Event()
        self.onload_at = 0.0
        outer = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                if self.path == "/onload":
                    outer.onload_at = time.monotonic()
                    outer.onload.set()
                body = PAGE if self.path == "/page.html" else b""
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.url = f"http://127.0.0.1:{self.httpd.server_address[1]}/page.html"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def reset(self):
        self.onload.clear()

    def stop(self):
        self.httpd.shutdown()


def tree_pss_mb(root_pid):
    """PSS of a process and all its descendants, in MB."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    parent = int(stat.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(parent, []).append(int(entry))
            except (OSError, ValueError, IndexError):
                pass
    total_kb, pending = 0, [root_pid]
    while pending:
        pid = pending.pop()
        pending.extend(children.get(pid, []))
        try:
            with open(f"/proc/{pid}/smaps_rollup") as rollup:
                total_kb += sum(int(line.split()[1]) for line in rollup if line.startswith("Pss:"))
        except OSError:
            pass
    return total_kb / 1024


def start_xvfb():
    reader, writer = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-screen", "0", "1280x800x24",
                             "-nolisten", "tcp"], pass_fds=(writer,), start_new_session=True,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(writer)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(reader, 16)
        if not chunk:
            raise RuntimeError("Xvfb did not report its display")
        number += chunk
    os.close(reader)
    return xvfb, ":" + number.decode().strip()


class Screen:
    """Reads single pixels of an X display: Xlib through ctypes, quick enough to poll."""

    def __init__(self, display):
        xlib = ctypes.cdll.LoadLibrary("libX11.so.6")
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        xlib.XDefaultRootWindow.restype = ctypes.c_ulong
        xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                   ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        xlib.XGetImage.restype = ctypes.c_void_p
        xlib.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        xlib.XGetPixel.restype = ctypes.c_ulong
        xlib.XDestroyImage.argtypes = [ctypes.c_void_p]
        self.xlib = xlib
        self.display = xlib.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError(f"cannot open display {display}")
        self.root = xlib.XDefaultRootWindow(self.display)

    def pixel(self, x, y):
        all_planes, z_pixmap = 0xFFFFFFFF, 2
        image = self.xlib.XGetImage(self.display, self.root, x, y, 1, 1, all_planes, z_pixmap)
        value = self.xlib.XGetPixel(image, 0, 0) & 0xFFFFFF
        self.xlib.XDestroyImage(image)
        return value


def stop(process):
    try:
        os.killpg(process.pid, 9)
    except ProcessLookupError:
        pass
    process.wait()


def measure(command, env, server, screen, wait_for_map):
    """(seconds from map (or start) to onload, and to the page on the screen, tree PSS MB 5 s
    after the onload) of one run."""
    server.reset()
    started = time.monotonic()
    process = subprocess.Popen(command, env=env, start_new_session=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        mapped = started
        if wait_for_map:
            splash = None
            deadline = started + 30
            while time.monotonic() < deadline:
                found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                        "^Harbinel$"], env=env, capture_output=True,
                                       text=True).stdout.split()
                splash = splash or (found[0] if found else None)
                if any(window != splash for window in found):
                    mapped = time.monotonic()
                    break
                time.sleep(0.005)
        while screen.pixel(*PAGE_POINT) != PAGE_COLOUR:
            if time.monotonic() > mapped + 60:
                raise RuntimeError(f"the page never showed in {command[0]}")
            time.sleep(0.002)
        shown = time.monotonic() - mapped
        if not server.onload.wait(60):
            raise RuntimeError(f"no onload from {command[0]}")
        onload = server.onload_at - mapped
        time.sleep(5)
        return onload, shown, tree_pss_mb(process.pid)
    finally:
        stop(process)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", default=str(ROOT / "build"))
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--renderer", action="append", default=[])
    arguments = parser.parse_args()

    work = pathlib.Path(tempfile.mkdtemp(prefix="harbinel-bench-"))
    server = Server()
    xvfb, display = start_xvfb()
    print(f"(machine load average at the start: {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores)")
    try:
        screen = Screen(display)
        prefix = work / "prefix"
        subprocess.run(["cmake", "--install", arguments.build_dir, "--prefix", str(prefix)],
                       check=True, stdout=subprocess.DEVNULL)
        settings = prefix / "share" / "harbinel" / "data.plist"
        text = settings.read_text().replace("<string>harbinel</string>", "<string>bench</string>")
        text = text.replace("</dict>", f"<key>HP</key><string>{server.url}</string></dict>")
        settings.write_text(text)

        variants = {"harbinel": None}
        for renderer in arguments.renderer:
            variants[f"harbinel GSK_RENDERER={renderer}"] = renderer
        epiphany = shutil.which("epiphany-browser")
        if epiphany:
            variants["epiphany-browser"] = "epiphany"
        results = {name: [] for name in variants}
        for run in range(arguments.runs):
            for index, (name, renderer) in enumerate(variants.items()):
                home = work / f"home-{run}-{index}"
                # The page's numeric host is refused under the shipped whole-site rule unless
                # it is among the allowed websites.
                data_folder = home / ".local" / "share" / "Pellwick"
                data_folder.mkdir(parents=True)
                (data_folder / "allow").write_text("127.0.0.1\n")
                env = {"PATH": os.environ["PATH"], "HOME": str(home), "DISPLAY": display,
                       "GTK_A11Y": "none", "WEBKIT_A11Y_BUS_ADDRESS": "",
                       "LANG": "C.UTF-8", "no_proxy": "127.0.0.1"}
                if renderer == "epiphany":
                    command = [epiphany, "--private-instance", server.url]
                else:
                    command = [str(prefix / "bin" / "harbinel")]
                    if renderer:
                        env["GSK_RENDERER"] = renderer
                results[name].append(measure(command, env, server, screen, renderer != "epiphany"))
        for name, samples in results.items():
            onload, shown, pss = (statistics.median(sample[index] for sample in samples)
                                  for index in range(3))
            ready = statistics.median(max(sample[0], sample[1]) for sample in samples)
            since = "process start" if name == "epiphany-browser" else "kiosk window map"
            print(f"{name:32s} after {since}: onload {onload:6.3f} s, on screen {shown:6.3f} s, "
                  f"both {ready:6.3f} s (target {TARGET_ONLOAD_S} s: ratio "
                  f"{ready / TARGET_ONLOAD_S:5.2f})   tree PSS {pss:6.1f} MB (target "
                  f"{TARGET_PSS_MB:.0f} MB: ratio {pss / TARGET_PSS_MB:4.2f})")
        print(f"(machine load average at the end: {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores)")
    finally:
        server.stop()
        stop(xvfb)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

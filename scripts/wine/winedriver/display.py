"""A private X display (Xvfb) and the X tools that act on it: xdotool for
input and window search, ImageMagick's import for screenshots, xclip for the
clipboard."""

import logging
import os
import select
import subprocess
import time

from winedriver.processes import DriverError, Pid, stop_process, wait_until

log = logging.getLogger(__name__)

SCREEN = (1024, 768)


class Display:
    """Xvfb on a display number it picks itself (reported through
    -displayfd), 1024 x 768 x 24, no TCP."""

    def __init__(self, watchdog=None):
        read_end, write_end = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
                 "-nolisten", "tcp"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
            os.close(write_end)
            write_end = None
            if watchdog:
                watchdog.guard_process(Pid(self.proc.pid))
            number = b""
            deadline = time.monotonic() + 20
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([read_end], [], [], 0.5)
                if ready:
                    chunk = os.read(read_end, 64)
                    if not chunk:
                        break
                    number += chunk
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        if not number.strip().isdigit():
            stop_process(self.proc)
            raise DriverError("Xvfb did not report a display within 20 s")
        self.name = ":" + number.decode().strip()
        self._env = dict(os.environ, DISPLAY=self.name)
        log.info("virtual display %s", self.name)

    def stop(self):
        stop_process(self.proc)

    # -- tools on this display ---------------------------------------------

    def xdotool(self, *args, check=True, limit_s=15):
        """Runs xdotool; returns its output. With check, a non-zero exit is a
        DriverError."""
        result = subprocess.run(["xdotool", *map(str, args)], env=self._env, stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=limit_s)
        if check and result.returncode != 0:
            raise DriverError(f"xdotool {' '.join(map(str, args))} exited with {result.returncode}: "
                              f"{result.stderr.decode(errors='replace').strip()!r}")
        return result.stdout.decode(errors="replace") if result.returncode == 0 else None

    def find_windows(self, *search):
        """The X windows `xdotool search --onlyvisible ...` finds (the hidden
        IME windows Wine makes are not visible)."""
        out = self.xdotool("search", "--onlyvisible", *search, check=False)
        return out.split() if out else []

    def key(self, window, *keys, delay_s=0.15):
        """Focuses the X window and presses each key (xdotool key names:
        Tab, shift+Tab, Escape, Return, alt+F4, ctrl+v, a ...) in turn."""
        self.xdotool("windowfocus", "--sync", window)
        for key in keys:
            self.xdotool("key", "--clearmodifiers", "--delay", "30", key)
            time.sleep(delay_s)

    def click(self, x, y):
        """A left click at screen point x, y. (No --sync on the move: it
        waits for the pointer to move, forever when it is already there.)"""
        self.xdotool("mousemove", x, y, "sleep", "0.05", "click", "1")

    def screenshot(self, path, rect=None):
        """A PNG of the screen, or of rect = (x, y, width, height) in it."""
        crop = [] if rect is None else ["-crop", "{2}x{3}+{0}+{1}".format(*rect), "+repage"]
        subprocess.run(["import", "-window", "root", *crop, str(path)], env=self._env,
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=30, check=True)
        return path

    def pixels(self, rect):
        """The RGB bytes of rect = (x, y, width, height) on the screen, row by
        row."""
        result = subprocess.run(["import", "-window", "root", "-crop", "{2}x{3}+{0}+{1}".format(*rect),
                                 "+repage", "-depth", "8", "rgb:-"], env=self._env,
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=30, check=True)
        return result.stdout

    def offer_clipboard(self, text, watchdog=None):
        """Puts text (UTF-8) on the clipboard, served by an xclip process
        until the returned Clipboard is closed."""
        return Clipboard(self, text, watchdog)


class Clipboard:
    """The clipboard served by one xclip process; close() ends it."""

    def __init__(self, display, text, watchdog):
        self.proc = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"],
                                     env=display._env, stdin=subprocess.PIPE,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if watchdog:
            watchdog.guard_process(Pid(self.proc.pid))
        self.proc.stdin.write(text.encode("utf-8"))
        self.proc.stdin.close()

        def offered():
            result = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=display._env,
                                    stdin=subprocess.DEVNULL, capture_output=True, timeout=5)
            return result.returncode == 0 and result.stdout == text.encode("utf-8")

        try:
            wait_until(offered, 5, what="xclip did not offer the text on the clipboard")
        except BaseException:
            self.close()
            raise

    def close(self):
        stop_process(self.proc)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

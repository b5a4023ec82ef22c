"""One run of sylspeak.exe in a session, and the message boxes it shows:
starting it, finding its window, driving it (text, clicks, keys, the close
box), pinging it, its Linux process (CPU time, memory, exit code, anything
left behind) and its MCI log."""

import os
import signal
import subprocess
import time

import numpy as np

from winedriver import wine
from winedriver.mcilog import MciLog
from winedriver.processes import DriverError, Pid, children, stat_fields, stop_process, wait_until

# Control ids of the text box and the button.
EDIT_ID = 100
BUTTON_ID = 110

# Marks every process started for one run, so that anything the run leaves
# behind can be found by its environment.
RUN_MARK = "SYLSPEAK_DRIVER_RUN"

# How often wait_exit looks for a message box while the program runs.
BOX_CHECK_S = 0.5


def gbk(text):
    """The code page 936 bytes of text (bytes are taken as they are)."""
    return text if isinstance(text, bytes) else text.encode("gbk")


def _rect(value):
    return tuple(int(v) for v in value.split(","))


class Program:
    def __init__(self, session, folder, cwd, number, limit_s):
        self.session = session
        self.number = number
        self.mark = f"{os.getpid()}-{id(session):x}-{number}"
        self.log = MciLog(session.dir / f"run{number:02d}.mci.log")
        if self.log.path.exists():
            self.log.path.unlink()
        self.output_path = session.dir / f"run{number:02d}.out"
        env = dict(session.env, SYLSPEAK_E2E_MCI_LOG=str(self.log.path), **{RUN_MARK: self.mark})
        if (folder / "winmm.dll").exists():
            # Take the winmm.dll beside the program, not Wine's own.
            env["WINEDLLOVERRIDES"] = env.get("WINEDLLOVERRIDES", "") + ";winmm=n,b"
        with open(self.output_path, "wb") as out:
            self.proc = subprocess.Popen(
                ["timeout", "-k", "5", str(limit_s), wine.WINE64, str(folder / "sylspeak.exe")],
                cwd=str(cwd), env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        self._pid = None
        self.wid = None
        self.info = None

    # -- the process ---------------------------------------------------------

    @property
    def pid(self):
        """The Wine process of the program (a child of `timeout`), or None
        before it has started or after it has ended."""
        if self._pid is None:
            found = children(self.proc.pid)
            if found:
                self._pid = Pid(found[0])
        return self._pid.pid if self._pid and self._pid.alive() else None

    def running(self):
        return self.proc.poll() is None

    def cpu_seconds(self):
        """User plus system CPU time the program's process has used so far."""
        fields = stat_fields(self._require_pid())
        if fields is None:
            raise DriverError("the program's process is not running")
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def rss_kib(self):
        """The program's resident memory in KiB."""
        pid = self._require_pid()
        for line in open(f"/proc/{pid}/status"):
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
        raise DriverError(f"no VmRSS in /proc/{pid}/status")

    def _require_pid(self):
        pid = self.pid
        if pid is None:
            raise DriverError("the program's process is not running")
        return pid

    def suspend(self):
        """Stops the program's process (SIGSTOP) until resume(): a window
        that answers nothing."""
        os.kill(self._require_pid(), signal.SIGSTOP)

    def resume(self):
        os.kill(self._require_pid(), signal.SIGCONT)

    def wait_exit(self, limit_s=15, fail_on_box="错误"):
        """Waits for the process to end and returns its exit code (-1 comes
        through Wine as 255; 124 means `timeout` ended it). With fail_on_box,
        a message box of that title appearing meanwhile is a DriverError (the
        box is dismissed so that the process can end).

        The process itself is waited on, so that its end is seen at once.
        Each look for the box runs the helper under Wine, which takes a while:
        the box is looked for every BOX_CHECK_S, and once more at the end of
        the time allowed."""
        deadline = time.monotonic() + limit_s
        while True:
            left = deadline - time.monotonic()
            try:
                return self.proc.wait(timeout=max(0.0, min(left, BOX_CHECK_S) if fail_on_box else left))
            except subprocess.TimeoutExpired:
                pass
            if fail_on_box:
                box = self.session.message_box(fail_on_box)
                if box is not None:
                    shot = self.session.screenshot(f"run{self.number:02d}-unexpected-box.png")
                    box.dismiss()
                    raise DriverError(f"a message box '{fail_on_box}' appeared, expected none; its text: "
                                      f"{box.text!r}; screenshot {shot}")
            if time.monotonic() >= deadline:
                code = self.proc.poll()
                if code is not None:
                    return code
                raise DriverError(f"the program did not exit within {limit_s} s")

    def leftovers(self):
        """Linux pids of processes still running that were started for this
        run (the program, or anything it started): none once it has ended."""
        needle = f"\0{RUN_MARK}={self.mark}\0".encode()
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                environ = b"\0" + open(f"/proc/{entry}/environ", "rb").read()
            except OSError:
                continue
            if needle in environ and Pid(entry).alive():
                found.append(int(entry))
        return found

    def kill(self):
        """Ends this run if it is still going (its processes only)."""
        if self.running():
            if self.pid:
                stop_process(self._pid, grace_s=0)
            stop_process(self.proc, grace_s=1)

    # -- the window ------------------------------------------------------------

    def wait_window(self, limit_s=30):
        """Waits for the main window, visible on X and found by the helper;
        returns its info."""
        def shown():
            if not self.running():
                raise DriverError(f"the program exited with {self.proc.returncode} before its window "
                                  f"appeared; its output: {self.output_path.read_bytes()[-2000:]!r}")
            pid = self.pid
            windows = self.session.display.find_windows("--pid", pid) if pid else []
            if windows:
                info = self.session.helper("info", expect_found=False)
                if info and info.get("window") not in (None, "none"):
                    self.wid, self.info = windows[0], info
                    return info
            return None

        return wait_until(shown, limit_s, 0.05, what="no program window")

    def refresh_info(self):
        """The helper's info on the window: rect, client_origin, ctlN_rect,
        ctlN_text, focus ('100', '110', 'main' ...), caret, style ..."""
        self.info = self.session.helper("info")
        return self.info

    def control_centre(self, control_id):
        """Screen point of the centre of a control, from the window's client
        origin and the control's own rectangle in the client area."""
        info = self.refresh_info()
        ox, oy = _rect(info["client_origin"])
        x, y, w, h = _rect(info[f"ctl{control_id}_rect"])
        return ox + x + w // 2, oy + y + h // 2

    def window_rect(self):
        return _rect(self.refresh_info()["rect"])

    def text(self):
        """The text box's bytes (code page 936)."""
        return bytes.fromhex(self.session.helper("gettext")["bytes"])

    # -- driving it --------------------------------------------------------

    def set_text(self, text):
        """Sets the text box by WM_SETTEXT: text as str (sent in code page
        936) or bytes (sent as they are); CR LF line breaks pass unchanged."""
        data = gbk(text)
        self.session.helper("settext", data.hex().upper()) if data else self.session.helper("settext")

    def paste(self, text, limit_s=5):
        """Pastes text into the text box as a user would: onto the clipboard
        (xclip) and Ctrl+V, at the caret. The focus must be in the text box
        (a click on the button takes it away). Waits until the text box has
        changed, then ends the xclip; returns the text box's bytes."""
        if not text:
            raise DriverError("nothing to paste")
        if self.refresh_info().get("focus") != str(EDIT_ID):
            raise DriverError(f"the focus is on {self.info.get('focus')!r}, not in the text box")
        before = self.text()
        with self.session.display.offer_clipboard(text, self.session.watchdog):
            self.keys("ctrl+v")

            def changed():
                now = self.text()
                return now if now != before else None

            return wait_until(changed, limit_s, what="the text box did not change after Ctrl+V")

    def click_button(self):
        self.click_control(BUTTON_ID)

    def click_control(self, control_id):
        self.session.display.click(*self.control_centre(control_id))

    def click_at(self, x, y):
        self.session.display.click(x, y)

    def keys(self, *keys):
        """Presses each key in turn in the program's window (xdotool names:
        Tab, shift+Tab, Escape, Return, space, alt+F4, a ...)."""
        self.session.display.key(self.wid, *keys)

    def close_box_point(self):
        """The screen point of the close box, as the window itself reports
        it (WM_NCHITTEST), or None."""
        point = self.session.helper("closebox", expect_found=False)
        return _rect(point["point"]) if point else None

    def click_close_box(self):
        point = self.close_box_point()
        if point is None:
            raise DriverError("the helper found no close box on the window")
        self.click_at(*point)

    def ping(self, timeout_ms=5000):
        """Sends WM_NULL to the window with SendMessageTimeout: the answer
        time in ms, or None when no answer came within timeout_ms."""
        return self.pings(1, timeout_ms=timeout_ms)[0]

    def pings(self, count, interval_ms=50, timeout_ms=5000):
        """count pings interval_ms apart from one helper run (each helper
        start costs a few hundred ms); a list of answer times or None."""
        lines = self.session.helper_lines("ping", timeout_ms, count, interval_ms,
                                          limit_s=30 + count * (timeout_ms + interval_ms) / 1000)
        return [None if v == "none" else float(v) for k, v in lines if k == "ping"]


class MessageBox:
    """A message box found by its caption: its text, its icon kind
    ('error', 'information', 'none' or 'unknown'), and Return to dismiss it."""

    def __init__(self, session, title, found):
        self.session = session
        self.title = title
        self.text = found.get("text", "")
        self.icon_rect = None if found.get("icon_rect", "none") == "none" else _rect(found["icon_rect"])
        self._icon = None

    @property
    def icon(self):
        if self._icon is None:
            self._icon = "none" if self.icon_rect is None else icon_kind(
                self.session.display.pixels(self.icon_rect))
        return self._icon

    def dismiss(self, limit_s=5):
        """Return on the box; waits until it has gone."""
        windows = self.session.display.find_windows("--name", f"^{self.title}$")
        if not windows:
            return
        self.session.display.key(windows[0], "Return")
        wait_until(lambda: self.session.message_box(self.title) is None, limit_s, 0.1,
                   what=f"the message box '{self.title}' did not go away after Return")


def icon_kind(rgb):
    """Tells Wine's error icon (a red disc) from its information icon (a
    blue one) by the colour that dominates the icon's pixels."""
    pixels = np.frombuffer(rgb, dtype=np.uint8).reshape(-1, 3).astype(np.int32)
    r, g, b = pixels[:, 0], pixels[:, 1], pixels[:, 2]
    red = int(np.sum((r > 150) & (r > g + 60) & (r > b + 60)))
    blue = int(np.sum((b > 150) & (b > r + 60) & (b > g + 20)))
    if max(red, blue) < len(pixels) // 10:
        return "unknown"
    return "error" if red > blue else "information"

"""End-to-end test harness: runs the real sylspeak.exe under 64-bit Wine on a
private Xvfb display and checks what it does from the outside.

What it observes:
  - every MCI command string, through a stand-in winmm.dll in the program's
    folder (tests/e2e/win/mci_logger.c) that logs each call with a time stamp;
  - the window, its controls, focus and caret, and message boxes, through
    e2e-helper.exe (tests/e2e/win/e2e_helper.c), which runs in the same Wine
    session;
  - the exit code of the process, and screenshots of the display.
It drives the program with xdotool (mouse clicks and keys) and the helper
(WM_SETTEXT into the text box, for Chinese text that xdotool cannot type).

Each area of tests is one script (test_start.py, test_speaking.py, ...), run
by CTest with the label e2e. One area shares one Xvfb display, one copy of the
template Wine prefix and one persistent wineserver; each case starts the
program afresh in a program folder of its own, with the clip files it needs.

Run one area by hand, after building the Windows pieces into build/e2e-win64:
    python3 tests/e2e/test_speaking.py --win64-dir build/e2e-win64 \\
        --artifacts /tmp/e2e-artifacts
and only some of its cases:
    python3 tests/e2e/test_speaking.py --win64-dir build/e2e-win64 \\
        --artifacts /tmp/e2e-artifacts --case 'a你好'
Through CTest, from the native build:
    ctest --test-dir build/e2e-native -L e2e -R e2e_keys --output-on-failure
Artefacts (logs, screenshots, the program folders) stay under the artifacts
folder, one subfolder per area. The locale and the template prefix are cached
in $SYLSPEAK_WINE_CACHE (default ~/.cache/sylspeak-wine) by scripts/wine/.
"""

import argparse
import atexit
import os
import re
import shutil
import signal
import subprocess
import sys
import time
import traceback
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
WINE_SCRIPTS = REPO / "scripts" / "wine"

# Control ids of the text box and the button.
EDIT_ID = 100
BUTTON_ID = 110

# How long any single Wine program may run before `timeout` ends it. A case
# that needs longer says so.
DEFAULT_RUN_LIMIT_S = 60


class CheckFailed(Exception):
    pass


def gbk_hex(text):
    """The code page 936 bytes of text, as hex for the helper's settext."""
    return text.encode("gbk").hex().upper()


def clip_path(syllable):
    return "sylbank\\" + syllable + ".wav"


def clip_commands(syllable):
    """The five MCI commands sent for one clip that exists: play it under the
    alias syl, then open it by path and ask for its length."""
    path = clip_path(syllable)
    return [
        "close syl",
        'open "' + path + '" alias syl',
        "play syl",
        "open " + path,
        "status " + path + " length",
    ]


def show_syllables(syllables):
    return "[" + ", ".join(s + ".wav" if s else ".wav" for s in syllables) + "]"


# ---------------------------------------------------------------------------
# The MCI command log written by the stand-in winmm.dll


class LogEntry:
    def __init__(self, line):
        self.line = line
        fields = line.split("\t")
        self.t = float(fields[0])
        self.kind = fields[1]
        self.values = {}
        for field in fields[2:]:
            key, _, value = field.partition("=")
            self.values[key] = value
        # The DLL writes bytes outside printable ASCII, and backslashes, as \xHH.
        for key, value in self.values.items():
            self.values[key] = re.sub(r"\\x([0-9A-F]{2})", lambda m: chr(int(m.group(1), 16)), value)
        self.cmd = self.values.get("cmd")

    def __repr__(self):
        return self.line


class MciLog:
    def __init__(self, path):
        self.path = Path(path)

    def exists(self):
        return self.path.exists()

    def entries(self):
        if not self.path.exists():
            return []
        lines = self.path.read_bytes().decode("latin-1").split("\n")
        # Every line ends with a newline; what follows the last one is empty
        # or still being written.
        return [LogEntry(line) for line in lines[:-1]]

    def commands(self):
        return [e for e in self.entries() if e.kind == "mci"]

    def text(self):
        if not self.path.exists():
            return "(no MCI log file: winmm.dll was never loaded)"
        return self.path.read_bytes().decode("latin-1").rstrip("\n") or "(empty MCI log)"


# ---------------------------------------------------------------------------
# One area's Wine session


class Session:
    """One Xvfb display, one private Wine prefix and one wineserver, for all
    the cases of an area. Stopped at the end whatever happens."""

    def __init__(self, area, win64_dir, artifacts):
        self.area = area
        self.win64_dir = Path(win64_dir).resolve()
        self.dir = Path(artifacts).resolve() / area
        self.env = None
        self.xvfb_pid = None
        self.watchdog = None
        self.stopped = False
        self.program_count = 0

    # Pieces built by the Windows build.
    @property
    def sylspeak_exe(self):
        return self.win64_dir / "shell" / "sylspeak.exe"

    @property
    def helper_exe(self):
        return self.win64_dir / "tests" / "e2e" / "win" / "e2e-helper.exe"

    def winmm_dll(self, variant):
        return self.win64_dir / "tests" / "e2e" / "win" / ("winmm-" + variant) / "winmm.dll"

    def start(self):
        for piece in (self.sylspeak_exe, self.helper_exe, self.winmm_dll("logging"), self.winmm_dll("no-export")):
            if not piece.exists():
                raise SystemExit(
                    f"missing {piece}: build the Windows program first "
                    f"(cmake --build {self.win64_dir}), or point --win64-dir / SYLSPEAK_WIN64_DIR at its build"
                )
        if self.dir.exists():
            shutil.rmtree(self.dir)
        self.dir.mkdir(parents=True)
        env_file = self.dir / "wine-env"
        script = f"""
            set -e
            . "{WINE_SCRIPTS}/env.sh"
            wine_setup_cache
            wine_new_prefix "{self.dir}/prefix"
            wine_start_xvfb
            echo "$XVFB_PID" > "{self.dir}/xvfb.pid"
            wine_start_server
            env -0 > "{env_file}"
        """
        log(f"setting up Wine for '{self.area}' in {self.dir}")
        atexit.register(self.stop)
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
        signal.signal(signal.SIGINT, lambda *_: sys.exit(130))
        result = subprocess.run(["bash", "-c", script], stdin=subprocess.DEVNULL, timeout=300)
        pid_file = self.dir / "xvfb.pid"
        if pid_file.exists():
            self.xvfb_pid = int(pid_file.read_text().strip())
        if result.returncode != 0 or not env_file.exists():
            raise SystemExit("setting up Wine failed (see the output above)")
        self.env = dict(
            entry.split("=", 1) for entry in env_file.read_text().split("\0") if "=" in entry
        )
        self.start_watchdog()
        log(f"Xvfb on {self.env['DISPLAY']}, WINEPREFIX={self.env['WINEPREFIX']}")
        # Prime the wineserver with a first program on this display, and make
        # sure the code page is the one the program is written for.
        info = self.helper("info", limit=120)
        acp = info.get("acp")
        if acp != "936":
            raise SystemExit(f"the Wine session's ANSI code page is {acp!r}, expected '936': the zh_CN locale is not in effect")

    def start_watchdog(self):
        """If this script is killed (a CTest timeout), a detached watchdog
        still stops the wineserver and Xvfb of this session."""
        script = f"""
            while kill -0 {os.getpid()} 2>/dev/null; do sleep 1; done
            WINEPREFIX="{self.env['WINEPREFIX']}" timeout 20 "{self.env['WINESERVER']}" -k 2>/dev/null
            kill {self.xvfb_pid} 2>/dev/null
        """
        self.watchdog = subprocess.Popen(
            ["bash", "-c", script], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True,
        )

    def stop(self):
        if self.stopped:
            return
        self.stopped = True
        if self.env:
            env = dict(self.env)
            subprocess.run([env["WINESERVER"], "-k"], env=env, timeout=30,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                subprocess.run([env["WINESERVER"], "-w"], env=env, timeout=30,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                pass
        if self.xvfb_pid:
            try:
                os.kill(self.xvfb_pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        if self.watchdog and self.watchdog.poll() is None:
            self.watchdog.kill()
        prefix = self.dir / "prefix"
        if prefix.exists():
            shutil.rmtree(prefix, ignore_errors=True)

    # -- tools on the session's display ----------------------------------

    def run_env(self, extra=None):
        env = dict(self.env)
        if extra:
            env.update(extra)
        return env

    def helper(self, *args, limit=30, expect_found=True):
        """Runs e2e-helper.exe and returns its key=value output as a dict
        (None when it found nothing and expect_found is False)."""
        # Output goes through a file, not a pipe: Wine's background processes
        # (explorer, services) inherit the handles and would keep a pipe open.
        out_path = self.dir / "helper.out"
        with open(out_path, "wb") as out:
            result = subprocess.run(
                ["timeout", "-k", "5", str(limit), self.env["WINE64"], str(self.helper_exe), *args],
                env=self.run_env(), stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL,
                timeout=limit + 15,
            )
        stdout = out_path.read_bytes()
        if result.returncode == 1 and not expect_found:
            return None
        if result.returncode != 0:
            raise CheckFailed(
                f"e2e-helper {' '.join(args)} exited with {result.returncode}, expected 0; "
                f"stdout: {stdout.decode(errors='replace')!r}"
            )
        values = {}
        for line in stdout.decode().splitlines():
            key, _, value = line.partition("=")
            if key.endswith("_hex"):
                values[key[:-4]] = bytes.fromhex(value).decode("utf-8", errors="replace")
            else:
                values[key] = value
        return values

    def xdotool(self, *args, limit=15):
        result = subprocess.run(["xdotool", *args], env=self.run_env(), stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=limit)
        return result.returncode, result.stdout.decode(errors="replace")

    def screenshot(self, name):
        path = self.dir / name
        subprocess.run(["import", "-window", "root", str(path)], env=self.run_env(),
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
        return path

    def message_box(self, title="错误"):
        """The text of the visible message box with that title, or None."""
        found = self.helper("msgbox", title, expect_found=False)
        return None if found is None else found.get("text", "")

    # -- program folders ---------------------------------------------------

    def program_folder(self, name, clips, winmm="logging"):
        """A folder holding sylspeak.exe, the chosen stand-in winmm.dll and a
        sylbank folder with the given clips ({syllable: length in ms}; the
        syllable '' is the file named .wav)."""
        folder = self.dir / "programs" / name
        if folder.exists():
            shutil.rmtree(folder)
        (folder / "sylbank").mkdir(parents=True)
        shutil.copy2(self.sylspeak_exe, folder / "sylspeak.exe")
        if winmm:
            shutil.copy2(self.winmm_dll(winmm), folder / "winmm.dll")
        for syllable, ms in clips.items():
            make_wav(folder / "sylbank" / (syllable + ".wav"), ms)
        return folder

    def start_program(self, folder, cwd=None):
        """Starts sylspeak.exe from folder, with cwd as the working directory
        (by default the area's folder, which holds no sylbank)."""
        self.program_count += 1
        return Program(self, Path(folder), cwd or self.dir, self.run_log_path(self.program_count))

    def run_log_path(self, number):
        return self.dir / f"run{number:02d}.mci.log"


def make_wav(path, ms):
    """A WAV clip of exactly ms milliseconds (8 kHz, 16-bit mono, so that
    every millisecond is a whole number of samples): a quiet tone, made with
    sox."""
    subprocess.run(
        ["sox", "-n", "-r", "8000", "-b", "16", "-c", "1", str(path), "synth", f"{ms / 1000:.3f}",
         "sine", "440", "vol", "0.1"],
        check=True, timeout=30, stdin=subprocess.DEVNULL,
    )


# ---------------------------------------------------------------------------
# One run of the program

# Programs started by the case that is running, ended after it whatever happens.
_live_programs = []


class Program:
    def __init__(self, session, folder, cwd, log_path, limit=DEFAULT_RUN_LIMIT_S):
        self.session = session
        self.folder = folder
        self.log = MciLog(log_path)
        if log_path.exists():
            log_path.unlink()
        env = session.run_env({
            "SYLSPEAK_E2E_MCI_LOG": str(log_path),
            # Take the winmm.dll beside the program, not Wine's own.
            "WINEDLLOVERRIDES": session.env.get("WINEDLLOVERRIDES", "") + ";winmm=n,b",
        })
        self.output = open(str(log_path) + ".out", "wb")
        self.proc = subprocess.Popen(
            ["timeout", "-k", "5", str(limit), session.env["WINE64"], str(folder / "sylspeak.exe")],
            cwd=str(cwd), env=env, stdin=subprocess.DEVNULL, stdout=self.output, stderr=self.output,
        )
        self.exit_code = None
        self.wid = None
        self.info = None
        _live_programs.append(self)

    # -- life of the process -------------------------------------------------

    def wine_pid(self):
        """The pid of the Wine process under `timeout`."""
        path = Path(f"/proc/{self.proc.pid}/task/{self.proc.pid}/children")
        try:
            children = path.read_text().split()
        except OSError:
            return None
        return int(children[0]) if children else None

    def running(self):
        return self.proc.poll() is None

    def wait_window(self, limit=30):
        """Waits for the main window: visible on X and found by the helper."""
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            if not self.running():
                raise CheckFailed(f"the program exited with {self.proc.returncode} before its window appeared")
            pid = self.wine_pid()
            if pid:
                code, out = self.session.xdotool("search", "--onlyvisible", "--pid", str(pid))
                if code == 0 and out.split():
                    self.wid = out.split()[0]
                    info = self.session.helper("info", expect_found=False)
                    if info and info.get("window") not in (None, "none"):
                        self.info = info
                        return info
            time.sleep(0.05)
        raise CheckFailed(f"no program window within {limit} s")

    def wait_exit(self, limit=15, watch_error_box=True):
        """Waits for the process to end and returns its exit code. With
        watch_error_box, an error box appearing meanwhile fails the check (the
        box is dismissed so that the process can end)."""
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            code = self.proc.poll()
            if code is not None:
                self.exit_code = code
                return code
            if watch_error_box:
                text = self.session.message_box()
                if text is not None:
                    shot = self.session.screenshot("unexpected-error-box.png")
                    self.dismiss_message_box()
                    raise CheckFailed(f"an error box appeared, expected none; its text: {text!r}; screenshot {shot}")
            time.sleep(0.1)
        raise CheckFailed(f"the program did not exit within {limit} s")

    def kill(self):
        """Ends this run if it is still going (only this run's processes)."""
        if self.running():
            pid = self.wine_pid()
            for p in (pid, self.proc.pid):
                if p:
                    try:
                        os.kill(p, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self.output.close()

    # -- looking at it -----------------------------------------------------

    def refresh_info(self):
        self.info = self.session.helper("info")
        return self.info

    def screen_point(self, control_id):
        """Screen coordinates of the centre of a control."""
        info = self.refresh_info()
        ox, oy = (int(v) for v in info["client_origin"].split(","))
        x, y, w, h = (int(v) for v in info[f"ctl{control_id}_rect"].split(","))
        return ox + x + w // 2, oy + y + h // 2

    def text(self):
        return bytes.fromhex(self.session.helper("gettext")["bytes"])

    # -- driving it --------------------------------------------------------

    def set_text(self, text):
        self.session.helper("settext", gbk_hex(text)) if text else self.session.helper("settext")

    def click_button(self):
        self.click_at(*self.screen_point(BUTTON_ID))

    def click_at(self, x, y):
        # No --sync: it waits for the pointer to move, forever when the pointer
        # is already there.
        self.xdotool_ok("mousemove", str(x), str(y), "sleep", "0.05", "click", "1")

    def keys(self, *keys):
        self.xdotool_ok("windowfocus", "--sync", self.wid)
        for key in keys:
            self.xdotool_ok("key", "--delay", "30", key)
            time.sleep(0.15)

    def xdotool_ok(self, *args):
        code, out = self.session.xdotool(*args)
        if code != 0:
            raise CheckFailed(f"xdotool {' '.join(args)} exited with {code}, expected 0; output {out!r}")

    def dismiss_message_box(self, title="错误"):
        code, out = self.session.xdotool("search", "--onlyvisible", "--name", f"^{title}$")
        if code == 0 and out.split():
            self.session.xdotool("windowfocus", "--sync", out.split()[0])
            self.session.xdotool("key", "Return")

    # -- waiting on the MCI log ------------------------------------------

    def wait_commands(self, count, limit):
        """Waits until the log holds at least count MCI commands."""
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            if len(self.log.commands()) >= count:
                return
            if not self.running():
                return
            time.sleep(0.02)

    def wait_command(self, text, occurrence=1, limit=10):
        """Waits until the command text has been sent occurrence times."""
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            if sum(1 for e in self.log.commands() if e.cmd == text) >= occurrence:
                return
            time.sleep(0.01)
        raise CheckFailed(f"the command {text!r} was not sent {occurrence} time(s) within {limit} s")


# ---------------------------------------------------------------------------
# Checks


def expect_equal(what, expected, actual):
    if expected != actual:
        raise CheckFailed(f"{what}: expected {expected!r}, got {actual!r}")


def expect(what, condition, actual):
    if not condition:
        raise CheckFailed(f"{what}; actual: {actual!r}")


def check_played(log, syllables, clip_ms=None, min_wait_fraction=0.8):
    """The log holds exactly the MCI commands for playing the given clips in
    order, each with the reply buffer the program hands over; with clip_ms,
    each clip but the last was waited out (the next clip starts at least
    min_wait_fraction of its length after its play command)."""
    commands = log.commands()
    expected = [c for s in syllables for c in clip_commands(s)]
    expect_equal(f"MCI commands for the clips {show_syllables(syllables)}", expected, [e.cmd for e in commands])
    for e in commands:
        status = e.cmd.startswith("status ")
        expect_equal(f"callback window of {e.cmd!r}", 0, int(e.values["hwnd"], 16))
        if status:
            expect_equal(f"reply capacity of {e.cmd!r}", "128", e.values["cap"])
            expect_equal(f"reply buffer of {e.cmd!r}: bytes before its NUL", "255", e.values["len"])
            expect_equal(f"reply buffer of {e.cmd!r}: first bytes", " " * 8, e.values["head"])
        else:
            expect_equal(f"reply capacity of {e.cmd!r}", "0", e.values["cap"])
    if clip_ms is not None:
        plays = [e for e in commands if e.cmd == "play syl"]
        closes = [e for e in commands if e.cmd == "close syl"]
        for k in range(len(syllables) - 1):
            length = clip_ms[syllables[k]]
            gap = closes[k + 1].t - plays[k].t
            expect(
                f"clip {k + 1} ({show_syllables([syllables[k]])}, {length} ms) waited out: the next clip "
                f"starts at least {min_wait_fraction * length:.0f} ms after its play command",
                gap >= min_wait_fraction * length,
                f"{gap:.0f} ms",
            )


def wait_run_done(program, syllables, clip_ms, limit_s=10):
    """Waits until the commands of all the expected clips are in the log, then
    for as long again as the last clip lasts and a margin, so that a clip too
    many would show up too."""
    count = 5 * len(syllables)
    program.wait_commands(count, limit=limit_s + sum(clip_ms[s] for s in syllables) / 1000)
    last = clip_ms[syllables[-1]] if syllables else 0
    time.sleep((last + 700) / 1000)


def close_normally(program, key="alt+F4"):
    """No error box is up; the key closes the window; exit code 0."""
    expect_equal("error box '错误' shown", None, program.session.message_box())
    program.keys(key)
    expect_equal(f"exit code after {key}", 0, program.wait_exit())


def check_not_loaded(log):
    expect_equal("MCI log (winmm.dll loaded or any MCI command sent)", False, log.exists())


# ---------------------------------------------------------------------------
# Running the cases of an area


def log(message):
    print(f"[e2e] {message}", flush=True)


def parse_args(area):
    parser = argparse.ArgumentParser(description=f"end-to-end tests: {area}")
    parser.add_argument("--win64-dir", default=os.environ.get("SYLSPEAK_WIN64_DIR", str(REPO / "build" / "win64")),
                        help="the Windows (x86_64) build folder holding shell/sylspeak.exe and tests/e2e/win")
    parser.add_argument("--artifacts", default=str(REPO / "build" / "e2e-artifacts"),
                        help="where logs, screenshots and program folders are kept")
    parser.add_argument("--case", action="append", default=[],
                        help="run only the cases whose name contains this text (repeatable)")
    return parser.parse_args()


def run_area(area, cases):
    """cases: list of (name, function(session, case_name)). Each case runs;
    a failing case prints its message, its MCI logs and where its artefacts
    are, and the script exits 1 when any case failed."""
    args = parse_args(area)
    selected = [(n, f) for n, f in cases if not args.case or any(c in n for c in args.case)]
    session = Session(area, args.win64_dir, args.artifacts)
    started = time.monotonic()
    failures = []
    try:
        session.start()
        for name, function in selected:
            case_start = time.monotonic()
            runs_before = session.program_count
            try:
                function(session)
                log(f"PASS {area}: {name} ({time.monotonic() - case_start:.1f} s)")
            except Exception as error:  # a case's failure must not stop the others
                failures.append(name)
                log(f"FAIL {area}: {name}")
                if isinstance(error, CheckFailed):
                    print(f"    {error}", flush=True)
                else:
                    traceback.print_exc()
                for n in range(runs_before + 1, session.program_count + 1):
                    path = session.run_log_path(n)
                    print(f"    MCI log of run{n:02d} ({path}):", flush=True)
                    for line in MciLog(path).text().splitlines():
                        print(f"        {line}", flush=True)
            finally:
                for program in list(_live_programs):
                    program.kill()
                _live_programs.clear()
    finally:
        session.stop()
    log(f"{area}: {len(selected) - len(failures)} of {len(selected)} cases passed in "
        f"{time.monotonic() - started:.1f} s; artefacts in {session.dir}")
    if failures:
        log("failed: " + "; ".join(failures))
        sys.exit(1)


"""One session of Wine: a private X display, a private copy of the template
prefix with its own persistent wineserver, optionally a private PulseAudio
null sink, and the watchdog that stops them all if this process dies. The
programs run in it are started in program folders of the session's own."""

import itertools
import logging
import shutil
import subprocess
from pathlib import Path

from winedriver import pulse, wine
from winedriver.display import Display
from winedriver.processes import DriverError, wait_until
from winedriver.program import MessageBox, Program
from winedriver.sound import write_tone
from winedriver.watchdog import Watchdog

log = logging.getLogger(__name__)

# How long any single helper run may take before `timeout` ends it.
HELPER_LIMIT_S = 30


class Build:
    """The pieces of the x86_64 Windows build (build/win64) the driver runs:
    the program, and the tests' helper and stand-in winmm.dll files built
    from tests/e2e/win."""

    def __init__(self, win64_dir):
        self.dir = Path(win64_dir).resolve()
        self.sylspeak_exe = self.dir / "shell" / "sylspeak.exe"
        self.helper_exe = self.dir / "tests" / "e2e" / "win" / "e2e-helper.exe"

    def winmm_dll(self, variant):
        """'logging': logs every MCI command; 'no-export': lacks mciSendStringA."""
        return self.dir / "tests" / "e2e" / "win" / f"winmm-{variant}" / "winmm.dll"

    def require(self, *pieces):
        for piece in pieces:
            if not Path(piece).exists():
                raise DriverError(f"missing {piece}: build the Windows program first "
                                  f"(scripts/build.sh, or cmake --build {self.dir})")


class Session:
    """Use as a context manager, or call start() and stop() (stop is safe to
    call twice and stops whatever was started)."""

    def __init__(self, work_dir, win64_dir, sound=False):
        self.dir = Path(work_dir).resolve()
        self.build = Build(win64_dir)
        self.sound = sound
        self.display = self.pulse = self.watchdog = self.env = None
        self.prefix = self.dir / "prefix"
        self._numbers = itertools.count(1)
        self.programs = []

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        self.build.require(self.build.sylspeak_exe, self.build.helper_exe)
        self.dir.mkdir(parents=True, exist_ok=True)
        # What an earlier session in the same folder left.
        for owned in ("prefix", "pulse", "programs"):
            shutil.rmtree(self.dir / owned, ignore_errors=True)
        try:
            self.watchdog = Watchdog(self.dir / "watchdog.log")
            wine.new_prefix(self.prefix)
            self.watchdog.guard_folder(self.prefix)
            self.display = Display(self.watchdog)
            extra = {}
            if self.sound:
                self.pulse = pulse.PulseServer(self.dir / "pulse", self.watchdog)
                extra = self.pulse.client_env({})
            self.env = wine.wine_env(self.prefix, self.display.name, extra)
            self.watchdog.guard_wineserver(wine.WINESERVER, self.prefix)
            wine.start_server(self.env)
            log.info("Wine prefix %s, display %s", self.prefix, self.display.name)
            # Prime the wineserver with a first program on this display, and
            # make sure the code page is the one the program is written for.
            acp = self.helper("info", limit_s=120).get("acp")
            if acp != "936":
                raise DriverError(f"the Wine session's ANSI code page is {acp!r}, expected '936': "
                                  "the zh_CN locale is not in effect")
        except BaseException:
            self.stop()
            raise

    def stop(self):
        for program in self.programs:
            program.kill()
        if self.env:
            wine.stop_server(self.env)
            self.env = None
        for part in (self.pulse, self.display):
            if part:
                part.stop()
        self.pulse = self.display = None
        shutil.rmtree(self.prefix, ignore_errors=True)
        if self.watchdog:
            self.watchdog.release()
            self.watchdog = None

    # -- the helper program ------------------------------------------------

    def helper(self, *args, limit_s=HELPER_LIMIT_S, expect_found=True):
        """Runs e2e-helper.exe in this session and returns its key=value
        output as a dict, with the *_hex values decoded (None when it found
        nothing and expect_found is False)."""
        pairs = self.helper_lines(*args, limit_s=limit_s, expect_found=expect_found)
        return None if pairs is None else dict(pairs)

    def helper_lines(self, *args, limit_s=HELPER_LIMIT_S, expect_found=True):
        """The same as helper(), as a list of (key, value) in output order."""
        # Output goes through a file, not a pipe: Wine's background processes
        # (explorer, services) inherit the handles and would keep a pipe open.
        out_path = self.dir / "helper.out"
        with open(out_path, "wb") as out:
            result = subprocess.run(
                ["timeout", "-k", "5", str(limit_s), wine.WINE64, str(self.build.helper_exe), *map(str, args)],
                env=self.env, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL,
                timeout=limit_s + 15)
        stdout = out_path.read_bytes()
        if result.returncode == 1 and not expect_found:
            return None
        if result.returncode != 0:
            raise DriverError(f"e2e-helper {' '.join(map(str, args))} exited with {result.returncode}, "
                              f"expected 0; its output: {stdout.decode(errors='replace')!r}")
        return parse_helper_output(stdout)

    def start_helper(self, *args, limit_s=HELPER_LIMIT_S):
        """Starts e2e-helper.exe without waiting for it (for showbox);
        returns the Popen, whose output_path names the file of its output."""
        output_path = self.dir / f"helper-{next(self._numbers):02d}.out"
        with open(output_path, "wb") as out:
            proc = subprocess.Popen(
                ["timeout", "-k", "5", str(limit_s), wine.WINE64, str(self.build.helper_exe), *map(str, args)],
                env=self.env, stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL)
        proc.output_path = output_path
        return proc

    # -- program folders and programs --------------------------------------

    def program_folder(self, name, clips=None, bank=None, winmm="logging"):
        """A folder programs/<name> laid out by lay_out_program with
        sylspeak.exe, the given clips or bank, and the stand-in winmm.dll of
        that variant ('logging', 'no-export'), or none (None: Wine's own
        MCI). name may hold any characters a Linux file name can."""
        winmm_dll = None
        if winmm:
            winmm_dll = self.build.winmm_dll(winmm)
            self.build.require(winmm_dll)
        return lay_out_program(self.dir / "programs" / name, self.build.sylspeak_exe, bank=bank, clips=clips,
                               winmm_dll=winmm_dll)

    def start_program(self, folder, cwd=None, limit_s=60):
        """Starts folder/sylspeak.exe with cwd as its working directory (by
        default the session's folder, which holds no sylbank). limit_s bounds
        the whole run."""
        program = Program(self, Path(folder), Path(cwd or self.dir), next(self._numbers), limit_s)
        self.programs.append(program)
        return program

    # -- what is on the screen ---------------------------------------------

    def message_box(self, title="错误"):
        """The visible message box with that title, or None."""
        found = self.helper("msgbox", title, expect_found=False)
        return None if found is None else MessageBox(self, title, found)

    def wait_message_box(self, title="错误", limit_s=10):
        return wait_until(lambda: self.message_box(title), limit_s, 0.1,
                          what=f"no message box '{title}'")

    def screenshot(self, name, rect=None):
        return self.display.screenshot(self.dir / name, rect)

    def record(self, name="spoken"):
        """Starts recording the null sink (a session made with sound=True)."""
        if not self.pulse:
            raise DriverError("this session has no sound sink: make it with sound=True")
        return self.pulse.record(self.dir / (name + ".raw"))


def write_clips(bank_dir, clips):
    """Makes the clip folder bank_dir (if need be) and in it the given clips
    ({syllable: length in ms}) as quiet tones; the syllable '' is the file
    named .wav."""
    bank_dir = Path(bank_dir)
    bank_dir.mkdir(exist_ok=True)
    for syllable, ms in clips.items():
        write_tone(bank_dir / (syllable + ".wav"), ms)


def lay_out_program(folder, exe, bank=None, clips=None, winmm_dll=None):
    """Makes folder afresh as the program ships: exe as sylspeak.exe; a
    sylbank folder that is a copy of the clip folder bank, or holds the given
    clips (see write_clips), or none at all when both are None; and a copy of
    winmm_dll beside the program when one is given. Returns the folder."""
    folder = Path(folder)
    if folder.exists():
        shutil.rmtree(folder)
    folder.mkdir(parents=True)
    shutil.copy2(exe, folder / "sylspeak.exe")
    if winmm_dll:
        shutil.copy2(winmm_dll, folder / "winmm.dll")
    if bank is not None:
        shutil.copytree(bank, folder / "sylbank")
    elif clips is not None:
        write_clips(folder / "sylbank", clips)
    return folder


def parse_helper_output(stdout):
    """(key, value) pairs of the helper's key=value lines; a key ending in
    _hex loses that ending and its value is decoded from hex UTF-8."""
    pairs = []
    for line in stdout.decode().splitlines():
        key, _, value = line.partition("=")
        if key.endswith("_hex"):
            key, value = key[:-4], bytes.fromhex(value).decode("utf-8", errors="replace")
        pairs.append((key, value))
    return pairs

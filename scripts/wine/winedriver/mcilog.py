"""The log of the stand-in winmm.dll (tests/e2e/win/mci_logger.c): one line
per event, fields separated by tabs:

    <ms> mci cap=<capacity> hwnd=<callback> len=<n> head=<bytes> ret=<r> cmd=<command>
    <ms> attach
    <ms> detach

<ms> is milliseconds from an arbitrary start (the performance counter).
Bytes outside printable ASCII, and backslashes, are written as \\xHH.
"""

import re
from pathlib import Path

from winedriver.processes import DriverError, wait_until

_ESCAPE = re.compile(r"\\x([0-9A-F]{2})")


class LogEntry:
    def __init__(self, line):
        self.line = line
        fields = line.split("\t")
        self.t = float(fields[0])
        self.kind = fields[1]
        self.values = {}
        for field in fields[2:]:
            key, _, value = field.partition("=")
            self.values[key] = _ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), value)
        self.cmd = self.values.get("cmd")

    def __repr__(self):
        return self.line


class MciLog:
    def __init__(self, path):
        self.path = Path(path)

    def exists(self):
        """Whether the stand-in was loaded at all (it writes on loading)."""
        return self.path.exists()

    def entries(self):
        if not self.path.exists():
            return []
        lines = self.path.read_bytes().decode("latin-1").split("\n")
        # Every line ends with a newline; what follows the last one is empty
        # or still being written.
        return [LogEntry(line) for line in lines[:-1]]

    def commands(self):
        """The mciSendStringA calls, in order."""
        return [e for e in self.entries() if e.kind == "mci"]

    def text(self):
        if not self.path.exists():
            return "(no MCI log file: winmm.dll was never loaded)"
        return self.path.read_bytes().decode("latin-1").rstrip("\n") or "(empty MCI log)"

    def wait_count(self, count, limit_s, running=lambda: True):
        """Waits until at least count commands were sent, the time is up, or
        running() turns false."""
        wait_until(lambda: len(self.commands()) >= count or not running(), limit_s, 0.02)

    def wait_command(self, text, occurrence=1, limit_s=10):
        """Waits until the command text has been sent occurrence times."""
        wait_until(lambda: sum(1 for e in self.commands() if e.cmd == text) >= occurrence, limit_s, 0.01,
                   what=f"the command {text!r} was not sent {occurrence} time(s)")

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

from winedriver.processes import wait_until

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
    """The log is read as it grows: each call reads only the bytes added since
    the last one and parses only the lines they complete, keeping a partly
    written last line for later."""

    def __init__(self, path):
        self.path = Path(path)
        self._read = 0  # bytes of the file parsed so far: whole lines only
        self._entries = []
        self._commands = []

    def exists(self):
        """Whether the stand-in was loaded at all (it writes on loading)."""
        return self.path.exists()

    def _update(self):
        try:
            with open(self.path, "rb") as f:
                f.seek(self._read)
                added = f.read()
        except FileNotFoundError:
            return
        # Every line ends with a newline; what follows the last one is empty
        # or still being written.
        complete = added.rfind(b"\n") + 1
        if not complete:
            return
        self._read += complete
        for line in added[:complete].decode("latin-1").split("\n")[:-1]:
            entry = LogEntry(line)
            self._entries.append(entry)
            if entry.kind == "mci":
                self._commands.append(entry)

    def entries(self):
        self._update()
        return list(self._entries)

    def commands(self):
        """The mciSendStringA calls, in order."""
        self._update()
        return list(self._commands)

    def text(self):
        if not self.path.exists():
            return "(no MCI log file: winmm.dll was never loaded)"
        return self.path.read_bytes().decode("latin-1").rstrip("\n") or "(empty MCI log)"

    def wait_command(self, text, occurrence=1, limit_s=10):
        """Waits until the command text has been sent occurrence times."""
        wait_until(lambda: sum(1 for e in self.commands() if e.cmd == text) >= occurrence, limit_s, 0.01,
                   what=f"the command {text!r} was not sent {occurrence} time(s)")

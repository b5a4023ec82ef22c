"""The processes the driver starts, the one way it stops them, and polling.

Every process the driver starts is ended by stop_process, whatever kind it is
(Xvfb, PulseAudio, the recorder, xclip, a Wine program). A process named by
its pid alone is identified together with its start time, so that a pid the
kernel has given to another process since is never signalled.
"""

import os
import signal
import subprocess
import time


class DriverError(Exception):
    """Something the driver was asked to do did not happen."""


def wait_until(condition, limit_s, interval_s=0.05, what=None):
    """Calls condition() until it returns something true, and returns that.
    After limit_s seconds: raises DriverError saying what did not happen, or
    returns the last value when what is None."""
    deadline = time.monotonic() + limit_s
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            break
        time.sleep(interval_s)
    if not value and what is not None:
        raise DriverError(f"{what} within {limit_s:g} s")
    return value


def stat_fields(pid):
    """The fields of /proc/PID/stat after the command name, or None."""
    try:
        text = open(f"/proc/{pid}/stat", "rb").read().decode("latin-1")
    except OSError:
        return None
    # The command name is in parentheses and may hold spaces or ')'.
    return text[text.rindex(")") + 2:].split()


class Pid:
    """A process known by its pid and start time (clock ticks after boot)."""

    def __init__(self, pid, started=None):
        self.pid = int(pid)
        if started is None:
            fields = stat_fields(self.pid)
            started = int(fields[19]) if fields else -1
        self.started = int(started)

    def alive(self):
        fields = stat_fields(self.pid)
        return bool(fields) and fields[0] != "Z" and int(fields[19]) == self.started

    def __repr__(self):
        return f"pid {self.pid}"


def stop_process(process, grace_s=3.0):
    """Ends a process and waits until it is gone: SIGTERM, then SIGKILL when
    it is still there after grace_s. process is a subprocess.Popen (which is
    also reaped) or a Pid. Does nothing to a process that has already ended."""
    if process is None:
        return
    if isinstance(process, subprocess.Popen):
        if process.poll() is None:
            for sig, wait_s in ((signal.SIGTERM, grace_s), (signal.SIGKILL, 10.0)):
                try:
                    process.send_signal(sig)
                    process.wait(timeout=wait_s)
                    break
                except subprocess.TimeoutExpired:
                    continue
        return
    for sig, wait_s in ((signal.SIGTERM, grace_s), (signal.SIGKILL, 10.0)):
        if not process.alive():
            return
        try:
            os.kill(process.pid, sig)
        except ProcessLookupError:
            return
        if wait_until(lambda: not process.alive(), wait_s, 0.02):
            return


def children(pid):
    """The pids of the direct children of a process."""
    try:
        return [int(p) for p in open(f"/proc/{pid}/task/{pid}/children").read().split()]
    except OSError:
        return []

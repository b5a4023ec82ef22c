"""The watchdog: stops what a driver started when the driver's own process
dies without stopping it (a test run killed on its time limit, Ctrl+C, a
crash).

The driver starts it with a pipe on its standard input and writes one line
for each thing to clean up:

    process PID STARTED     a process (pid and start time, see processes.Pid)
    wineserver PATH PREFIX  a wineserver to end with `PATH -k`
    remove PATH             a folder to delete
    done                    the driver stopped everything itself

When the pipe closes without "done" (the driver's process has gone, however
it ended), the watchdog ends every Wine process of each prefix, stops each
listed process that is still the same process, deletes the folders, and
exits. It detaches itself first (a second fork, in a session of its own), so
that killing the driver's process tree does not take the watchdog with it.
"""

import os
import shutil
import signal
import subprocess
import sys

from winedriver.processes import Pid, stop_process


class Watchdog:
    """The driver's end of the pipe to a watchdog process."""

    def __init__(self, log_path):
        here = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
        env = dict(os.environ, PYTHONPATH=here)
        with open(log_path, "ab") as log:
            self.proc = subprocess.Popen(
                [sys.executable, "-c", "from winedriver.watchdog import main; main()"], stdin=subprocess.PIPE,
                stdout=log, stderr=log, cwd="/", env=env, start_new_session=True)
        # The first process only forks the watchdog and exits.
        self.proc.wait()

    def _send(self, *words):
        if self.proc.stdin.closed:
            return
        try:
            self.proc.stdin.write((" ".join(str(w) for w in words) + "\n").encode("utf-8", "surrogateescape"))
            self.proc.stdin.flush()
        except BrokenPipeError:
            pass

    def guard_process(self, pid):
        self._send("process", pid.pid, pid.started)

    def guard_wineserver(self, wineserver, prefix):
        self._send("wineserver", wineserver, prefix)

    def guard_folder(self, path):
        self._send("remove", path)

    def release(self):
        """Everything was stopped: the watchdog exits without doing anything."""
        self._send("done")
        if not self.proc.stdin.closed:
            self.proc.stdin.close()


def _clean_up(lines):
    processes, servers, folders = [], [], []
    for line in lines:
        kind, _, rest = line.partition(" ")
        if kind == "process":
            pid, started = rest.split()
            processes.append(Pid(pid, started))
        elif kind == "wineserver":
            servers.append(rest.split(" ", 1))
        elif kind == "remove":
            folders.append(rest)
    for wineserver, prefix in servers:
        env = dict(os.environ, WINEPREFIX=prefix)
        try:
            subprocess.run([wineserver, "-k"], env=env, timeout=20, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except (OSError, subprocess.TimeoutExpired):
            pass
    for pid in reversed(processes):
        stop_process(pid)
    for folder in folders:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    if os.fork() > 0:
        os._exit(0)
    for sig in (signal.SIGHUP, signal.SIGINT):
        signal.signal(sig, signal.SIG_IGN)
    lines = []
    for raw in sys.stdin.buffer:
        line = raw.decode("utf-8", "surrogateescape").rstrip("\n")
        if line == "done":
            return
        lines.append(line)
    print(f"watchdog {os.getpid()}: the driver went away; cleaning up {len(lines)} item(s)", flush=True)
    _clean_up(lines)

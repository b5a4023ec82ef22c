"""A private PulseAudio server with one null sink, so that the program's
sound can be recorded on a machine without a sound card, and the recorder of
that sink.

The server reads no system or user configuration (-n, and every path it
could look in points into its own folder), loads exactly two modules (the
null sink and a unix socket) and never exits on its own.

The sink runs at the clips' own format (16-bit mono, 22050 Hz), so a clip
played at that format reaches the recording without resampling. norewinds=1
keeps the sink from rewriting audio it has already rendered, which would
otherwise show in the monitor as clicks and repeated fragments.
"""

import logging
import os
import subprocess
import wave
from pathlib import Path

from winedriver.processes import DriverError, Pid, stop_process, wait_until

log = logging.getLogger(__name__)

# The clips' rate: clip_audio.RATE in tools/sylbank, which makes the default
# bank (that module is not on the driver's import path).
RATE = 22050
SINK = "sylspeak_null"


class PulseServer:
    def __init__(self, folder, watchdog=None):
        self.folder = Path(folder).resolve()
        self.watchdog = watchdog
        for sub in ("runtime", "state", "config", "home"):
            (self.folder / sub).mkdir(parents=True, exist_ok=True)
        # Clients started with client_env() talk to this server only and
        # never try to spawn one of their own.
        (self.folder / "client.conf").write_text("autospawn = no\n")
        self.socket = self.folder / "native"
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        # No D-Bus and no X11 for the server itself: it would otherwise try to
        # start a session bus through the display and leave it behind.
        env.update(HOME=str(self.folder / "home"), XDG_CONFIG_HOME=str(self.folder / "config"),
                   XDG_RUNTIME_DIR=str(self.folder / "runtime"), PULSE_RUNTIME_PATH=str(self.folder / "runtime"),
                   PULSE_STATE_PATH=str(self.folder / "state"), PULSE_CONFIG_PATH=str(self.folder / "config"),
                   DBUS_SESSION_BUS_ADDRESS="disabled:", DBUS_SYSTEM_BUS_ADDRESS="disabled:")
        self.server_log = self.folder / "server.log"
        with open(self.server_log, "wb") as out:
            self.proc = subprocess.Popen(
                ["pulseaudio", "-n", "--daemonize=no", "--system=no", "--use-pid-file=no",
                 "--exit-idle-time=-1", "--log-target=stderr",
                 "-L", f"module-null-sink sink_name={SINK} rate={RATE} channels=1 format=s16le norewinds=1",
                 "-L", f"module-native-protocol-unix socket={self.socket} auth-anonymous=1"],
                env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=out)
        if watchdog:
            watchdog.guard_process(Pid(self.proc.pid))

        def answers():
            if self.proc.poll() is not None:
                return True
            result = subprocess.run(["pactl", "info"], env=self.client_env(dict(os.environ)),
                                    stdin=subprocess.DEVNULL, capture_output=True, timeout=5)
            return result.returncode == 0

        wait_until(answers, 10, 0.1)
        if self.proc.poll() is not None or not answers():
            self.stop()
            raise DriverError(f"the PulseAudio server did not answer on {self.socket}; its log:\n"
                              + self.server_log.read_text(errors="replace"))
        log.info("PulseAudio null sink %s on unix:%s", SINK, self.socket)

    def client_env(self, env):
        """env with the variables that send a client's sound to this sink."""
        env.update(PULSE_SERVER=f"unix:{self.socket}", PULSE_SINK=SINK,
                   PULSE_CLIENTCONFIG=str(self.folder / "client.conf"))
        return env

    def record(self, raw_path):
        """Starts recording the sink's monitor into raw_path (raw 16-bit mono
        at RATE); returns once the first samples have arrived, so that
        nothing played afterwards is missed."""
        return Recording(self, raw_path)

    def stop(self):
        stop_process(self.proc)


class Recording:
    def __init__(self, server, raw_path):
        self.raw = Path(raw_path)
        self.raw.write_bytes(b"")
        self.log_path = Path(str(raw_path) + ".log")
        with open(self.raw, "wb") as out, open(self.log_path, "wb") as err:
            self.proc = subprocess.Popen(
                ["parec", "-d", f"{SINK}.monitor", "--raw", "--format=s16le", f"--rate={RATE}",
                 "--channels=1", "--latency-msec=20"],
                env=server.client_env(dict(os.environ)), stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        if server.watchdog:
            server.watchdog.guard_process(Pid(self.proc.pid))
        if not wait_until(lambda: self.raw.stat().st_size > 0 or self.proc.poll() is not None, 5, 0.05) \
                or self.proc.poll() is not None:
            self.stop()
            raise DriverError("parec delivered nothing within 5 s: " + self.log_path.read_text(errors="replace"))

    def stop(self, wav_path=None):
        """Stops recording; with wav_path, writes what was recorded there as
        a WAV file and returns its path."""
        stop_process(self.proc)
        if wav_path is None:
            return None
        data = self.raw.read_bytes()
        data = data[:len(data) // 2 * 2]
        with wave.open(str(wav_path), "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(data)
        return Path(wav_path)

"""What the program's MCI commands should be, checked on the stand-in
winmm.dll's log.

Each clip is opened ahead of its turn under an alias of its own, measured,
and started with 'play <alias> from 0' when the clip before has ended; the
clip before is closed once the next has started, and the last one when the
run ends. While a clip plays, the program asks 'status <alias> mode' now and
then. The checks below replay the log on a model of MCI's devices."""

import re
import time

from winedriver import wait_until

_OPEN = re.compile(r'open "(?P<path>[^"]*)" alias (?P<alias>\S+)$')
_ALIAS = re.compile(r"(?P<verb>close|play|status) (?P<alias>\S+)(?P<rest>.*)$")


def clip_path(syllable):
    return "sylbank\\" + syllable + ".wav"


def show_syllables(syllables):
    return "[" + ", ".join(s + ".wav" if s else ".wav" for s in syllables) + "]"


class Replay:
    """The log replayed: the clips started in order (path, time of the play,
    alias), the most devices open at one time, and the devices open at the
    end."""

    def __init__(self, commands):
        self.plays = []
        self.most_open = 0
        self.open = {}  # alias -> path
        for e in commands:
            opened = _OPEN.match(e.cmd)
            if opened:
                if e.values["ret"] == "0":
                    self.open[opened["alias"]] = opened["path"]
                    self.most_open = max(self.most_open, len(self.open))
                continue
            named = _ALIAS.match(e.cmd)
            assert named, f"an MCI command of an unknown form: {e.cmd!r}"
            alias = named["alias"]
            if named["verb"] == "play":
                assert named["rest"] == " from 0", f"a play from the clip's start: {e.cmd!r}"
                assert alias in self.open, f"{e.cmd!r} names no open clip"
                self.plays.append((self.open[alias], e.t, alias))
            elif named["verb"] == "close":
                assert named["rest"] == "", f"{e.cmd!r}"
                self.open.pop(alias, None)
            else:
                assert named["rest"] in (" length", " mode"), f"an MCI query: {e.cmd!r}"

    def played(self):
        return [path for path, _, _ in self.plays]


def check_reply_buffers(commands):
    for e in commands:
        assert int(e.values["hwnd"], 16) == 0, f"callback window of {e.cmd!r}"
        if e.cmd.startswith("status "):
            assert e.values["cap"] == "128", f"reply capacity of {e.cmd!r}"
            assert e.values["len"] == "255", f"reply buffer of {e.cmd!r}: bytes before its NUL"
            assert e.values["head"] == " " * 8, f"reply buffer of {e.cmd!r}: first bytes"
        else:
            assert e.values["cap"] == "0", f"reply capacity of {e.cmd!r}"
            assert e.values["head"] == "0", f"reply buffer of {e.cmd!r}"


def check_devices(replay):
    """No more than three MCI devices were ever open at once, and none is
    left open."""
    assert replay.most_open <= 3, f"{replay.most_open} MCI devices open at once"
    assert not replay.open, f"devices left open after the run: {replay.open}"


def check_played(log, syllables, clip_ms=None, min_wait_fraction=0.95):
    """The log plays exactly the given clips in order, each opened ahead under
    its own alias and started from its beginning, with the reply buffers the
    program hands over; no more than three devices were ever open and none is
    left open. With clip_ms, each clip but the last was waited out: the next
    starts at least min_wait_fraction of its length after its play."""
    commands = log.commands()
    check_reply_buffers(commands)
    replay = Replay(commands)
    assert replay.played() == [clip_path(s) for s in syllables], (
        f"the clips played, expected {show_syllables(syllables)}")
    check_devices(replay)
    if clip_ms is not None:
        for k in range(len(syllables) - 1):
            length = clip_ms[syllables[k]]
            gap = replay.plays[k + 1][1] - replay.plays[k][1]
            assert gap >= min_wait_fraction * length, (
                f"clip {k + 1} ({show_syllables([syllables[k]])}, {length} ms) waited out: the next clip "
                f"starts at least {min_wait_fraction * length:.0f} ms after its play; actual: {gap:.0f} ms")
            assert replay.plays[k][2] != replay.plays[k + 1][2], "each clip under an alias of its own"
    return replay


def wait_run_done(program, syllables, clip_ms, limit_s=10):
    """Waits until all the expected clips have been started and every device
    closed again, then a while longer, so that a clip too many would show up
    too."""
    def done():
        replay = Replay(program.log.commands())
        return (len(replay.plays) >= len(syllables) and not replay.open) or not program.running()

    wait_until(done, limit_s + sum(clip_ms[s] for s in syllables) / 1000, 0.02,
               what=f"the run of {show_syllables(syllables)} did not end")
    time.sleep(0.7)


def close_normally(program, key="alt+F4"):
    """No error box is up; the key closes the window; exit code 0."""
    assert program.session.message_box() is None, "error box '错误' shown"
    program.keys(key)
    assert program.wait_exit() == 0, f"exit code after {key}"


def check_no_command(log):
    """Not a single MCI command was sent. (The program may load winmm.dll
    while idle, to have the sound path ready for the first click.)"""
    assert not log.commands(), "MCI commands sent: " + log.text()

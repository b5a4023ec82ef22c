"""What the program's MCI commands should be, checked on the stand-in
winmm.dll's log."""

import time


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


def check_played(log, syllables, clip_ms=None, min_wait_fraction=0.8):
    """The log holds exactly the MCI commands for playing the given clips in
    order, each with the reply buffer the program hands over; with clip_ms,
    each clip but the last was waited out (the next clip starts at least
    min_wait_fraction of its length after its play command)."""
    commands = log.commands()
    expected = [c for s in syllables for c in clip_commands(s)]
    assert [e.cmd for e in commands] == expected, f"MCI commands for the clips {show_syllables(syllables)}"
    for e in commands:
        assert int(e.values["hwnd"], 16) == 0, f"callback window of {e.cmd!r}"
        if e.cmd.startswith("status "):
            assert e.values["cap"] == "128", f"reply capacity of {e.cmd!r}"
            assert e.values["len"] == "255", f"reply buffer of {e.cmd!r}: bytes before its NUL"
            assert e.values["head"] == " " * 8, f"reply buffer of {e.cmd!r}: first bytes"
        else:
            assert e.values["cap"] == "0", f"reply capacity of {e.cmd!r}"
    if clip_ms is not None:
        plays = [e for e in commands if e.cmd == "play syl"]
        closes = [e for e in commands if e.cmd == "close syl"]
        for k in range(len(syllables) - 1):
            length = clip_ms[syllables[k]]
            gap = closes[k + 1].t - plays[k].t
            assert gap >= min_wait_fraction * length, (
                f"clip {k + 1} ({show_syllables([syllables[k]])}, {length} ms) waited out: the next clip "
                f"starts at least {min_wait_fraction * length:.0f} ms after its play command; "
                f"actual: {gap:.0f} ms")


def wait_run_done(program, syllables, clip_ms, limit_s=10):
    """Waits until the commands of all the expected clips are in the log, then
    for as long again as the last clip lasts and a margin, so that a clip too
    many would show up too."""
    program.log.wait_count(5 * len(syllables), limit_s + sum(clip_ms[s] for s in syllables) / 1000,
                           program.running)
    last = clip_ms[syllables[-1]] if syllables else 0
    time.sleep((last + 700) / 1000)


def close_normally(program, key="alt+F4"):
    """No error box is up; the key closes the window; exit code 0."""
    assert program.session.message_box() is None, "error box '错误' shown"
    program.keys(key)
    assert program.wait_exit() == 0, f"exit code after {key}"


def check_not_loaded(log):
    assert not log.exists(), "MCI log (winmm.dll loaded or any MCI command sent): " + log.text()

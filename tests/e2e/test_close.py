#!/usr/bin/env python3
"""Closing: the idle window closes with exit code 0 by Alt+F4, Esc or its
close box; closed during a run's wait, the run ends quietly, whether units
are left or not: exit code 0 and no error box. See harness.py for how to run
it by hand."""

import functools

import harness
from harness import CheckFailed, check_not_loaded, check_played, expect_equal

CLIPS = {"ni": 1500, "hao": 400}


def close_by(program, how):
    if how == "close box":
        point = program.session.helper("closebox").get("point")
        if not point:
            raise CheckFailed("the helper found no close box on the window")
        program.click_at(*point.split(","))
    else:
        program.keys(how)


def close_idle(session, how):
    program = session.start_program(session.program_folder("idle", CLIPS))
    program.wait_window()
    close_by(program, how)
    expect_equal(f"exit code after closing the idle window by {how}", 0, program.wait_exit(limit=10))
    check_not_loaded(program.log)


# text, closed during the wait of this clip, clips played before the close
DURING_RUN = [
    ("你好", "units left", ["ni"]),
    ("你", "the last unit", ["ni"]),
]


def close_during_run(session, text, when, played, how):
    program = session.start_program(session.program_folder("during", CLIPS))
    program.wait_window()
    program.set_text(text)
    program.click_button()
    program.wait_command("status sylbank\\ni.wav length")
    close_by(program, how)
    # The wait may run out before the process ends; an error box on the way
    # fails the check.
    expect_equal(f"exit code after closing by {how} during the wait of ni ({when})", 0,
                 program.wait_exit(limit=10 + CLIPS["ni"] / 1000))
    check_played(program.log, played, clip_ms=None)
    expect_equal("error box '错误' shown after the exit", None, session.message_box())


if __name__ == "__main__":
    cases = [
        (f"idle window closed by {how}: exit 0", functools.partial(close_idle, how=how))
        for how in ["alt+F4", "Escape", "close box"]
    ]
    for text, when, played in DURING_RUN:
        for how in ["alt+F4", "close box"]:
            cases.append((f"{text} closed by {how} during a wait with {when}: exit 0, no error box",
                          functools.partial(close_during_run, text=text, when=when, played=played, how=how)))
    harness.run_area("close", cases)

#!/usr/bin/env python3
"""Keys: Tab and Shift+Tab move the focus between the text box and the
button, Esc closes the window and Shift+Esc does not, Enter does nothing,
Space on the button speaks. See harness.py for how to run it by hand."""

import functools
import time

import harness
from harness import check_not_loaded, check_played, close_normally, expect_equal, wait_run_done

CLIPS = {"ni": 300, "hao": 400, "": 120}


def focus_walk(session):
    """Each key in turn, and where the focus is after it."""
    program = session.start_program(session.program_folder("focus", CLIPS))
    info = program.wait_window()
    expect_equal("focus at start", "100", info["focus"])
    steps = [
        ("Tab", "110"),
        ("Tab", "100"),
        ("shift+Tab", "110"),
        ("shift+Tab", "100"),
        ("Tab", "110"),
        ("shift+Tab", "100"),
    ]
    for number, (key, focus) in enumerate(steps, 1):
        program.keys(key)
        expect_equal(f"focus after key {number} ({key}) of {[k for k, _ in steps]}", focus,
                     program.refresh_info()["focus"])
    expect_equal("text box bytes after the Tab keys (no tab typed into it)", b"", program.text())
    close_normally(program)


def escape_closes(session, tabs):
    """Esc closes the window with exit code 0, wherever the focus is."""
    program = session.start_program(session.program_folder("esc", CLIPS))
    program.wait_window()
    program.keys(*["Tab"] * tabs)
    expect_equal(f"focus after {tabs} Tab(s)", "110" if tabs % 2 else "100", program.refresh_info()["focus"])
    program.keys("Escape")
    expect_equal("exit code after Esc", 0, program.wait_exit(limit=10))
    check_not_loaded(program.log)


def shift_escape_does_not_close(session):
    program = session.start_program(session.program_folder("shift-esc", CLIPS))
    program.wait_window()
    program.keys("shift+Escape")
    time.sleep(0.7)
    expect_equal("program still running after Shift+Esc", True, program.running())
    expect_equal("window still there after Shift+Esc", True, program.refresh_info()["window"] != "none")
    close_normally(program, "Escape")


def enter_does_nothing(session, tabs):
    """Enter in the text box, or on the focused button, neither speaks nor
    moves the focus nor changes the text."""
    program = session.start_program(session.program_folder("enter", CLIPS))
    program.wait_window()
    program.set_text("你好")
    program.keys(*["Tab"] * tabs)
    focus = "110" if tabs % 2 else "100"
    program.keys("Return")
    time.sleep(1.0)
    expect_equal("focus after Enter", focus, program.refresh_info()["focus"])
    expect_equal("text box bytes after Enter", "你好".encode("gbk"), program.text())
    check_not_loaded(program.log)
    close_normally(program)


def space_on_button_speaks(session):
    program = session.start_program(session.program_folder("space", CLIPS))
    program.wait_window()
    program.set_text("你好")
    program.keys("Tab")
    expect_equal("focus after Tab", "110", program.refresh_info()["focus"])
    program.keys("space")
    wait_run_done(program, ["ni", "hao"], CLIPS)
    check_played(program.log, ["ni", "hao"], CLIPS)
    close_normally(program)


if __name__ == "__main__":
    harness.run_area("keys", [
        ("Tab and Shift+Tab toggle the focus", focus_walk),
        ("Esc in the text box closes, exit 0", functools.partial(escape_closes, tabs=0)),
        ("Esc on the button closes, exit 0", functools.partial(escape_closes, tabs=1)),
        ("Shift+Esc does not close", shift_escape_does_not_close),
        ("Enter in the text box does nothing", functools.partial(enter_does_nothing, tabs=0)),
        ("Enter on the button does nothing", functools.partial(enter_does_nothing, tabs=1)),
        ("Space on the button speaks", space_on_button_speaks),
    ])

"""Keys: Tab and Shift+Tab move the focus between the text box and the
button, Esc closes the window and Shift+Esc does not, Enter does nothing,
Space on the button speaks."""

import time

import pytest

from mci_checks import check_no_command, check_played, close_normally, wait_run_done

CLIPS = {"ni": 300, "hao": 400, "": 120}


def test_tab_and_shift_tab_toggle_the_focus(session):
    """Each key in turn, and where the focus is after it."""
    program = session.start_program(session.program_folder("focus", CLIPS))
    info = program.wait_window()
    assert info["focus"] == "100", "focus at start"
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
        assert program.refresh_info()["focus"] == focus, \
            f"focus after key {number} ({key}) of {[k for k, _ in steps]}"
    assert program.text() == b"", "text box bytes after the Tab keys (no tab typed into it)"
    close_normally(program)


@pytest.mark.parametrize("tabs", [0, 1], ids=["in the text box", "on the button"])
def test_escape_closes(session, tabs):
    """Esc closes the window with exit code 0, wherever the focus is."""
    program = session.start_program(session.program_folder("esc", CLIPS))
    program.wait_window()
    program.keys(*["Tab"] * tabs)
    assert program.refresh_info()["focus"] == ("110" if tabs % 2 else "100"), f"focus after {tabs} Tab(s)"
    program.keys("Escape")
    assert program.wait_exit(limit_s=10) == 0, "exit code after Esc"
    check_no_command(program.log)


def test_shift_escape_does_not_close(session):
    program = session.start_program(session.program_folder("shift-esc", CLIPS))
    program.wait_window()
    program.keys("shift+Escape")
    time.sleep(0.7)
    assert program.running(), "program still running after Shift+Esc"
    assert program.refresh_info()["window"] != "none", "window still there after Shift+Esc"
    close_normally(program, "Escape")


# focus (Tab presses), the text box's bytes after Enter
ENTER = [
    (0, "\r\n你好".encode("gbk")),  # a new line at the caret, which WM_SETTEXT left at the start
    (1, "你好".encode("gbk")),        # the button does nothing with it
]


@pytest.mark.parametrize("tabs, text", ENTER, ids=["in the text box", "on the button"])
def test_enter_starts_a_line_in_the_text_box_and_does_nothing_on_the_button(session, tabs, text):
    """Enter neither speaks nor moves the focus; in the text box it starts a
    new line."""
    program = session.start_program(session.program_folder("enter", CLIPS))
    program.wait_window()
    program.set_text("你好")
    program.keys(*["Tab"] * tabs)
    focus = "110" if tabs % 2 else "100"
    program.keys("Return")
    time.sleep(1.0)
    assert program.refresh_info()["focus"] == focus, "focus after Enter"
    assert program.text() == text, "text box bytes after Enter"
    check_no_command(program.log)
    close_normally(program)


def test_space_on_the_button_speaks(session):
    program = session.start_program(session.program_folder("space", CLIPS))
    program.wait_window()
    program.set_text("你好")
    program.keys("Tab")
    assert program.refresh_info()["focus"] == "110", "focus after Tab"
    program.keys("space")
    wait_run_done(program, ["ni", "hao"], CLIPS)
    check_played(program.log, ["ni", "hao"], CLIPS)
    close_normally(program)

"""Closing: the idle window closes with exit code 0 by Alt+F4, Esc or its
close box; closed during a run's wait, the run ends quietly, whether units
are left or not: exit code 0 and no error box."""

import pytest

from mci_checks import check_no_command, check_played

CLIPS = {"ni": 1500, "hao": 400}


def close_by(program, how):
    if how == "close box":
        program.click_close_box()
    else:
        program.keys(how)


@pytest.mark.parametrize("how", ["alt+F4", "Escape", "close box"])
def test_the_idle_window_closes_with_exit_code_0(session, how):
    program = session.start_program(session.program_folder("idle", CLIPS))
    program.wait_window()
    close_by(program, how)
    assert program.wait_exit(limit_s=10) == 0, f"exit code after closing the idle window by {how}"
    check_no_command(program.log)


# text, closed during the wait of this clip, clips played before the close
DURING_RUN = [
    ("你好", "units left", ["ni"]),
    ("你", "the last unit", ["ni"]),
]


@pytest.mark.parametrize("how", ["alt+F4", "close box"])
@pytest.mark.parametrize("text, when, played", DURING_RUN, ids=[f"{t} with {w}" for t, w, _ in DURING_RUN])
def test_closing_during_a_wait_ends_quietly(session, text, when, played, how):
    program = session.start_program(session.program_folder("during", CLIPS))
    program.wait_window()
    program.set_text(text)
    program.click_button()
    program.log.wait_command("play syl1 from 0")
    close_by(program, how)
    # The wait ends at once: the process is gone well before the clip's
    # 1.5 s are over. An error box on the way fails the check.
    assert program.wait_exit(limit_s=10) == 0, f"exit code after closing by {how} during the wait of ni ({when})"
    exit_after = program.log.entries()[-1].t - program.log.commands()[0].t
    assert exit_after < CLIPS["ni"], (
        f"the program ended {exit_after:.0f} ms after the clip started, before the clip's {CLIPS['ni']} ms")
    check_played(program.log, played, clip_ms=None)
    assert session.message_box() is None, "error box '错误' shown after the exit"

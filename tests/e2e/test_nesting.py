"""Clicks and edits during a run: a click while a clip is waited out runs the
whole text again from its first unit, cutting the clip off, and then the
first run goes on with its own next unit; an edit takes effect from the next
unit, while the number of bytes walked stays the one the run started with."""

import pytest

from mci_checks import check_played, close_normally, show_syllables, wait_run_done

# Long enough for a click or an edit to land well inside the first wait.
CLIPS = {"ni": 1200, "hao": 500, "zhong": 300, "": 150}


def test_a_click_during_a_wait_runs_the_text_again_then_the_first_run_goes_on(session):
    program = session.start_program(session.program_folder("nested", CLIPS))
    program.wait_window()
    program.set_text("你好")
    program.click_button()
    program.log.wait_command("play syl1 from 0")
    program.click_button()
    # outer ni, nested ni and hao, then the outer run's hao
    expected = ["ni", "ni", "hao", "hao"]
    wait_run_done(program, expected, CLIPS)
    # The nested run cuts the first clip short, so only its own clips and the
    # outer hao need to be waited out in full.
    plays = check_played(program.log, expected, clip_ms=None).plays
    cut = plays[1][1] - plays[0][1]
    assert cut < CLIPS["ni"], (f"the nested run's first clip starts during the first clip's {CLIPS['ni']} ms; "
                               f"actual: {cut:.0f} ms after the first play")
    for k, syllable in [(1, "ni"), (2, "hao")]:
        gap = plays[k + 1][1] - plays[k][1]
        assert gap >= 0.95 * CLIPS[syllable], (
            f"nested clip {syllable} waited out: next clip at least {0.95 * CLIPS[syllable]:.0f} ms after its "
            f"play; actual: {gap:.0f} ms")
    close_normally(program)


# before, text set during the first clip's wait, clips expected
EDITS = [
    ("你好", "你你", ["ni", "ni"]),
    ("你好", "你你好", ["ni", "ni"]),
    ("你好", "你", ["ni"]),  # the next unit starts past the new end: the run ends
    ("你好", "你中", ["ni", "zhong"]),
]


@pytest.mark.parametrize("before, after, expected", EDITS,
                         ids=[f"{b} edited to {a}: {show_syllables(e)}" for b, a, e in EDITS])
def test_an_edit_during_the_first_wait_shows_from_the_next_unit(session, before, after, expected):
    program = session.start_program(session.program_folder("edit", CLIPS))
    program.wait_window()
    program.set_text(before)
    program.click_button()
    program.log.wait_command("play syl1 from 0")
    program.set_text(after)
    wait_run_done(program, expected, CLIPS)
    check_played(program.log, expected, CLIPS)
    close_normally(program)

"""Speaking: the text set into the box and the button clicked, the exact MCI
commands for each clip in order, each clip waited out, and the clips asked
for by units without a syllable."""

import time

import pytest

from mci_checks import check_no_command, check_played, close_normally, wait_run_done

# Clip lengths in ms; '' is the file sylbank\.wav, asked for by every unit
# that has no syllable.
ALL = {"ni": 300, "hao": 400, "zhong": 250, "shuo": 350, "shi": 200, "wu": 200, "zhe": 200, "": 120}
NO_BLANK = {"ni": 300, "hao": 400, "zhong": 250, "shuo": 350}
NO_ZHONG = {"ni": 300, "hao": 400, "": 120}
ONLY_NI_HAO = {"ni": 300, "hao": 400}

# name, clips present, text, clips expected in order ('' = sylbank\.wav);
# None means that no MCI command at all may be sent.
CASES = [
    ("你好 plays ni then hao", ALL, "你好", ["ni", "hao"]),
    ("a你好: the a alone asks for .wav, then ni, hao", ALL, "a你好", ["", "ni", "hao"]),
    ("a你好 without .wav: ni, hao", NO_BLANK, "a你好", ["ni", "hao"]),
    ("你a好: ni, .wav, hao", ALL, "你a好", ["ni", "", "hao"]),
    ("你ab好: the ASCII pair is one unit asking for .wav", ALL, "你ab好", ["ni", "", "hao"]),
    ("ab: one unit asking for .wav", ALL, "ab", [""]),
    ("好好: a repeated character plays twice, each waited out", ALL, "好好", ["hao", "hao"]),
    ("你a: the last byte of an odd length is never a unit", ALL, "你a", ["ni"]),
    ("中 plays zhong", ALL, "中", ["zhong"]),
    ("说 plays its first reading, shuo", ALL, "说", ["shuo"]),
    ("full-width comma asks for .wav", ALL, "，", [""]),
    ("中你 with zhong missing: the missing clip is skipped", NO_ZHONG, "中你", ["ni"]),
    ("empty text box: nothing at all", ALL, "", None),
    ("a alone: nothing at all", ALL, "a", None),
    ("中国 with none of its clips: no command, no error", ONLY_NI_HAO, "中国", None),
    ("ab cd: letters and spaces in a row are one pause", ALL, "ab cd", [""]),
    ("你，。好: marks in a row are one pause", ALL, "你，。好", ["ni", "", "hao"]),
    ("你15好: a number is read in Chinese", ALL, "你15好", ["ni", "shi", "wu", "hao"]),
    ("這是: a traditional character", ALL, "這是", ["zhe", "shi"]),
]


@pytest.mark.parametrize("clips, text, expected", [c[1:] for c in CASES], ids=[c[0] for c in CASES])
def test_click_speaks_the_text(session, clips, text, expected):
    program = session.start_program(session.program_folder("speak", clips))
    program.wait_window()
    program.set_text(text)
    assert program.text() == text.encode("gbk"), "text box bytes after WM_SETTEXT"
    program.click_button()
    if expected is None:
        time.sleep(1.0)
        check_no_command(program.log)
    else:
        wait_run_done(program, expected, clips)
        check_played(program.log, expected, clips)
    close_normally(program)


def test_the_commands_of_two_clips_in_order(session):
    """The whole command pattern of 你好: each clip opened under its own
    alias and measured while the one before plays, started from its
    beginning when that one has ended, the one before closed after it has
    started, the last closed at the end. (The mode queries a wait sends now
    and then are left out.)"""
    program = session.start_program(session.program_folder("pattern", ALL))
    program.wait_window()
    program.set_text("你好")
    program.click_button()
    wait_run_done(program, ["ni", "hao"], ALL)
    commands = [e.cmd for e in program.log.commands() if not e.cmd.endswith(" mode")]
    assert commands == [
        'open "sylbank\\ni.wav" alias syl1', "status syl1 length", "play syl1 from 0",
        'open "sylbank\\hao.wav" alias syl2', "status syl2 length",
        "play syl2 from 0", "close syl1",
        "close syl2",
    ]
    close_normally(program)


def test_a_second_click_after_the_run_speaks_the_text_again(session):
    program = session.start_program(session.program_folder("again", ALL))
    program.wait_window()
    program.set_text("你好")
    program.click_button()
    wait_run_done(program, ["ni", "hao"], ALL)
    program.click_button()
    wait_run_done(program, ["ni", "hao", "ni", "hao"], ALL)
    check_played(program.log, ["ni", "hao", "ni", "hao"], ALL)
    close_normally(program)


def test_a_toned_bank_speaks_with_the_tones_of_running_speech(session):
    """With toned clips in the bank, 你好 plays ni2 (a third tone before a
    third tone) and hao3; where a toned clip is missing the toneless one
    plays."""
    clips = {"ni": 300, "ni2": 300, "ni3": 300, "hao": 400, "hao3": 400, "shi": 200}
    program = session.start_program(session.program_folder("toned", clips))
    program.wait_window()
    program.set_text("你好是")
    program.click_button()
    wait_run_done(program, ["ni2", "hao3", "shi"], clips)
    check_played(program.log, ["ni2", "hao3", "shi"], clips)
    close_normally(program)


def test_three_pasted_lines_are_all_spoken(session):
    """Pasted through the clipboard, every line stays in the box and is
    spoken; each line break is a pause, joined with the marks before it."""
    clips = {"di": 200, "yi": 200, "er": 200, "san": 200, "xing": 200, "": 120}
    program = session.start_program(session.program_folder("lines", clips))
    program.wait_window()
    text = "第一行。\r\n第二行…\r\n第三行。"
    program.paste(text)
    assert program.text() == text.encode("gbk"), "every pasted line is in the box"
    program.click_button()
    expected = ["di", "yi", "xing", "", "di", "er", "xing", "", "di", "san", "xing", ""]
    wait_run_done(program, expected, clips)
    check_played(program.log, expected, clips)
    close_normally(program)

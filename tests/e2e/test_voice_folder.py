"""The clip folder beside the program: when it is missing, or its path is too
long for the clip paths, a click says so in a message box (information icon,
one OK button) and the program goes on; a folder whose name code page 936
cannot hold, or whose GBK name has a backslash as a trail byte, is found."""

import pytest

from mci_checks import check_no_command, check_played, close_normally, wait_run_done
from winedriver.session import write_clips

CLIPS = {"ni": 300, "hao": 400}
NOTICE = "提示"


def test_a_missing_clip_folder_is_told_and_a_later_click_finds_it(session):
    folder = session.program_folder("no-bank", clips=None)
    program = session.start_program(folder)
    program.wait_window()
    program.set_text("你好")
    program.click_button()
    box = session.wait_message_box(NOTICE)
    session.screenshot("missing-bank.png")
    assert box.icon == "information", "the box's icon"
    assert "没有找到语音文件夹" in box.text, "the box says the voice folder was not found: " + box.text
    assert "\\sylbank" in box.text and "programs\\no-bank\\sylbank" in box.text, \
        "the box gives the folder's full path: " + box.text
    assert ".wav" in box.text, "the box says what goes there: " + box.text
    box.dismiss()
    assert program.running(), "the program goes on after OK"
    check_no_command(program.log)

    # The folder appears; the next click speaks.
    write_clips(folder / "sylbank", CLIPS)
    program.click_button()
    wait_run_done(program, ["ni", "hao"], CLIPS)
    check_played(program.log, ["ni", "hao"], CLIPS)
    assert session.message_box(NOTICE) is None, "no box once the folder is there"
    close_normally(program)


@pytest.mark.parametrize("name", ["運誠", "사전 폴더"], ids=["GBK trail byte 0x5C", "outside code page 936"])
def test_a_program_folder_of_any_name_finds_its_clips(session, name):
    program = session.start_program(session.program_folder(name, CLIPS))
    program.wait_window()
    program.set_text("你好")
    program.click_button()
    wait_run_done(program, ["ni", "hao"], CLIPS)
    check_played(program.log, ["ni", "hao"], CLIPS)
    assert session.message_box(NOTICE) is None, "no notice for a folder that is there"
    close_normally(program)


def test_a_folder_path_too_long_for_the_clip_paths_is_told(session):
    # Nested folders until the clip folder's path passes what the ANSI calls
    # can reach with the longest clip name; Linux takes the long path.
    name = "/".join(["a" * 60] * 4)
    program = session.start_program(session.program_folder(name, CLIPS))
    program.wait_window()
    program.set_text("你好")
    program.click_button()
    box = session.wait_message_box(NOTICE)
    assert box.icon == "information", "the box's icon"
    assert "路径太长" in box.text and "259" in box.text, "the box names the path limit: " + box.text
    box.dismiss()
    assert program.running(), "the program goes on after OK"
    check_no_command(program.log)
    close_normally(program)

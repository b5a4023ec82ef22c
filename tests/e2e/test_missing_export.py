"""A winmm.dll beside the program that lacks mciSendStringA: the program
starts and runs; a text without clips binds nothing; the first click that
reaches a clip shows the error box naming the library and the function;
Return dismisses it and the process ends with exit code -1 (255 under
Wine)."""

import time

from mci_checks import check_no_command

CLIPS = {"ni": 300, "hao": 400}


def test_no_mci_export_error_box_at_the_first_clip_then_exit_255(session):
    program = session.start_program(session.program_folder("no-export", CLIPS, winmm="no-export"))
    program.wait_window()
    check_no_command(program.log)

    # No clip for any unit: nothing is bound, so nothing fails.
    program.set_text("中国")
    program.click_button()
    time.sleep(1.0)
    assert session.message_box() is None, "error box '错误' after speaking 中国 (no clips)"
    assert program.running(), "program still running after speaking 中国"
    check_no_command(program.log)

    program.set_text("你好")
    program.click_button()
    box = session.wait_message_box("错误")
    session.screenshot("missing-export-error.png")
    for name in ["winmm.dll", "mciSendStringA"]:
        assert name in box.text, f"the error box's text names {name}"
    # The winmm.dll beside the program was the one loaded (the stand-in logs
    # its loading) and no MCI command reached anything.
    assert "attach" in [e.kind for e in program.log.entries()], \
        "the winmm.dll beside the program was loaded: " + program.log.text()
    assert [e.cmd for e in program.log.commands()] == [], "MCI commands sent"

    box.dismiss()
    assert program.wait_exit(limit_s=10, fail_on_box=None) == 255, \
        "exit code after the error box is dismissed with Return"

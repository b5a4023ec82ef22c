#!/usr/bin/env python3
"""A winmm.dll beside the program that lacks mciSendStringA: the program
starts and runs; a text without clips binds nothing; the first click that
reaches a clip shows the error box naming the library and the function;
Return dismisses it and the process ends with exit code -1 (255 under
Wine). See harness.py for how to run it by hand."""

import time

import harness
from harness import CheckFailed, check_not_loaded, expect, expect_equal

CLIPS = {"ni": 300, "hao": 400}


def wait_error_box(session, limit=10):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        text = session.message_box()
        if text is not None:
            return text
        time.sleep(0.1)
    raise CheckFailed(f"no error box '错误' within {limit} s")


def missing_export(session):
    program = session.start_program(session.program_folder("no-export", CLIPS, winmm="no-export"))
    program.wait_window()
    check_not_loaded(program.log)

    # No clip for any unit: nothing is bound, so nothing fails.
    program.set_text("中国")
    program.click_button()
    time.sleep(1.0)
    expect_equal("error box '错误' after speaking 中国 (no clips)", None, session.message_box())
    expect_equal("program still running after speaking 中国", True, program.running())
    check_not_loaded(program.log)

    program.set_text("你好")
    program.click_button()
    text = wait_error_box(session)
    shot = session.screenshot("missing-export-error.png")
    harness.log(f"error box screenshot: {shot}")
    for name in ["winmm.dll", "mciSendStringA"]:
        expect(f"the error box's text names {name}", name in text, text)
    # The winmm.dll beside the program was the one loaded (the stand-in logs
    # its loading) and no MCI command reached anything.
    entries = [e.kind for e in program.log.entries()]
    expect("the winmm.dll beside the program was loaded", "attach" in entries, program.log.text())
    expect_equal("MCI commands sent", [], [e.cmd for e in program.log.commands()])

    program.dismiss_message_box()
    expect_equal("exit code after the error box is dismissed with Return", 255,
                 program.wait_exit(limit=10, watch_error_box=False))


if __name__ == "__main__":
    harness.run_area("missing_export", [
        ("no mciSendStringA export: error box at the first clip, exit 255", missing_export),
    ])

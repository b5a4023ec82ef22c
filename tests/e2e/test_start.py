#!/usr/bin/env python3
"""Start-up: where the window stands, what it holds, where the focus is, and
that the clip folder is found beside the program whatever the working
directory. See harness.py for how to run it by hand."""

import time

import harness
from harness import BUTTON_ID, EDIT_ID, check_played, expect_equal

CLIPS = {"ni": 300, "hao": 400}

# Win32 style bits the window is made with.
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
ES_MULTILINE = 0x0004
WS_EX_CLIENTEDGE = 0x00000200


def window_layout(session):
    """Centred 380 x 250 on the 1024 x 768 screen, empty title, the text box
    and the button at their places, the focus and caret in the text box."""
    folder = session.program_folder("layout", CLIPS)
    program = session.start_program(folder)
    info = program.wait_window()
    shot = session.screenshot("start.png")
    harness.log(f"start screenshot: {shot}")

    expect_equal("screen size", "1024,768", info["screen"])
    expect_equal("outer window rectangle x,y,width,height", "322,259,380,250", info["rect"])
    expect_equal("window title", "", info["title"])
    style = int(info["style"], 16)
    for name, bit, wanted in [
        ("WS_CAPTION", WS_CAPTION, WS_CAPTION),
        ("WS_SYSMENU", WS_SYSMENU, WS_SYSMENU),
        ("WS_MINIMIZEBOX", WS_MINIMIZEBOX, WS_MINIMIZEBOX),
        ("WS_THICKFRAME (the frame is fixed)", WS_THICKFRAME, 0),
        ("WS_MAXIMIZEBOX (no maximise box)", WS_MAXIMIZEBOX, 0),
    ]:
        expect_equal(f"window style bit {name} in {info['style']}", wanted, style & bit)

    controls = [
        # id, class, client x,y,width,height, text
        (EDIT_ID, "Edit", "72,80,200,64", ""),
        (BUTTON_ID, "Button", "296,104,80,32", "按钮"),
    ]
    for control_id, class_name, rect, text in controls:
        expect_equal(f"class of control {control_id}", class_name.lower(), info[f"ctl{control_id}_class"].lower())
        expect_equal(f"client rectangle of control {control_id}", rect, info[f"ctl{control_id}_rect"])
        expect_equal(f"text of control {control_id}", text, info[f"ctl{control_id}_text"])
        expect_equal(f"control {control_id} visible", "1", info[f"ctl{control_id}_visible"])
        expect_equal(f"control {control_id} enabled", "1", info[f"ctl{control_id}_enabled"])
    expect_equal("text box is one line (ES_MULTILINE clear)", 0, int(info[f"ctl{EDIT_ID}_style"], 16) & ES_MULTILINE)
    expect_equal("text box has a sunken edge (WS_EX_CLIENTEDGE)", WS_EX_CLIENTEDGE,
                 int(info[f"ctl{EDIT_ID}_exstyle"], 16) & WS_EX_CLIENTEDGE)

    expect_equal("control with the keyboard focus", "100", info["focus"])
    expect_equal("control with the caret", "100", info["caret"])

    # The X window Wine made matches: place and outer size.
    code, out = session.xdotool("getwindowgeometry", program.wid)
    expect_equal("xdotool getwindowgeometry exit code", 0, code)
    geometry = " ".join(out.split())
    expect_equal("X window position and size (xdotool getwindowgeometry)", True,
                 "Position: 322,259" in geometry and "Geometry: 380x250" in geometry)

    program.keys("alt+F4")
    expect_equal("exit code after Alt+F4", 0, program.wait_exit())


def typing_goes_into_the_text_box(session):
    """With the focus in the text box at start, typed keys land in it."""
    folder = session.program_folder("typing", CLIPS)
    program = session.start_program(folder)
    program.wait_window()
    program.keys("a", "b", "c")
    expect_equal("text box bytes after typing a, b, c", b"abc", program.text())
    program.keys("alt+F4")
    expect_equal("exit code after Alt+F4", 0, program.wait_exit())


def clips_found_beside_the_program(session):
    """Started from another working directory, which holds a sylbank of its
    own with only the clip zhong, the program speaks 你好中 from the sylbank
    beside it: ni, hao, and no zhong."""
    folder = session.program_folder("beside", CLIPS)
    elsewhere = session.dir / "elsewhere"
    (elsewhere / "sylbank").mkdir(parents=True, exist_ok=True)
    harness.make_wav(elsewhere / "sylbank" / "zhong.wav", 200)
    program = session.start_program(folder, cwd=elsewhere)
    program.wait_window()
    program.set_text("你好中")
    program.click_button()
    program.wait_commands(10, limit=10)
    program.wait_command("status sylbank\\hao.wav length")
    time.sleep(0.6)
    check_played(program.log, ["ni", "hao"], CLIPS)
    program.keys("alt+F4")
    expect_equal("exit code after Alt+F4", 0, program.wait_exit())


if __name__ == "__main__":
    harness.run_area("start", [
        ("window layout, title, focus and caret at start", window_layout),
        ("typing goes into the text box", typing_goes_into_the_text_box),
        ("clips found beside the program from another working directory", clips_found_beside_the_program),
    ])

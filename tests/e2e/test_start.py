"""Start-up: where the window stands, what it holds, where the focus is, and
that the clip folder is found beside the program whatever the working
directory."""

from mci_checks import check_played, wait_run_done
from winedriver import BUTTON_ID, EDIT_ID
from winedriver.sound import write_tone

CLIPS = {"ni": 300, "hao": 400}

# Win32 style bits the window is made with.
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
ES_MULTILINE = 0x0004
ES_AUTOVSCROLL = 0x0040
ES_AUTOHSCROLL = 0x0080
WS_EX_CLIENTEDGE = 0x00000200


def test_window_layout_title_focus_and_caret_at_start(session):
    """Centred 380 x 250 on the 1024 x 768 screen, empty title, the text box
    and the button at their places, the focus and caret in the text box."""
    program = session.start_program(session.program_folder("layout", CLIPS))
    info = program.wait_window()
    session.screenshot("start.png")

    assert info["screen"] == "1024,768", "screen size"
    assert info["rect"] == "322,259,380,250", "outer window rectangle x,y,width,height"
    assert info["title"] == "", "window title"
    style = int(info["style"], 16)
    for name, bit, wanted in [
        ("WS_CAPTION", WS_CAPTION, WS_CAPTION),
        ("WS_SYSMENU", WS_SYSMENU, WS_SYSMENU),
        ("WS_MINIMIZEBOX", WS_MINIMIZEBOX, WS_MINIMIZEBOX),
        ("WS_THICKFRAME (the frame is fixed)", WS_THICKFRAME, 0),
        ("WS_MAXIMIZEBOX (no maximise box)", WS_MAXIMIZEBOX, 0),
    ]:
        assert style & bit == wanted, f"window style bit {name} in {info['style']}"

    controls = [
        # id, class, client x,y,width,height, text
        (EDIT_ID, "Edit", "72,80,200,64", ""),
        (BUTTON_ID, "Button", "296,104,80,32", "按钮"),
    ]
    for control_id, class_name, rect, text in controls:
        assert info[f"ctl{control_id}_class"].lower() == class_name.lower(), f"class of control {control_id}"
        assert info[f"ctl{control_id}_rect"] == rect, f"client rectangle of control {control_id}"
        assert info[f"ctl{control_id}_text"] == text, f"text of control {control_id}"
        assert info[f"ctl{control_id}_visible"] == "1", f"control {control_id} visible"
        assert info[f"ctl{control_id}_enabled"] == "1", f"control {control_id} enabled"
    edit_style = int(info[f"ctl{EDIT_ID}_style"], 16)
    for name, bit, wanted in [
        ("ES_MULTILINE (every pasted line stays)", ES_MULTILINE, ES_MULTILINE),
        ("ES_AUTOVSCROLL", ES_AUTOVSCROLL, ES_AUTOVSCROLL),
        ("ES_AUTOHSCROLL (clear: lines wrap)", ES_AUTOHSCROLL, 0),
    ]:
        assert edit_style & bit == wanted, f"text box style bit {name} in {info[f'ctl{EDIT_ID}_style']}"
    assert int(info[f"ctl{EDIT_ID}_exstyle"], 16) & WS_EX_CLIENTEDGE == WS_EX_CLIENTEDGE, \
        "text box has a sunken edge (WS_EX_CLIENTEDGE)"

    assert info["focus"] == "100", "control with the keyboard focus"
    assert info["caret"] == "100", "control with the caret"

    # The X window Wine made matches: place and outer size.
    geometry = " ".join(session.display.xdotool("getwindowgeometry", program.wid).split())
    assert "Position: 322,259" in geometry and "Geometry: 380x250" in geometry, \
        "X window position and size (xdotool getwindowgeometry)"

    program.keys("alt+F4")
    assert program.wait_exit() == 0, "exit code after Alt+F4"


def test_typing_goes_into_the_text_box(session):
    """With the focus in the text box at start, typed keys land in it."""
    program = session.start_program(session.program_folder("typing", CLIPS))
    program.wait_window()
    program.keys("a", "b", "c")
    assert program.text() == b"abc", "text box bytes after typing a, b, c"
    program.keys("alt+F4")
    assert program.wait_exit() == 0, "exit code after Alt+F4"


def test_clips_found_beside_the_program_from_another_working_directory(session):
    """Started from another working directory, which holds a sylbank of its
    own with only the clip zhong, the program speaks 你好中 from the sylbank
    beside it: ni, hao, and no zhong."""
    folder = session.program_folder("beside", CLIPS)
    elsewhere = session.dir / "elsewhere"
    (elsewhere / "sylbank").mkdir(parents=True, exist_ok=True)
    write_tone(elsewhere / "sylbank" / "zhong.wav", 200)
    program = session.start_program(folder, cwd=elsewhere)
    program.wait_window()
    program.set_text("你好中")
    program.click_button()
    wait_run_done(program, ["ni", "hao"], CLIPS)
    check_played(program.log, ["ni", "hao"], CLIPS)
    program.keys("alt+F4")
    assert program.wait_exit() == 0, "exit code after Alt+F4"

"""The one driver of sylspeak.exe under Wine, for the run command's headless
path and for the end-to-end and sound tests.

    from winedriver import Session
    with Session(work_dir, "build/win64", sound=False) as session:
        folder = session.program_folder("name", clips={"ni": 300})
        program = session.start_program(folder)
        program.wait_window()
        program.set_text("你好")          # or program.paste("你好")
        program.click_button()
        program.log.wait_command("play syl1 from 0")
        program.keys("alt+F4")
        assert program.wait_exit() == 0

Modules: session (display, prefix, wineserver, sound sink, program folders,
helper), program (one run and its message boxes), display (Xvfb, xdotool,
screenshots, clipboard), pulse (null sink and recorder), wine (locale,
template prefix, environment), mcilog (the stand-in winmm.dll's log), sound
(measurements with numpy), processes (stopping and polling), watchdog,
headless (the run command's headless path; python3 -m winedriver).
"""

from winedriver.mcilog import LogEntry, MciLog
from winedriver.processes import DriverError, stop_process, wait_until
from winedriver.program import BUTTON_ID, EDIT_ID, MessageBox, Program
from winedriver.session import Build, Session

__all__ = ["BUTTON_ID", "Build", "DriverError", "EDIT_ID", "LogEntry", "MciLog", "MessageBox", "Program",
           "Session", "stop_process", "wait_until"]

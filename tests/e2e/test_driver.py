"""The driver's own checks: what the end-to-end and sound tests rely on it
for, in the real Wine session (program folders anywhere, text in by message
and by paste, message boxes, pings, the program's process) and without one
(the MCI log, the clean stop and the watchdog)."""

import json
import signal
import subprocess
import sys
from pathlib import Path

import pytest

from conftest import ARTIFACTS, REPO, WIN64_DIR
from winedriver import DriverError, MciLog, wait_until
from winedriver.processes import Pid

CLIPS = {"ni": 300}

# folder name, why it matters
FOLDERS = [
    ("plain", "ASCII"),
    ("運誠", "GBK characters whose second byte is 0x5C, a backslash"),
    ("with space", "a space in the path"),
    ("한글", "Hangul: no code page 936 bytes for it"),
]


@pytest.mark.parametrize("name", [f[0] for f in FOLDERS], ids=[f[1] for f in FOLDERS])
def test_the_program_runs_from_a_folder_of_any_name_and_another_working_directory(session, name):
    folder = session.program_folder(name, CLIPS)
    elsewhere = session.dir / "elsewhere"
    elsewhere.mkdir(exist_ok=True)
    program = session.start_program(folder, cwd=elsewhere)
    program.wait_window()
    program.set_text("你")
    assert program.text() == "你".encode("gbk")
    program.click_button()
    # The clip folder beside the program is found whatever the folder's name.
    program.log.wait_command('open "sylbank\\ni.wav" alias syl1')
    program.keys("alt+F4")
    assert program.wait_exit() == 0
    assert program.leftovers() == []


# how, text given, text box bytes after it
TEXT_IN = [
    ("settext", "你好", "你好".encode("gbk")),
    ("settext", "你好\r\n世界", "你好\r\n世界".encode("gbk")),
    ("settext", b"\xd5\x5c", b"\xd5\x5c"),
    ("paste", "你好", "你好".encode("gbk")),
    ("paste", "a 1", b"a 1"),
    # The multi-line text box keeps every line that is pasted.
    ("paste", "你好\r\n世界", "你好\r\n世界".encode("gbk")),
]


@pytest.mark.parametrize("how, text, expected", TEXT_IN, ids=[f"{h} {t!r}" for h, t, _ in TEXT_IN])
def test_text_reaches_the_box_by_wm_settext_and_by_paste(session, how, text, expected):
    program = session.start_program(session.program_folder("text", CLIPS))
    program.wait_window()
    if how == "settext":
        program.set_text(text)
    else:
        program.paste(text)
    assert program.text() == expected
    program.keys("alt+F4")
    assert program.wait_exit() == 0


def test_paste_needs_the_focus_in_the_text_box(session):
    program = session.start_program(session.program_folder("paste-focus", CLIPS))
    program.wait_window()
    program.keys("Tab")
    with pytest.raises(DriverError, match="not in the text box"):
        program.paste("你好")
    assert program.text() == b""


@pytest.mark.parametrize("kind", ["information", "error"])
def test_a_message_box_is_read_by_its_caption_and_dismissed_with_return(session, kind):
    shower = session.start_helper("showbox", "提示框", f"第一行\n{kind} text",
                                  "info" if kind == "information" else "error")
    box = session.wait_message_box("提示框")
    assert box.text == f"第一行\n{kind} text"
    assert box.icon == kind
    assert session.message_box("另一个") is None
    box.dismiss()
    assert shower.wait(timeout=10) == 0
    assert "answer=1" in shower.output_path.read_text(), "the box was closed by its OK button"
    assert session.message_box("提示框") is None


def test_ping_times_an_answering_window_and_gives_none_for_a_stopped_one(session):
    program = session.start_program(session.program_folder("ping", CLIPS))
    program.wait_window()
    answers = program.pings(3, interval_ms=20, timeout_ms=2000)
    assert len(answers) == 3 and all(a is not None and a >= 0 for a in answers), answers
    program.suspend()
    try:
        assert program.ping(timeout_ms=300) is None
    finally:
        program.resume()
    assert program.ping() is not None
    program.keys("alt+F4")
    assert program.wait_exit() == 0


def test_the_program_process_its_figures_exit_code_and_nothing_left_behind(session):
    program = session.start_program(session.program_folder("process", {"ni": 2000}))
    program.wait_window()
    pid = program.pid
    assert Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")[0].endswith(b"sylspeak.exe")
    assert program.rss_kib() > 1000
    cpu_before = program.cpu_seconds()
    program.set_text("你")
    program.click_button()
    program.log.wait_command("play syl1 from 0")
    # The wait for the clip keeps the window responsive; it may or may not
    # use CPU, but the figure never goes backwards.
    assert program.cpu_seconds() >= cpu_before >= 0
    # The program's process, and the `timeout` that bounds it.
    assert pid in program.leftovers()
    program.keys("alt+F4")
    assert program.wait_exit(limit_s=10) == 0
    assert program.pid is None
    assert program.leftovers() == []


def test_the_exit_code_comes_through_and_a_box_while_waiting_fails_the_wait(session):
    program = session.start_program(session.program_folder("box-wait", CLIPS, winmm="no-export"))
    program.wait_window()
    program.set_text("你")
    program.click_button()
    with pytest.raises(DriverError, match="mciSendStringA"):
        program.wait_exit(limit_s=10)
    # The box was dismissed on the way: the program ends with -1.
    assert program.wait_exit(limit_s=10, fail_on_box=None) == 255


def test_the_mci_log_is_parsed_with_its_escapes_and_without_a_half_written_line(tmp_path):
    path = tmp_path / "mci.log"
    log = MciLog(path)
    assert not log.exists() and log.commands() == []
    path.write_bytes(b"10.500\tattach\n"
                     b"12.000\tmci\tcap=0\thwnd=0000000000000000\tlen=1\thead=0\tret=0\t"
                     b"cmd=open \"sylbank\\x5Cni.wav\" alias syl\n"
                     b"13.250\tmci\tcap=128\thwnd=0\tlen=255\thead=\\xC4\\xE3  \tret=275\tcmd=status x length\n"
                     b"14.0\tmci\tcap=0\tcmd=play")
    assert [e.kind for e in log.entries()] == ["attach", "mci", "mci"]
    first, second = log.commands()
    assert (first.t, first.cmd) == (12.0, 'open "sylbank\\ni.wav" alias syl')
    assert second.values == {"cap": "128", "hwnd": "0", "len": "255", "head": "\xc4\xe3  ", "ret": "275",
                             "cmd": "status x length"}
    log.wait_command("status x length", limit_s=1)
    with pytest.raises(DriverError, match="play"):
        log.wait_command("play", limit_s=0.2)


# A child process makes a session with a sound sink and a program in it,
# prints what it started, and then either stops cleanly or waits to be killed.
CHILD = """
import json, sys, time
sys.path.insert(0, {scripts!r})
from winedriver import Session
session = Session({work!r}, {win64!r}, sound=True)
session.start()
program = session.start_program(session.program_folder("child", None, winmm=None))
program.wait_window()
wineserver = [p for p in __import__("os").listdir("/proc") if p.isdigit() and
              open(f"/proc/{{p}}/cmdline", "rb").read().startswith(b"/usr/lib/wine/wineserver") and
              ("WINEPREFIX=" + str(session.prefix)).encode() in open(f"/proc/{{p}}/environ", "rb").read()]
print(json.dumps({{"xvfb": session.display.proc.pid, "pulse": session.pulse.proc.pid,
                  "program": program.pid, "wineserver": [int(p) for p in wineserver],
                  "prefix": str(session.prefix)}}), flush=True)
if sys.argv[1] == "stop":
    session.stop()
else:
    time.sleep(600)
"""


@pytest.mark.parametrize("end", ["stop", "killed"])
def test_everything_started_is_gone_after_a_stop_or_when_the_driver_is_killed(end):
    work = ARTIFACTS / "test_driver" / f"child-{end}"
    code = CHILD.format(scripts=str(REPO / "scripts" / "wine"), work=str(work), win64=str(WIN64_DIR))
    child = subprocess.Popen([sys.executable, "-c", code, end], stdout=subprocess.PIPE, text=True)
    try:
        started = json.loads(child.stdout.readline())
        processes = [Pid(started[k]) for k in ("xvfb", "pulse", "program")] + \
            [Pid(p) for p in started["wineserver"]]
        assert len(processes) == 4 and all(p.alive() for p in processes), started
        if end == "killed":
            child.send_signal(signal.SIGKILL)
        child.wait(timeout=60)
        wait_until(lambda: not any(p.alive() for p in processes) and not Path(started["prefix"]).exists(), 60,
                   0.2)
        assert [p for p in processes if p.alive()] == []
        assert not Path(started["prefix"]).exists()
    finally:
        if child.poll() is None:
            child.kill()
            child.wait()

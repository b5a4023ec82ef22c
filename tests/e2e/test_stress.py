"""Stress: every syllable, a flood of clicks, a clip whose header claims ten
minutes, and a 200,000-character paste. Each ends with the exit code, no
process left behind, and the window answering pings throughout. The answer
times and the time from the close to the end of the process are printed as
figures, not checked: what fails is a window that does not answer at all
(2 s) and a process that does not end after its window was closed (10 s,
where the faults this guards against took minutes)."""

import statistics
import sys
import struct
import time
from pathlib import Path

from conftest import REPO
from mci_checks import Replay, check_devices, check_played, close_normally, wait_run_done
from winedriver.sound import write_tone

sys.path.insert(0, str(REPO / "tools" / "pinyin"))
import facts  # noqa: E402


def pings_during(program, what, count):
    """count pings 50 ms apart, all answered within 2 s; prints the figures."""
    answers = program.pings(count, interval_ms=50, timeout_ms=2000)
    assert None not in answers, f"the window did not answer a ping within 2 s {what}: {answers}"
    print(f"pings {what}: median {statistics.median(answers):.1f} ms, worst {max(answers):.1f} ms")


def close_while(program, what):
    """Closes by the close box: the process ends with exit code 0, no error
    box, nothing left behind; prints the time it took."""
    start = time.monotonic()
    program.click_close_box()
    code = program.wait_exit(limit_s=10)
    print(f"from the close to the end of the process, {what}: {(time.monotonic() - start) * 1000:.0f} ms")
    assert code == 0, "exit code"
    assert program.session.message_box() is None, "error box shown"
    assert program.leftovers() == [], "processes left behind"


def test_a_text_with_every_syllable_plays_each_clip_in_order(session):
    chosen = facts.first_character_of_each_syllable()
    assert len(chosen) == facts.count("first-syllables"), "one character for each syllable"
    syllables = sorted(chosen)
    clips = {s: 25 for s in syllables}
    program = session.start_program(session.program_folder("every-syllable", clips))
    program.wait_window()
    program.set_text("".join(chosen[s] for s in syllables))
    program.click_button()
    pings_during(program, f"while speaking {len(syllables)} syllables", 40)
    wait_run_done(program, syllables, clips, limit_s=30)
    check_played(program.log, syllables, clips)
    close_normally(program)
    assert program.leftovers() == [], "processes left behind"


def test_fifty_clicks_in_a_second_then_close(session):
    clips = {"ni": 1000, "hao": 1000}
    program = session.start_program(session.program_folder("fifty-clicks", clips))
    program.wait_window()
    program.set_text("你好")
    for _ in range(50):
        program.click_button()
    program.log.wait_command("play syl1 from 0")
    pings_during(program, "with 50 runs nested", 10)
    close_while(program, "50 runs nested")
    check_devices(Replay(program.log.commands()))


def write_lying_clip(path, claimed_ms, real_ms=200, rate=8000):
    """A clip of real_ms whose header claims claimed_ms."""
    write_tone(path, real_ms, rate)
    data = bytearray(Path(path).read_bytes())
    at = data.find(b"data")
    struct.pack_into("<I", data, at + 4, claimed_ms * rate * 2 // 1000)
    Path(path).write_bytes(bytes(data))


def test_a_clip_claiming_ten_minutes_then_close(session):
    folder = session.program_folder("ten-minutes", {"hao": 300})
    write_lying_clip(folder / "sylbank" / "ni.wav", 600000)
    program = session.start_program(folder)
    program.wait_window()
    program.set_text("你好")
    program.click_button()
    program.log.wait_command("play syl1 from 0")
    time.sleep(0.5)
    pings_during(program, "during the ten-minute clip", 10)
    close_while(program, "during a ten-minute clip")


def test_a_200000_character_paste_of_units_without_clips(session):
    # 中 has no clip in this bank: every unit is looked up and skipped. The
    # text comes in lines, as pasted text does: Wine's own edit control takes
    # minutes to wrap one 200,000-character paragraph (18 s for 50,000),
    # before the program sees any of it.
    program = session.start_program(session.program_folder("long-paste", {"hao": 300}))
    program.wait_window()
    text = ("中" * 98 + "\r\n") * 2000
    program.paste(text, limit_s=60)
    assert program.text() == text.encode("gbk"), "the whole paste is in the box"
    program.click_button()
    pings_during(program, "during a 200,000-character text without clips", 40)
    close_while(program, "during a 200,000-character text without clips")

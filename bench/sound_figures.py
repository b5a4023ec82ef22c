#!/usr/bin/env python3
"""Figures of the real program under Wine's own MCI, its sound recorded from
a PulseAudio null sink: not tests, nothing here fails on a time.

  pace     the run command's paragraph of 40 characters: syllables a second
           from its first sound to its last
  first    how long after the click the first clip sounds (5 runs)
  joins    the silence between clips over 20 characters (5 runs of the
           real-sound test, which finds each clip in the recording)
  cpu      the program's share of a core while it speaks for about 10 s
  memory   resident memory after speaking a 400-syllable text once and 20
           times (short clips, so that it takes minutes, not half an hour)

  /usr/bin/python3 bench/sound_figures.py [FIGURE...]   (default: all)

Uses build/win64 and the default bank of build/native (scripts/build.sh).
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "scripts" / "wine"))
sys.path.insert(0, str(REPO / "tools" / "pinyin"))

from winedriver import Session, headless, sound  # noqa: E402
from winedriver.sound import write_tone  # noqa: E402
import facts  # noqa: E402

WIN64 = REPO / "build" / "win64"
BANK = REPO / "build" / "native" / "sylbank"
PARAGRAPH = "春天来了，公园里的花都开了。小朋友们在草地上玩游戏，老人们坐在树下喝茶聊天。大家都很开心。"


def program_dir(session, name, bank=BANK):
    return session.program_folder(name, bank=bank, winmm=None)


def sounding(wav):
    samples, rate = sound.read_wav(wav)
    return sound.find_segments(samples, rate, min_gap_ms=60.0)


def figure_pace(session):
    spoken = headless.speak(session, program_dir(session, "pace"), PARAGRAPH, session.dir / "pace")
    segments = sounding(spoken.wav)
    seconds = (segments[-1].end_ms - segments[0].start_ms) / 1000
    syllables = sum(c not in "，。" for c in PARAGRAPH)
    print(f"pace: {syllables} syllables in {seconds:.2f} s: {syllables / seconds:.2f} syllables a second")


def figure_first(session):
    delays = []
    for run in range(5):
        spoken = headless.speak(session, program_dir(session, f"first{run}"), "你好", session.dir / f"first{run}")
        delays.append(sounding(spoken.wav)[0].start_ms - spoken.click_ms)
    print(f"first word: {statistics.median(delays):.0f} ms after the click (median of 5; "
          f"{', '.join(f'{d:.0f}' for d in delays)})")


def figure_joins(session):
    # The real-sound test measures the joins clip by clip; five runs of it.
    env = dict(os.environ, SYLSPEAK_GAP_RUNS="5", PYTHONDONTWRITEBYTECODE="1")
    result = subprocess.run([sys.executable, "-m", "pytest", "-s", "-q", str(REPO / "tests" / "sound" /
                             "test_real_sound.py"), "-k", "twenty"], env=env, capture_output=True, text=True,
                            cwd=session.dir)
    lines = [line for line in result.stdout.splitlines() if line.startswith(("GAPS", "run "))
             and ("median" in line or "after the click" in line)]
    print("joins:\n  " + "\n  ".join(lines) if lines else "joins: the real-sound test failed:\n" + result.stdout)


def figure_cpu(session):
    program = session.start_program(program_dir(session, "cpu"))
    program.wait_window()
    program.paste(PARAGRAPH)
    before, start = program.cpu_seconds(), time.monotonic()
    program.click_button()
    time.sleep(10)
    used, wall = program.cpu_seconds() - before, time.monotonic() - start
    print(f"cpu while speaking: {100 * used / wall:.1f}% of a core over {wall:.1f} s")
    program.keys("alt+F4")
    program.wait_exit()


def figure_memory(session):
    with tempfile.TemporaryDirectory() as scratch:
        short = Path(scratch) / "sylbank"
        short.mkdir()
        chosen = facts.first_character_of_each_syllable()
        for syllable in chosen:
            write_tone(short / f"{syllable}.wav", 5)
        text = "".join(chosen.values())
        text = (text * 2)[:400]
        program = session.start_program(program_dir(session, "memory", bank=short), limit_s=1800)
        program.wait_window()
        program.paste(text)
        figures = []
        for run in range(20):
            program.click_button()
            time.sleep(0.5)
            while program.cpu_seconds() is not None:
                used = program.cpu_seconds()
                time.sleep(1.0)
                if program.cpu_seconds() - used < 0.02:
                    break
            figures.append(program.rss_kib())
            program.keys("Tab")  # back into the text box: a click leaves the focus on the button
        print(f"memory: {figures[0]} KiB after the first time, {figures[-1]} KiB after the 20th: "
              f"{figures[-1] - figures[0]:+d} KiB")
        program.keys("alt+F4")
        program.wait_exit()


FIGURES = {"pace": figure_pace, "first": figure_first, "joins": figure_joins, "cpu": figure_cpu,
           "memory": figure_memory}

if __name__ == "__main__":
    chosen = sys.argv[1:] or list(FIGURES)
    with tempfile.TemporaryDirectory() as work, Session(Path(work) / "session", WIN64, sound=True) as session:
        for name in chosen:
            FIGURES[name](session)

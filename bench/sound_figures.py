#!/usr/bin/env python3
"""Figures of the real program under Wine's own MCI, its sound recorded from
a PulseAudio null sink: not tests, nothing here fails on a time.

  pace     the paragraph of 40 characters the clip bank's pace figure is
           given for (tools/sylbank/bank_figures.py): syllables a second
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

import argparse
import contextlib
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
sys.path.insert(0, str(REPO / "tools" / "sylbank"))

from winedriver import Session, headless, sound  # noqa: E402
from bank_figures import PARAGRAPH, PARAGRAPH_SYLLABLES  # noqa: E402
import facts  # noqa: E402

WIN64 = REPO / "build" / "win64"
BANK = REPO / "build" / "native" / "sylbank"


def program_dir(session, name):
    return session.program_folder(name, bank=BANK, winmm=None)


def sounding(wav):
    samples, rate = sound.read_wav(wav)
    return sound.find_segments(samples, rate, min_gap_ms=60.0)


def figure_pace(session):
    spoken = headless.speak(session, program_dir(session, "pace"), PARAGRAPH, session.dir / "pace")
    segments = sounding(spoken.wav)
    seconds = (segments[-1].end_ms - segments[0].start_ms) / 1000
    print(f"pace: {PARAGRAPH_SYLLABLES} syllables in {seconds:.2f} s: "
          f"{PARAGRAPH_SYLLABLES / seconds:.2f} syllables a second")


def figure_first(session):
    delays = []
    for run in range(5):
        spoken = headless.speak(session, program_dir(session, f"first{run}"), "你好", session.dir / f"first{run}")
        delays.append(sounding(spoken.wav)[0].start_ms - spoken.click_ms)
    print(f"first word: {statistics.median(delays):.0f} ms after the click (median of 5; "
          f"{', '.join(f'{d:.0f}' for d in delays)})")


def figure_joins(work):
    # The real-sound test measures the joins clip by clip; five runs of it,
    # in a Wine session of its own.
    env = dict(os.environ, SYLSPEAK_GAP_RUNS="5", PYTHONDONTWRITEBYTECODE="1")
    result = subprocess.run([sys.executable, "-m", "pytest", "-s", "-q", str(REPO / "tests" / "sound" /
                             "test_real_sound.py"), "-k", "twenty"], env=env, capture_output=True, text=True,
                            cwd=work)
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
    chosen = facts.first_character_of_each_syllable()
    text = "".join(chosen.values())
    text = (text * 2)[:400]
    folder = session.program_folder("memory", clips={s: 5 for s in chosen}, winmm=None)
    program = session.start_program(folder, limit_s=1800)
    program.wait_window()
    program.paste(text)
    figures = []
    for run in range(20):
        program.click_button()
        time.sleep(0.5)
        # Done speaking once a second passes with next to no CPU time used.
        used = program.cpu_seconds()
        while True:
            time.sleep(1.0)
            now = program.cpu_seconds()
            if now - used < 0.02:
                break
            used = now
        figures.append(program.rss_kib())
        program.keys("Tab")  # back into the text box: a click leaves the focus on the button
    print(f"memory: {figures[0]} KiB after the first time, {figures[-1]} KiB after the 20th: "
          f"{figures[-1] - figures[0]:+d} KiB")
    program.keys("alt+F4")
    program.wait_exit()


# The figures in the order they are taken; the joins figure runs the
# real-sound test, which starts a Wine session of its own, and is given a
# work folder; the others share one session with a sound sink.
FIGURES = {"pace": figure_pace, "first": figure_first, "joins": figure_joins, "cpu": figure_cpu,
           "memory": figure_memory}
WITHOUT_SESSION = {"joins"}


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("figures", nargs="*", metavar="FIGURE", help=", ".join(FIGURES) + " (default: all)")
    names = parser.parse_args().figures or list(FIGURES)
    unknown = [name for name in names if name not in FIGURES]
    if unknown:
        parser.error(f"no figure {', '.join(unknown)}: choose from {', '.join(FIGURES)}")
    with tempfile.TemporaryDirectory() as work, contextlib.ExitStack() as stack:
        session = None
        if any(name not in WITHOUT_SESSION for name in names):
            session = stack.enter_context(Session(Path(work) / "session", WIN64, sound=True))
        for name in names:
            FIGURES[name](work if name in WITHOUT_SESSION else session)


if __name__ == "__main__":
    main()

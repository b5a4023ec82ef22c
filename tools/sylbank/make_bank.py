#!/usr/bin/python3
"""Makes the default clip bank: a clip for every clip name the program can
ask for, spoken by espeak-ng and shaped with numpy, plus the short pause
".wav" that the program plays for a run of units without a syllable.

  make_bank.py [--checker PATH] [--clips FILE] [--jobs N] OUTDIR

The clips to make come from `sylbank-check --clips` (the program's own
lookup tables): one line per clip, its name and what espeak-ng says for it,
e.g. "ni3<TAB>ni3", or "ni<TAB>ni3" for the toneless clip, which is spoken in
the syllable's most common tone. --clips FILE reads that list from a file
instead. The finished bank is checked with the checker when one is given or
on PATH, and a bank it does not pass fails the run.

Each clip: the voice cmn-latn-pinyin at SPEED words (here syllables) a
minute, the DC offset filtered out, brought to one speech level, cut to the
speech and faded at both ends (clip_audio.shape_clip), 16-bit mono PCM at
22,050 Hz.

Why SPEED 250: the program plays clip after clip with about 10 ms between
them and the pause once per run of punctuation, so the clips' lengths set
the pace. Measured on every third toned clip (466) and on the 40-character
paragraph of tests/sylbank/test_default_bank.py (five punctuation runs):

  speed  median clip  paragraph          the clip shrunk most, against 175
  175    292 ms       3.29 syllables/s
  200    251 ms       3.78               keeps 0.79 of its length
  225    220 ms       4.26               0.65
  250    195 ms       4.74               0.54
  275    176 ms       5.18               0.46
  300    155 ms       5.76               0.34

Natural reading is 4 to 5 syllables a second; 250 lies inside with room
for the time Windows takes between clips. espeak-ng speeds up by shortening
the vowels and keeps every phoneme up to here (the trim keeps at least
99.998 % of each clip's energy); above it the fastest-shrinking syllables
lose two thirds of their length. No tempo change of the samples is needed.
"""

import argparse
import concurrent.futures
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np

import bank_figures
import clip_audio

VOICE = "cmn-latn-pinyin"
SPEED = 250
# Every clip's speech level; peaks above clip_audio.CEILING_DBFS are turned
# down. At -18 dBFS the median clip peaks at -4 dBFS.
LEVEL_DBFS = -18.0
PAUSE_MS = 120

NAME = re.compile(r"^[a-z]{1,6}[1-5]?$")
SPOKEN = re.compile(r"^[a-z]{1,6}[1-5]$")


def fail(message):
    print(f"make-bank: {message}", file=sys.stderr)
    sys.exit(1)


def read_clip_list(args):
    if args.clips:
        with open(args.clips, encoding="ascii") as f:
            text = f.read()
    else:
        try:
            text = subprocess.run([args.checker, "--clips"], check=True, capture_output=True,
                                  text=True).stdout
        except (OSError, subprocess.CalledProcessError) as e:
            fail(f"cannot get the clip list from {args.checker} --clips: {e}")
    clips = []
    for line in text.splitlines():
        if not line:
            continue
        parts = line.split("\t")
        # The names become file names: refuse anything else.
        if len(parts) != 2 or not NAME.match(parts[0]) or not SPOKEN.match(parts[1]):
            fail(f"bad line in the clip list: {line!r}")
        clips.append((parts[0], parts[1]))
    if not clips:
        fail("the clip list is empty")
    if len({name for name, _ in clips}) != len(clips):
        fail("the clip list names a clip twice")
    return clips


def check_espeak():
    if shutil.which("espeak-ng") is None:
        fail("espeak-ng is not installed (scripts/install-packages.sh installs it)")
    voices = subprocess.run(["espeak-ng", "--voices"], capture_output=True, text=True).stdout
    if not re.search(rf"\b{re.escape(VOICE)}\b", voices):
        fail(f"espeak-ng has no voice {VOICE}")


def make_clip(name, spoken, folder):
    """Speaks one clip and writes it; gives the share of its energy kept."""
    try:
        out = subprocess.run(["espeak-ng", "-v", VOICE, "-s", str(SPEED), "--stdout", spoken],
                             check=True, capture_output=True).stdout
        clip, kept = clip_audio.shape_clip(clip_audio.read_wav(io.BytesIO(out)), LEVEL_DBFS)
    except (subprocess.CalledProcessError, ValueError, EOFError) as e:
        raise RuntimeError(f"espeak-ng could not speak {spoken} for {name}.wav: {e}") from e
    clip_audio.write_wav(os.path.join(folder, name + ".wav"), clip)
    return name, kept


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--checker", default="sylbank-check")
    parser.add_argument("--clips", help="the clip list, as sylbank-check --clips writes it")
    parser.add_argument("--jobs", type=int, default=2 * (os.cpu_count() or 1),
                        help="espeak-ng runs at a time (default: twice the cores: "
                             "each run spends much of its time loading its data)")
    parser.add_argument("outdir")
    args = parser.parse_args()

    clips = read_clip_list(args)
    check_espeak()
    start = time.monotonic()
    outdir = os.path.abspath(args.outdir)
    parent = os.path.dirname(outdir)
    os.makedirs(parent, exist_ok=True)
    # Made beside OUTDIR and moved in place whole: a failed run leaves no
    # half bank behind.
    work = tempfile.mkdtemp(prefix=".make-bank-", dir=parent)
    try:
        print(f"make-bank: speaking {len(clips)} clips with espeak-ng -v {VOICE} -s {SPEED}, "
              f"{args.jobs} at a time")
        kept = []
        pool = concurrent.futures.ThreadPoolExecutor(args.jobs)
        try:
            jobs = [pool.submit(make_clip, name, spoken, work) for name, spoken in clips]
            for job in concurrent.futures.as_completed(jobs):
                kept.append(job.result())
                if len(kept) % 200 == 0:
                    print(f"make-bank: {len(kept)}/{len(clips)} clips")
        finally:
            # On a failure, drop the clips not started yet.
            pool.shutdown(cancel_futures=True)
        # The no-syllable clip: a short pause, so that punctuation and Latin
        # letters leave a gap between words instead of running them together.
        clip_audio.write_wav(os.path.join(work, ".wav"),
                             np.zeros(clip_audio.RATE * PAUSE_MS // 1000))
        shutil.rmtree(outdir, ignore_errors=True)
        os.rename(work, outdir)
    except RuntimeError as e:
        fail(str(e))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"make-bank: {len(clips)} clips and the pause made in {time.monotonic() - start:.0f} s")
    for line in bank_figures.summary(*bank_figures.measure(outdir)):
        print(f"make-bank: {line}")
    least, name = min((share, name) for name, share in kept)
    print(f"make-bank: the trim keeps at least {least * 100:.4f} % of a clip's energy ({name})")

    checker = shutil.which(args.checker)
    if checker:
        check = subprocess.run([checker, outdir], capture_output=True, text=True)
        if check.returncode != 0:
            sys.stderr.write(check.stdout + check.stderr)
            fail("the new bank does not pass sylbank-check")
        for line in check.stdout.splitlines():
            if line.startswith(("Syllable clips:", "Toned clips:", "Result:")):
                print(f"make-bank: {line}")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Small measurements on recorded speech, with the Python standard library only.

  soundtool.py segments WAV [--threshold-db -45] [--min-gap-ms 7.5] [--json]
      The stretches of sound in WAV, one line each: start, end and length in
      milliseconds (or JSON with --json).
  soundtool.py quiet-inside CLIP... [--threshold-db -45]
      The longest quiet run inside any of the clips (not counting their
      edges) and the clip it is in: a gap between clips must be longer than
      this to be told apart from a pause inside a clip.
  soundtool.py wait-end RAW [--rate 22050] [--quiet-ms 1000] [--start-timeout 20]
                        [--timeout 120]
      Follows a raw 16-bit mono recording that is still being written and
      returns once sound has started and then stayed away for --quiet-ms.
      Exit code 0: sound came and went; 3: no sound before --start-timeout;
      4: still sounding at --timeout.

How sound is found: a sample sounds when its magnitude reaches the threshold
(relative to full scale). A run of quiet samples at least --min-gap-ms long
separates two segments; shorter quiet runs (zero crossings, soft consonants,
a dropped buffer) stay inside one. Working on samples rather than on a
frame envelope keeps lengths and gaps exact to the sample, which matters
because the gaps between clips are only 10 to 40 ms long.
"""

import argparse
import array
import json
import math
import os
import sys
import time
import wave

FULL_SCALE = 32768.0
# Sound is anything at or above -45 dBFS (184 of 32768): well under the
# clips' speech (trimmed at -40 dBFS, peaks at -3 dBFS) and well over the
# null sink's silence, which is digital zero.
DEFAULT_THRESHOLD_DB = -45.0
# A quiet run this long separates two clips. Inside one clip of the default
# bank quiet runs stay under 5 ms (except the voiced closure of the b-
# syllables, about 20 ms); Wine's output sometimes inserts up to 5 ms of
# zeros into a clip when a buffer comes late; between two clips the program
# leaves 10 to 40 ms.
DEFAULT_MIN_GAP_MS = 7.5


def db_to_amplitude(db):
    return FULL_SCALE * 10.0 ** (db / 20.0)


def read_wav(path):
    """Samples (signed 16-bit, first channel) and the sample rate."""
    with wave.open(path, "rb") as w:
        if w.getsampwidth() != 2:
            raise ValueError(f"{path}: {8 * w.getsampwidth()}-bit samples, expected 16-bit")
        channels = w.getnchannels()
        rate = w.getframerate()
        data = array.array("h", w.readframes(w.getnframes()))
    if sys.byteorder == "big":
        data.byteswap()
    if channels > 1:
        data = data[::channels]
    return data, rate


class Segment:
    def __init__(self, start, end, rate):
        self.start = start  # first sample
        self.end = end  # one past the last sample
        self.rate = rate

    @property
    def start_ms(self):
        return 1000.0 * self.start / self.rate

    @property
    def end_ms(self):
        return 1000.0 * self.end / self.rate

    @property
    def length_ms(self):
        return 1000.0 * (self.end - self.start) / self.rate

    def as_dict(self):
        return {
            "start_ms": round(self.start_ms, 1),
            "end_ms": round(self.end_ms, 1),
            "length_ms": round(self.length_ms, 1),
        }

    def __repr__(self):
        return f"{self.start_ms:.1f}-{self.end_ms:.1f} ms ({self.length_ms:.1f} ms)"


def quiet_runs(samples, threshold):
    """(first, end) of each run of samples whose magnitude is below threshold."""
    runs = []
    start = None
    for i, x in enumerate(samples):
        if -threshold < x < threshold:
            if start is None:
                start = i
        elif start is not None:
            runs.append((start, i))
            start = None
    if start is not None:
        runs.append((start, len(samples)))
    return runs


def find_segments(samples, rate, threshold_db=DEFAULT_THRESHOLD_DB, min_gap_ms=DEFAULT_MIN_GAP_MS):
    """Stretches of sound: what lies between quiet runs of at least min_gap_ms
    (and before the first and after the last), trimmed to the first and last
    sample at the threshold."""
    threshold = db_to_amplitude(threshold_db)
    min_gap = max(1, int(round(rate * min_gap_ms / 1000)))
    gaps = [run for run in quiet_runs(samples, threshold) if run[1] - run[0] >= min_gap]
    bounds = [0] + [edge for run in gaps for edge in run] + [len(samples)]
    segments = []
    for start, end in zip(bounds[0::2], bounds[1::2]):
        while start < end and abs(samples[start]) < threshold:
            start += 1
        while end > start and abs(samples[end - 1]) < threshold:
            end -= 1
        if end > start:
            segments.append(Segment(start, end, rate))
    return segments


def longest_quiet_inside(samples, rate, threshold_db=DEFAULT_THRESHOLD_DB):
    """Longest quiet run between the first and the last sample at the
    threshold, in milliseconds."""
    threshold = db_to_amplitude(threshold_db)
    longest = 0
    for start, end in quiet_runs(samples, threshold):
        if start > 0 and end < len(samples):
            longest = max(longest, end - start)
    return 1000.0 * longest / rate


def _as_bytes(samples):
    data = array.array("h", samples)
    if sys.byteorder == "big":
        data.byteswap()
    return data.tobytes()


HEAD_SAMPLES = 64  # 3 ms at 22050 Hz: enough to be unique in speech


def find_clip(recording_bytes, clip, from_sample=0):
    """First sample at or after from_sample where the recording (as bytes, from
    _as_bytes) holds the clip's first samples exactly, or None. The null sink
    at the clips' own format passes them through unchanged, so an exact match
    is the clip."""
    # Skip the clip's leading quiet samples: a match on near-zero values
    # would mean nothing.
    first = 0
    while first < len(clip) and abs(clip[first]) < 64:
        first += 1
    head = _as_bytes(clip[first:first + HEAD_SAMPLES])
    if len(head) < 2 * 8:
        return None
    at = 2 * (from_sample + first)
    while True:
        found = recording_bytes.find(head, at)
        if found < 0:
            return None
        if found % 2 == 0:
            return found // 2 - first
        at = found + 1


def locate_clips(samples, rate, clips, threshold_db=DEFAULT_THRESHOLD_DB):
    """Finds the clips, in this order, in the recording. Each one's segment
    runs from where it starts to its last sounding sample before the next
    one starts (Wine may drop a few ms of its end; the next one may follow
    with no gap at all, which a threshold alone cannot see). Returns the
    segments, or (None, index of the first clip not found)."""
    threshold = db_to_amplitude(threshold_db)
    recording_bytes = _as_bytes(samples)
    starts = []
    at = 0
    for i, clip in enumerate(clips):
        start = find_clip(recording_bytes, clip, at)
        if start is None:
            return None, i
        starts.append(start)
        at = start + 1
    segments = []
    for i, start in enumerate(starts):
        limit = min(start + len(clips[i]), starts[i + 1] if i + 1 < len(starts) else len(samples))
        end = limit
        while end > start and abs(samples[end - 1]) < threshold:
            end -= 1
        segments.append(Segment(start, end, rate))
    return segments, None


def sound_outside(samples, rate, segments, threshold_db=DEFAULT_THRESHOLD_DB):
    """Milliseconds of sounding samples that lie in none of the segments."""
    threshold = db_to_amplitude(threshold_db)
    inside = bytearray(len(samples))
    for s in segments:
        inside[s.start:s.end] = b"\x01" * (s.end - s.start)
    count = sum(1 for i, x in enumerate(samples) if not inside[i] and abs(x) >= threshold)
    return 1000.0 * count / rate


def cmd_segments(args):
    samples, rate = read_wav(args.wav)
    segments = find_segments(samples, rate, args.threshold_db, args.min_gap_ms)
    if args.json:
        json.dump([s.as_dict() for s in segments], sys.stdout)
        print()
    else:
        for s in segments:
            print(f"{s.start_ms:9.1f} {s.end_ms:9.1f} {s.length_ms:8.1f}")
    return 0


def cmd_quiet_inside(args):
    worst = 0.0
    worst_name = ""
    for path in args.clips:
        samples, rate = read_wav(path)
        quiet = longest_quiet_inside(samples, rate, args.threshold_db)
        if quiet > worst:
            worst, worst_name = quiet, os.path.basename(path)
    print(f"{worst:.1f} {worst_name}")
    return 0


def cmd_wait_end(args):
    """Reads the growing file in whole frames; quiet means frame RMS at or
    below the threshold."""
    frame = max(1, args.rate // 100)  # 10 ms
    frame_bytes = 2 * frame
    threshold = db_to_amplitude(args.threshold_db)
    quiet_frames_needed = max(1, int(args.quiet_ms / 10))
    begun = time.monotonic()
    heard = False
    quiet_run = 0
    frames_read = 0
    first_sound_ms = None
    pending = b""
    with open(args.raw, "rb") as f:
        while True:
            chunk = f.read()
            if chunk:
                pending += chunk
                whole = len(pending) // frame_bytes * frame_bytes
                data = array.array("h", pending[:whole])
                pending = pending[whole:]
                if sys.byteorder == "big":
                    data.byteswap()
                for i in range(0, len(data), frame):
                    total = 0
                    for x in data[i : i + frame]:
                        total += x * x
                    loud = math.sqrt(total / frame) > threshold
                    frames_read += 1
                    if loud:
                        if not heard:
                            first_sound_ms = frames_read * 10
                        heard = True
                        quiet_run = 0
                    else:
                        quiet_run += 1
                if heard and quiet_run >= quiet_frames_needed:
                    last_ms = (frames_read - quiet_run) * 10
                    print(f"sound from {first_sound_ms} ms to {last_ms} ms of the recording")
                    return 0
            elapsed = time.monotonic() - begun
            if not heard and elapsed > args.start_timeout:
                print(f"no sound within {args.start_timeout:g} s", file=sys.stderr)
                return 3
            if elapsed > args.timeout:
                print(f"still sounding after {args.timeout:g} s", file=sys.stderr)
                return 4
            time.sleep(0.05)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)

    p = sub.add_parser("segments")
    p.add_argument("wav")
    p.add_argument("--threshold-db", type=float, default=DEFAULT_THRESHOLD_DB)
    p.add_argument("--min-gap-ms", type=float, default=DEFAULT_MIN_GAP_MS)
    p.add_argument("--json", action="store_true")
    p.set_defaults(func=cmd_segments)

    p = sub.add_parser("quiet-inside")
    p.add_argument("clips", nargs="+")
    p.add_argument("--threshold-db", type=float, default=DEFAULT_THRESHOLD_DB)
    p.set_defaults(func=cmd_quiet_inside)

    p = sub.add_parser("wait-end")
    p.add_argument("raw")
    p.add_argument("--rate", type=int, default=22050)
    p.add_argument("--threshold-db", type=float, default=DEFAULT_THRESHOLD_DB)
    p.add_argument("--quiet-ms", type=float, default=1000.0)
    p.add_argument("--start-timeout", type=float, default=20.0)
    p.add_argument("--timeout", type=float, default=120.0)
    p.set_defaults(func=cmd_wait_end)

    args = parser.parse_args()
    return args.func(args)


if __name__ == "__main__":
    sys.exit(main())

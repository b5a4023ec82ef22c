"""Measurements on recorded speech, with numpy.

How sound is found: a sample sounds when its magnitude reaches the threshold
(relative to full scale). A run of quiet samples at least min_gap_ms long
separates two stretches of sound; shorter quiet runs (zero crossings, soft
consonants, a dropped buffer) stay inside one. Working on samples rather
than on a frame envelope keeps lengths and gaps exact to the sample, which
matters because the gaps between clips are only 10 to 40 ms long.
"""

import statistics
import time
import wave
from pathlib import Path

import numpy as np

FULL_SCALE = 32768.0
# Sound is anything at or above -45 dBFS (184 of 32768): well under the
# clips' speech (trimmed at -40 dBFS, peaks at -3 dBFS) and well over the
# null sink's silence, which is digital zero.
THRESHOLD_DB = -45.0
# A quiet run this long separates two clips. Inside one clip of the default
# bank quiet runs stay under 5 ms (except the voiced closure of the b-
# syllables, about 20 ms); Wine's output sometimes inserts up to 5 ms of
# zeros into a clip when a buffer comes late; between two clips the program
# leaves 10 to 40 ms.
MIN_GAP_MS = 7.5


def threshold():
    """THRESHOLD_DB in sample values."""
    return FULL_SCALE * 10.0 ** (THRESHOLD_DB / 20.0)


def read_wav(path):
    """Samples (int16, first channel) and the sample rate of a 16-bit WAV."""
    with wave.open(str(path), "rb") as w:
        if w.getsampwidth() != 2:
            raise ValueError(f"{path}: {8 * w.getsampwidth()}-bit samples, expected 16-bit")
        channels, rate = w.getnchannels(), w.getframerate()
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2")
    return data[::channels].astype(np.int16), rate


def write_tone(path, ms, rate=8000):
    """A WAV clip of exactly ms milliseconds: a quiet 440 Hz tone, 16-bit
    mono at 8 kHz by default (so that every millisecond is a whole number of
    samples)."""
    n = round(rate * ms / 1000)
    tone = (0.1 * 32767 * np.sin(2 * np.pi * 440 * np.arange(n) / rate)).astype("<i2")
    with wave.open(str(path), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(tone.tobytes())
    return Path(path)


class Segment:
    """A stretch of sound: samples start up to (not including) end."""

    def __init__(self, start, end, rate):
        self.start, self.end, self.rate = int(start), int(end), rate

    @property
    def start_ms(self):
        return 1000.0 * self.start / self.rate

    @property
    def end_ms(self):
        return 1000.0 * self.end / self.rate

    @property
    def length_ms(self):
        return 1000.0 * (self.end - self.start) / self.rate

    def __repr__(self):
        return f"{self.start_ms:.1f}-{self.end_ms:.1f} ms ({self.length_ms:.1f} ms)"


def _loud(samples):
    return np.flatnonzero(np.abs(samples.astype(np.int32)) >= threshold())


def find_segments(samples, rate, min_gap_ms=MIN_GAP_MS):
    """The stretches of sound, each from its first to its last sounding
    sample, split wherever at least min_gap_ms of quiet samples lie."""
    loud = _loud(samples)
    if loud.size == 0:
        return []
    min_gap = max(1, int(round(rate * min_gap_ms / 1000)))
    split = np.flatnonzero(np.diff(loud) - 1 >= min_gap)
    starts = np.concatenate(([loud[0]], loud[split + 1]))
    ends = np.concatenate((loud[split], [loud[-1]])) + 1
    return [Segment(s, e, rate) for s, e in zip(starts, ends)]


def sounding_ms(clip, rate):
    """How long a clip sounds: from its first to its last sounding sample."""
    loud = _loud(clip)
    return 0.0 if loud.size == 0 else 1000.0 * (loud[-1] + 1 - loud[0]) / rate


def longest_quiet_inside(samples, rate):
    """The longest quiet run between the first and the last sounding sample,
    in ms: a gap between clips must be longer to be told apart from a pause
    inside a clip."""
    loud = _loud(samples)
    if loud.size < 2:
        return 0.0
    return 1000.0 * int((np.diff(loud) - 1).max()) / rate


def gaps_ms(segments):
    """The silences between one stretch and the next."""
    return [b.start_ms - a.end_ms for a, b in zip(segments, segments[1:])]


def gap_figures(segments):
    """(median, worst) gap in ms, or None with fewer than two stretches."""
    gaps = gaps_ms(segments)
    return (statistics.median(gaps), max(gaps)) if gaps else None


def levels(samples):
    """(maximum, RMS) amplitude as fractions of full scale; the maximum is
    the largest sample value, as sox stat gives it."""
    if samples.size == 0:
        return 0.0, 0.0
    as_float = samples.astype(np.float64)
    return float(as_float.max()) / FULL_SCALE, float(np.sqrt(np.mean(as_float ** 2))) / FULL_SCALE


class LengthMatch:
    def __init__(self, segment, name, expected_ms, allowed_ms):
        self.segment, self.name, self.expected_ms, self.allowed_ms = segment, name, expected_ms, allowed_ms
        self.ok = abs(segment.length_ms - expected_ms) <= allowed_ms

    def __repr__(self):
        return (f"{self.name}: recorded {self.segment.length_ms:.1f} ms, clip {self.expected_ms:.1f} ms "
                f"(allowed +-{self.allowed_ms:.0f} ms) {'ok' if self.ok else 'WRONG'}")


def match_lengths(segments, clips, rate, fraction=0.25, least_ms=60.0):
    """Pairs each stretch with the clip expected there, clips being a list of
    (name, samples) in order; a stretch matches its clip when its length is
    within the larger of fraction of the clip's sounding length and least_ms.
    Stretches or clips left over have no pair."""
    matches = []
    for segment, (name, clip) in zip(segments, clips):
        expected = sounding_ms(clip, rate)
        matches.append(LengthMatch(segment, name, expected, max(fraction * expected, least_ms)))
    return matches


HEAD_SAMPLES = 64  # 3 ms at 22050 Hz: enough to be unique in speech


def _find_clip(recording_bytes, clip, from_sample):
    """The first sample at or after from_sample where the recording holds
    the clip's first sounding samples exactly, or None. The null sink at the
    clips' own format passes them through unchanged, so an exact match is
    the clip."""
    # Skip the clip's leading quiet samples: a match on near-zero values
    # would mean nothing.
    sounding = np.flatnonzero(np.abs(clip.astype(np.int32)) >= 64)
    if sounding.size == 0:
        return None
    first = int(sounding[0])
    head = clip[first:first + HEAD_SAMPLES].astype("<i2").tobytes()
    if len(head) < 16:
        return None
    at = 2 * (from_sample + first)
    while True:
        found = recording_bytes.find(head, at)
        if found < 0:
            return None
        if found % 2 == 0:
            return found // 2 - first
        at = found + 1


def clip_starts(samples, clips):
    """Finds the clips, in this order, in the recording, sample for sample:
    (the sample at which each one starts, None), or (None, index of the
    first clip not found)."""
    recording = samples.astype("<i2").tobytes()
    starts, at = [], 0
    for i, clip in enumerate(clips):
        start = _find_clip(recording, clip, at)
        if start is None:
            return None, i
        starts.append(start)
        at = start + 1
    return starts, None


def locate_clips(samples, rate, clips):
    """Finds the clips, in this order, in the recording, sample for sample
    (clip_starts). Each one's stretch runs from where it starts to its last
    sounding sample before the next one starts (Wine may drop a few ms of its
    end; the next one may follow with no gap at all, which a threshold alone
    cannot see). Returns (stretches, None), or (None, index of the first clip
    not found)."""
    starts, missing = clip_starts(samples, clips)
    if starts is None:
        return None, missing
    return stretches_from(samples, rate, clips, starts), None


def stretches_from(samples, rate, clips, starts):
    """The clips' stretches of sound, given where each starts: from its start
    to its last sounding sample before the next one starts."""
    limit = threshold()
    segments = []
    for i, start in enumerate(starts):
        stop = min(start + len(clips[i]), starts[i + 1] if i + 1 < len(starts) else len(samples))
        loud = np.flatnonzero(np.abs(samples[start:stop].astype(np.int32)) >= limit)
        segments.append(Segment(start, start + (int(loud[-1]) + 1 if loud.size else 0), rate))
    return segments


def locate_clips_closely(samples, rate, clips, max_residual, search_ms=(40, 400), skip_ms=15):
    """Finds the clips, in this order, where the recording holds them but
    for sound mixed in where one overlaps the one before: where a clip starts
    while the one before still fades out, their samples add, and an exact
    search fails although both are there whole.

    Each clip is located by its samples from skip_ms on (past any such
    overlap), from search_ms[0] before the end of the one before to
    search_ms[1] after it (the first one near the recording's first sound):
    at the first place where those differ from the recording by no more than
    max_residual of their level (RMS), else where they differ least. Then
    the whole clip, but for the part the one before still overlaps and up to
    where the next one starts, must differ by no more than max_residual.
    Returns (starts, residuals, None), or (None, residuals, index of the
    first clip not found that way)."""
    rec = samples.astype(np.float64)
    skip = int(skip_ms * rate / 1000)
    starts, residuals = [], []
    for i, clip in enumerate(clips):
        c = clip.astype(np.float64)
        lead = min(skip, max(0, len(c) - int(0.01 * rate)))
        head = c[lead:lead + int(0.05 * rate)]
        if i == 0:
            # Near the recording's first sound, less the clip's own quiet start.
            loud = np.flatnonzero(np.abs(rec) >= threshold())
            sounding = np.flatnonzero(np.abs(c) >= threshold())
            if loud.size == 0 or sounding.size == 0:
                return None, residuals, i
            guess = int(loud[0]) - int(sounding[0])
            lo, hi = max(0, guess - int(0.05 * rate)), guess + int(0.05 * rate)
        else:
            end = starts[-1] + len(clips[i - 1])
            lo = max(0, end - int(search_ms[0] * rate / 1000))
            hi = end + int(search_ms[1] * rate / 1000)
        lo, hi = lo + lead, min(hi + lead, len(rec) - len(head))
        if hi < lo or head.size == 0:
            return None, residuals, i
        # Sum of squared differences at every offset, as energy minus twice
        # the correlation plus the head's energy.
        part = rec[lo:hi + len(head)]
        energy = np.convolve(part ** 2, np.ones(len(head)), mode="valid")
        cross = np.correlate(part, head, mode="valid")
        own = np.sum(head ** 2)
        differences = energy - 2 * cross + own
        # The first place that is close enough: a clip played twice in a row
        # is also found, exactly, one turn later.
        close = np.flatnonzero(differences <= (max_residual ** 2) * own)
        starts.append(lo - lead + int(close[0] if close.size else np.argmin(differences)))
    for i, start in enumerate(starts):
        c = clips[i].astype(np.float64)
        begin = max(0, starts[i - 1] + len(clips[i - 1]) - start) if i > 0 else 0
        stop = min(len(c), (starts[i + 1] - start) if i + 1 < len(starts) else len(c), len(rec) - start)
        if stop <= begin:
            residuals.append(0.0)
            continue
        own = np.sqrt(np.mean(c[begin:stop] ** 2))
        off = np.sqrt(np.mean((rec[start + begin:start + stop] - c[begin:stop]) ** 2))
        residuals.append(off / own if own > 0 else 0.0)
        if residuals[-1] > max_residual:
            return None, residuals, i
    return starts, residuals, None


def joins_ms(starts, clips, rate):
    """From the end of each clip's samples to the start of the next clip's:
    negative where they overlap."""
    return [1000.0 * (starts[i + 1] - starts[i] - len(clips[i])) / rate for i in range(len(starts) - 1)]


def sound_outside(samples, rate, segments):
    """Milliseconds of sounding samples that lie in none of the stretches."""
    loud = np.abs(samples.astype(np.int32)) >= threshold()
    for s in segments:
        loud[s.start:s.end] = False
    return 1000.0 * int(loud.sum()) / rate


def correlation(samples, start, clip, lag_range, head_samples=2000):
    """The best normalised correlation of the clip's first head_samples with
    the recording around start, over lags -lag_range..lag_range."""
    head = clip[:head_samples].astype(np.float64)
    n = len(head)
    head_energy = np.sqrt(np.dot(head, head)) or 1.0
    best = -1.0
    for lag in range(-lag_range, lag_range + 1):
        a = start + lag
        if a < 0 or a + n > len(samples):
            continue
        window = samples[a:a + n].astype(np.float64)
        energy = np.sqrt(np.dot(window, window)) or 1.0
        best = max(best, float(np.dot(window, head)) / (energy * head_energy))
    return best


def wait_for_end(raw_path, rate, quiet_ms=1000.0, start_timeout_s=20.0, timeout_s=120.0):
    """Follows a raw 16-bit mono recording that is still being written,
    until sound has come and then stayed away for quiet_ms. Quiet means a
    10 ms frame's RMS at or below the threshold. Returns (first, last) ms of
    sound in the recording; raises TimeoutError when no sound came within
    start_timeout_s, or it was still sounding at timeout_s."""
    frame = max(1, rate // 100)
    limit = threshold()
    quiet_needed = max(1, int(quiet_ms / 10))
    begun = time.monotonic()
    frames_read, first, quiet_run = 0, None, 0
    pending = b""
    with open(raw_path, "rb") as f:
        while True:
            pending += f.read()
            whole = len(pending) // (2 * frame) * (2 * frame)
            if whole:
                data = np.frombuffer(pending[:whole], dtype="<i2").astype(np.float64).reshape(-1, frame)
                pending = pending[whole:]
                for loud in np.sqrt(np.mean(data ** 2, axis=1)) > limit:
                    frames_read += 1
                    if loud:
                        first = frames_read * 10 if first is None else first
                        quiet_run = 0
                    else:
                        quiet_run += 1
                if first is not None and quiet_run >= quiet_needed:
                    return first, (frames_read - quiet_run) * 10
            elapsed = time.monotonic() - begun
            if first is None and elapsed > start_timeout_s:
                raise TimeoutError(f"no sound within {start_timeout_s:g} s")
            if elapsed > timeout_s:
                raise TimeoutError(f"still sounding after {timeout_s:g} s")
            time.sleep(0.05)

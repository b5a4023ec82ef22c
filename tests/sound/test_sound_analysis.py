"""The driver's sound measurements on small made-up recordings (no Wine):
stretches and gaps exact to the sample, clips found sample for sample even
with no gap between them, lengths matched to clips, and the wait for the end
of a recording that is still being written."""

import threading
import time

import numpy as np
import pytest

import conftest  # noqa: F401  (puts the driver on the path)
from winedriver import sound

RATE = 1000  # one sample per ms keeps the expected figures readable


def burst(ms, level=10000, seed=0):
    """ms samples of noise that always sounds (no sample near zero)."""
    values = np.random.default_rng(seed).integers(2000, level, ms)
    signs = np.where(np.arange(ms) % 2, 1, -1)
    return (values * signs).astype(np.int16)


def quiet(ms):
    return np.zeros(ms, dtype=np.int16)


def test_stretches_split_only_at_quiet_runs_of_the_minimum_gap():
    recording = np.concatenate([quiet(50), burst(100), quiet(5), burst(30, seed=1), quiet(20), burst(70, seed=2),
                                quiet(8), burst(10, seed=3), quiet(100)])
    segments = sound.find_segments(recording, RATE, min_gap_ms=7.5)
    # The 5 ms pause stays inside the first stretch; 20 ms and 8 ms split.
    assert [(s.start_ms, s.end_ms) for s in segments] == [(50, 185), (205, 275), (283, 293)]
    assert sound.gaps_ms(segments) == [20, 8]
    assert sound.gap_figures(segments) == (14, 20)
    assert sound.longest_quiet_inside(recording, RATE) == 20
    assert sound.find_segments(quiet(100), RATE) == []
    assert sound.gap_figures(segments[:1]) is None


def test_the_threshold_decides_what_sounds():
    just_under = int(sound.threshold()) - 1
    recording = np.array([0, just_under, -just_under, just_under + 2, 0, -(just_under + 2), 0], dtype=np.int16)
    assert [(s.start, s.end) for s in sound.find_segments(recording, RATE, min_gap_ms=1)] == [(3, 4), (5, 6)]


def test_clips_are_located_in_order_even_with_no_gap_between_them():
    a, b = burst(120, seed=4), burst(80, seed=5)
    recording = np.concatenate([quiet(30), a, b, quiet(10), a[:-5], quiet(40)])
    segments, missing = sound.locate_clips(recording, RATE, [a, b, a])
    assert missing is None
    assert [(s.start, s.end) for s in segments] == [(30, 150), (150, 230), (240, 355)]
    assert sound.sound_outside(recording, RATE, segments) == 0
    # The same clips in another order: the second a is not there after b.
    assert sound.locate_clips(recording, RATE, [b, a, a]) == (None, 2)
    assert sound.sound_outside(recording, RATE, segments[:2]) == 115


def faded(clip, fade_ms):
    """The clip with its last fade_ms falling linearly to silence."""
    out = clip.astype(np.float64)
    out[-fade_ms:] *= np.linspace(1, 0, fade_ms, endpoint=False)
    return out.astype(np.int16)


def test_clips_overlapping_a_fade_out_are_found_and_the_overlap_measured():
    a, b = faded(burst(120, seed=6), 12), faded(burst(90, seed=7), 12)
    # b starts 4 ms before a has faded out, then b again right after itself.
    recording = np.zeros(400, dtype=np.int32)
    recording[30:150] += a
    recording[146:236] += b
    recording[241:331] += b
    recording = recording.astype(np.int16)
    assert sound.locate_clips(recording, RATE, [a, b, b])[0] is None, "not there sample for sample"
    starts, residuals, missing = sound.locate_clips_closely(recording, RATE, [a, b, b], max_residual=0.01,
                                                            skip_ms=15)
    assert missing is None and starts == [30, 146, 241]
    assert max(residuals) == 0, "whole outside the overlap"
    assert sound.joins_ms(starts, [a, b, b], RATE) == [-4, 5]
    # Where b overlaps a's sound beyond the skipped start, b is not whole.
    recording = np.zeros(400, dtype=np.int32)
    recording[30:150] += a
    recording[100:190] += b
    starts, residuals, missing = sound.locate_clips_closely(recording.astype(np.int16), RATE, [a, b],
                                                            max_residual=0.01, skip_ms=15)
    assert starts is None and missing == 0


def test_stretches_are_matched_to_clips_by_length():
    clip = np.concatenate([quiet(10), burst(200, seed=6), quiet(10)])
    found = [sound.Segment(0, 230, RATE), sound.Segment(300, 360, RATE)]
    matches = sound.match_lengths(found, [("ni", clip), ("hao", clip)], RATE, fraction=0.25, least_ms=60)
    assert [(m.name, m.expected_ms, m.allowed_ms, m.ok) for m in matches] == [
        ("ni", 200, 60, True), ("hao", 200, 60, False)]


def test_levels_and_correlation():
    clip = burst(300, seed=7)
    recording = np.concatenate([quiet(100), clip, quiet(100)])
    peak, rms = sound.levels(recording)
    assert peak == clip.max() / 32768
    assert rms == pytest.approx(np.sqrt(np.mean(clip.astype(float) ** 2) * 300 / 500) / 32768)
    other = np.random.default_rng(8).integers(-10000, 10000, 300).astype(np.int16)
    own_score, other_score = (sound.correlation(recording, 103, c, 5) for c in (clip, other))
    assert own_score == pytest.approx(1.0)
    assert other_score < 0.5


def test_a_written_tone_has_exactly_its_length(tmp_path):
    samples, rate = sound.read_wav(sound.write_tone(tmp_path / "t.wav", 123))
    assert (rate, len(samples)) == (8000, 984)
    assert sound.sounding_ms(samples, rate) == pytest.approx(123, abs=1)


def write_slowly(path, chunks):
    with open(path, "ab") as f:
        for chunk in chunks:
            f.write(chunk.astype("<i2").tobytes())
            f.flush()
            time.sleep(0.02)


@pytest.mark.parametrize("chunks, outcome", [
    ([quiet(300), burst(200), quiet(100), burst(100, seed=9), quiet(600)], (310, 700)),
    ([quiet(200)] * 3, "no sound within"),
    ([quiet(100)] + [burst(200, seed=s) for s in range(6)], "still sounding"),
], ids=["sound then quiet", "never any sound", "sound without end"])
def test_the_wait_for_the_end_of_a_growing_recording(tmp_path, chunks, outcome):
    raw = tmp_path / "growing.raw"
    raw.write_bytes(b"")
    writer = threading.Thread(target=write_slowly, args=(raw, chunks))
    writer.start()
    try:
        if isinstance(outcome, tuple):
            assert sound.wait_for_end(raw, RATE, quiet_ms=500, start_timeout_s=5, timeout_s=10) == outcome
        else:
            with pytest.raises(TimeoutError, match=outcome):
                sound.wait_for_end(raw, RATE, quiet_ms=500, start_timeout_s=0.3, timeout_s=0.6)
    finally:
        writer.join()

"""Finding the clips the program played in a recording of its sound.

The null sink hands the clips through unchanged, so each clip is first
looked for by its exact first samples, in the order given. Where a clip
starts while the one before still fades out, their samples add and the exact
search fails although both are there: then each clip is looked for where the
recording differs least from it, near the end of the one before, and counts
as found whole when it differs by no more than MAX_RESIDUAL of its level
(-40 dB) but for where it overlaps the clip before. Two clips may overlap
only within the fade-out that ends every clip of the default bank, a short
cross-fade: a clip that starts with nothing sounding can begin a few ms
late (Wine's sound device starting up), and the next one then starts while
it fades out.

Now and then Wine's sound path inserts a few ms of digital silence into a
clip (an underrun, on a busy or just-woken machine), which shifts the rest of
that clip and so the next one into it. Where the clips are not found
otherwise, they are looked for again with every run of exact zeros of a
millisecond or more taken out of the recording and the clips alike: found
then, each clip was played whole and in order, and only silence differs."""

import sys

import numpy as np

from conftest import BANK, REPO
from winedriver import sound

sys.path.insert(0, str(REPO / "tools" / "sylbank"))
import clip_audio  # noqa: E402

MAX_RESIDUAL = 0.01
MAX_OVERLAP_MS = clip_audio.MARGIN_MS + clip_audio.FADE_OUT_MS


def show(segments):
    """Stretches of sound, one numbered line each, for a failure message."""
    return "\n".join(f"    {i + 1:2d}: {s}" for i, s in enumerate(segments))


def load_clips(names, rate):
    clips = []
    for name in names:
        clip, clip_rate = sound.read_wav(BANK / f"{name}.wav")
        assert clip_rate == rate, f"{name}.wav is at {clip_rate} Hz, the recording at {rate} Hz"
        clips.append(clip)
    return clips


def without_silence(samples, rate):
    """The samples with every run of exact zeros of 1 ms or more taken out,
    and the index in `samples` of each sample kept."""
    zero = samples == 0
    run = int(rate / 1000)
    # Runs of zeros: mark the samples of each run that is long enough.
    padded = np.concatenate([[False], zero, [False]])
    edges = np.flatnonzero(padded[1:] != padded[:-1])
    drop = np.zeros(len(samples), dtype=bool)
    for begin, end in zip(edges[::2], edges[1::2]):
        if end - begin >= run:
            drop[begin:end] = True
    keep = np.flatnonzero(~drop)
    return samples[keep], keep


def locate(samples, rate, names, clips, search_ms=(40, 400)):
    """Where each clip starts in the recording, in order: (starts, how), how
    being 'exact', 'close' or 'inserted silence'; or (None, what went wrong).
    Overlaps beyond a clip's fade-out count as not found."""
    starts, missing = sound.clip_starts(samples, clips)
    if starts is not None:
        return starts, "exact"
    print(f"{names[missing]}.wav (clip {missing + 1}) is not in the recording sample for sample after the "
          "ones before it; looking for each clip where the recording differs least from it")
    found, how = _close(samples, rate, names, clips, search_ms)
    if found is not None:
        return found, "close"
    print(how + "; looking again without the silence the sound path may have inserted")
    stripped, kept = without_silence(samples, rate)
    clips_stripped = [without_silence(clip, rate)[0] for clip in clips]
    found, _ = sound.clip_starts(stripped, clips_stripped)
    if found is None:
        found, how = _close(stripped, rate, names, clips_stripped, search_ms)
        if found is None:
            return None, how
    inserted = 1000.0 * (len(samples) - len(stripped)) / rate
    print(f"every clip found in order once runs of zeros are taken out ({inserted:.0f} ms of silence in all, "
          "between the clips and inserted into them)")
    return [int(kept[start]) for start in found], "inserted silence"


def _close(samples, rate, names, clips, search_ms):
    """locate()'s search for clips that overlap within a fade-out."""
    starts, residuals, missing = sound.locate_clips_closely(samples, rate, clips, MAX_RESIDUAL, search_ms)
    if starts is None:
        return None, (f"{names[missing]}.wav (clip {missing + 1}) differs from the recording by "
                      f"{100 * residuals[-1]:.1f}% of its level")
    joins = sound.joins_ms(starts, clips, rate)
    if min(joins, default=0.0) < -MAX_OVERLAP_MS:
        worst = joins.index(min(joins))
        return None, (f"{names[worst + 1]}.wav overlaps {names[worst]}.wav by {-joins[worst]:.1f} ms, more "
                      f"than the {MAX_OVERLAP_MS} ms a clip fades out over")
    print(f"every clip found in order, whole but for at most {100 * max(residuals):.2f}% of its level "
          f"outside overlaps of at most {-min(joins + [0.0]):.1f} ms")
    return starts, None

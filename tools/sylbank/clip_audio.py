"""The sound work on one clip of the default bank, and the figures the bank
is held to, with numpy.

The bank maker (make_bank.py) shapes every clip espeak-ng speaks with
shape_clip(); the default bank's tests measure the finished files with the
same figure functions, so that what is made and what is checked cannot
drift apart.

Samples are floats in [-1, 1) (full scale 1.0) at RATE; the files are
16-bit mono PCM.
"""

import wave

import numpy as np

RATE = 22050

# Where the speech of a clip starts and ends: the first and last sample at
# or above this level. espeak-ng's pauses are digital silence, so nothing but
# speech reaches it; it is low enough to keep weak onsets and tails (the h of
# hu, the breath after a final -ng) whole.
TRIM_DBFS = -50.0
# The quiet kept before the first and after the last loud sample: more than
# the 2 ms the edge figure looks at.
MARGIN_MS = 2.5
# Raised-cosine fades from the clip's ends into the speech. espeak-ng starts
# some syllables on a loud sample and stops others within half a
# millisecond; the fades make every clip start and end at silence, so that
# joins cannot click.
FADE_IN_MS = 2.5
FADE_OUT_MS = 8.0
# espeak-ng puts a DC offset under some fricatives (about +2 % of full scale
# under the zh, ch of zhi, chi, zhu); a first-order high-pass at this
# frequency takes it out and leaves the voice (fundamental 100 Hz and up)
# alone.
HIGH_PASS_HZ = 30.0
# No sample of a clip goes above this; the few clips whose peaks stand out
# from their speech level have those peaks turned down smoothly.
CEILING_DBFS = -1.0
LIMITER_MS = 2.5

# Speech level, in the manner of an active speech level: the RMS over the
# stretches within ACTIVE_RANGE_DB of the clip's loudest 10 ms, so that weak
# onsets and tails do not pull a clip's figure down. Evening the plain RMS
# of whole clips instead would make the vowels of syllables with a long
# hissing onset (chao, cui) some 3 dB louder than those of voiced ones
# (lun, lin).
FRAME_MS = 10.0
ACTIVE_RANGE_DB = 20.0

# The edge figure: the loudest sample in the first and the last EDGE_MS.
EDGE_MS = 2.0


def db(value):
    """Full-scale ratio to dBFS; silence is -inf."""
    with np.errstate(divide="ignore"):
        return float(20.0 * np.log10(value))


def read_wav(source):
    """The samples of a 16-bit mono PCM WAV file at RATE, as floats.

    `source` is a path or a binary file object (espeak-ng's --stdout held
    in a BytesIO).
    """
    with wave.open(source if hasattr(source, "read") else str(source), "rb") as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (1, 2, RATE):
            raise ValueError(f"{source}: not 16-bit mono at {RATE} Hz")
        data = w.readframes(w.getnframes())
    return np.frombuffer(data, dtype="<i2").astype(np.float64) / 32768.0


def to_pcm16(samples):
    """Rounds to 16-bit samples; anything past full scale is an error."""
    pcm = np.round(samples * 32768.0)
    if pcm.size and (pcm.max() > 32767 or pcm.min() < -32768):
        raise ValueError("clip would clip")
    return pcm.astype("<i2")


def write_wav(path, samples):
    with wave.open(str(path), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(to_pcm16(samples).tobytes())


def high_pass(samples, hz=HIGH_PASS_HZ):
    """First-order DC blocker: y[n] = x[n] - x[n-1] + r * y[n-1].

    Written as the signal less a running exponential average of its past,
    computed as a convolution with the (truncated) exponential kernel.
    """
    r = 1.0 - 2.0 * np.pi * hz / RATE
    length = int(np.ceil(np.log(1e-7) / np.log(r)))
    kernel = (1.0 - r) * r ** np.arange(length)
    past = np.convolve(samples, kernel)[: samples.size]
    # y[n] = x[n] - (1 - r) * sum_{k>=1} r^(k-1) x[n-k]: the average of the
    # samples before n, so shift the running average by one.
    return samples - np.concatenate(([0.0], past[:-1]))


def speech_rms(samples):
    """RMS over the samples where the speech is within ACTIVE_RANGE_DB of
    its loudest, judged by the power over the FRAME_MS around each sample
    (so the figure does not move with where a clip happens to be cut)."""
    if samples.size == 0:
        return 0.0
    power = samples ** 2
    frame = min(samples.size, int(RATE * FRAME_MS / 1000))
    envelope = np.convolve(power, np.full(frame, 1.0 / frame), mode="same")
    active = envelope >= envelope.max() * 10.0 ** (-ACTIVE_RANGE_DB / 10.0)
    return float(np.sqrt(power[active].mean()))


def speech_level_db(samples):
    return db(speech_rms(samples))


def peak_db(samples):
    return db(np.abs(samples).max()) if samples.size else float("-inf")


def dc_percent(samples):
    """The clip's mean, as a percentage of full scale."""
    return float(abs(samples.mean()) * 100.0) if samples.size else 0.0


def edge_db(samples):
    """The loudest sample in the first or last EDGE_MS, in dBFS."""
    n = max(1, int(RATE * EDGE_MS / 1000))
    return max(peak_db(samples[:n]), peak_db(samples[-n:]))


def duration_ms(samples):
    return samples.size * 1000.0 / RATE


def raised_cosine(n):
    """n gains rising from near 0 to near 1."""
    return 0.5 - 0.5 * np.cos(np.pi * (np.arange(n) + 0.5) / n)


def limit_peaks(samples, ceiling_dbfs=CEILING_DBFS):
    """Turns down the samples above the ceiling, with a gain that moves
    smoothly over LIMITER_MS on either side of each peak.

    The gain each sample needs is spread to its neighbours by a running
    minimum over the window, then smoothed with a window no wider, so that
    every peak still gets at least the reduction it needs.
    """
    ceiling = 10.0 ** (ceiling_dbfs / 20.0)
    need = np.minimum(1.0, ceiling / np.maximum(np.abs(samples), 1e-12))
    if need.min() >= 1.0:
        return samples
    half = int(RATE * LIMITER_MS / 1000)
    padded = np.pad(need, half, constant_values=1.0)
    windows = np.lib.stride_tricks.sliding_window_view(padded, 2 * half + 1)
    held = windows.min(axis=1)
    kernel = raised_cosine(2 * half + 1)
    kernel /= kernel.sum()
    gain = np.convolve(np.pad(held, half, constant_values=1.0), kernel, mode="valid")
    return samples * np.minimum(gain, held)


def shape_clip(raw, level_dbfs):
    """A clip of the bank from espeak-ng's output.

    The DC offset filtered out, brought to the speech level `level_dbfs`
    (its few outstanding peaks turned down to the ceiling), cut to the
    speech with a quiet margin at both ends, and faded in and out across
    the margins. Gives the clip and the share of the signal's energy that
    it keeps: how whole the syllable stayed.
    """
    filtered = high_pass(raw)
    target = 10.0 ** (level_dbfs / 20.0)
    # Turning peaks down lowers the level a little: make up for it, and
    # turn down what that raises.
    gain = target / speech_rms(filtered)
    for _ in range(3):
        x = limit_peaks(filtered * gain)
        gain *= target / speech_rms(x)
    loud = np.nonzero(np.abs(x) >= 10.0 ** (TRIM_DBFS / 20.0))[0]
    if loud.size == 0:
        raise ValueError("no speech")
    margin = int(RATE * MARGIN_MS / 1000)
    # espeak-ng may start speaking on its first sample: pad with silence.
    x = np.pad(x, margin)
    start, end = loud[0], loud[-1] + 1 + 2 * margin
    clip = x[start:end].copy()
    kept = float(np.sum(clip ** 2) / np.sum(x ** 2))
    clip -= clip.mean()
    fade_in = margin + int(RATE * FADE_IN_MS / 1000)
    fade_out = margin + int(RATE * FADE_OUT_MS / 1000)
    clip[:fade_in] *= raised_cosine(fade_in)
    clip[-fade_out:] *= raised_cosine(fade_out)[::-1]
    return clip, kept

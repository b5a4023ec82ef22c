#!/usr/bin/python3
"""The quality figures of a clip bank, measured on its files.

  bank_figures.py FOLDER

Prints, over the syllable clips (every *.wav but the pause ".wav"): how many
there are, the median and spread of their lengths, the pace they give a
paragraph, the spread of their speech levels (and of their plain RMS), the
highest peak, the worst DC offset and the loudest edge. Works on any bank of
16-bit mono clips at 22,050 Hz, the default one or one's own.
"""

import os
import sys

import numpy as np

import clip_audio

# The time the program leaves between two clips, and the paragraph the pace
# figure is given for: 40 syllables in five runs of punctuation, each run
# playing the pause clip once.
JOIN_MS = 10.0
PARAGRAPH = "春天来了，公园里的花都开了。小朋友们在草地上玩游戏，老人们坐在树下喝茶聊天。大家都很开心。"
PARAGRAPH_SYLLABLES = 40
PARAGRAPH_PAUSES = 5


def pace(clip_ms, pauses, pause_ms, join_ms=JOIN_MS):
    """Syllables a second when the clips of `clip_ms` and `pauses` plays of
    the pause clip follow each other with `join_ms` between any two."""
    plays = len(clip_ms) + pauses
    total_ms = sum(clip_ms) + pauses * pause_ms + max(0, plays - 1) * join_ms
    return len(clip_ms) / (total_ms / 1000.0)


def measure(folder):
    """Figures per syllable clip: {name: dict}, and the pause's length."""
    clips = {}
    pause_ms = 0.0
    for entry in sorted(os.listdir(folder)):
        if not entry.lower().endswith(".wav"):
            continue
        samples = clip_audio.read_wav(os.path.join(folder, entry))
        if entry == ".wav":
            pause_ms = clip_audio.duration_ms(samples)
            continue
        clips[entry[:-4]] = {
            "duration_ms": clip_audio.duration_ms(samples),
            "level_db": clip_audio.speech_level_db(samples),
            "rms_db": clip_audio.db(np.sqrt(np.mean(samples ** 2))),
            "peak_db": clip_audio.peak_db(samples),
            "dc_percent": clip_audio.dc_percent(samples),
            "edge_db": clip_audio.edge_db(samples),
        }
    return clips, pause_ms


def summary(clips, pause_ms):
    """The figures as lines of text."""
    names = list(clips)

    def column(key):
        return np.array([clips[n][key] for n in names])

    def worst(key, pick=np.argmax):
        values = column(key)
        i = int(pick(values))
        return values[i], names[i]

    durations = column("duration_ms")
    rms = column("rms_db")
    p10, p90 = np.percentile(durations, [10, 90])
    median = float(np.median(durations))
    typical = pace([median] * PARAGRAPH_SYLLABLES, PARAGRAPH_PAUSES, pause_ms)
    lo_level, lo_name = worst("level_db", np.argmin)
    hi_level, hi_name = worst("level_db")
    peak, peak_name = worst("peak_db")
    dc, dc_name = worst("dc_percent")
    edge, edge_name = worst("edge_db")
    return [
        f"{len(clips)} syllable clips, pause {pause_ms:.0f} ms",
        f"clip length: median {median:.0f} ms, 10 % under {p10:.0f} ms, 90 % under {p90:.0f} ms, "
        f"min {durations.min():.0f} ms, max {durations.max():.0f} ms",
        f"pace of a {PARAGRAPH_SYLLABLES}-syllable paragraph of median clips with "
        f"{PARAGRAPH_PAUSES} pauses and {JOIN_MS:.0f} ms joins: {typical:.2f} syllables a second",
        f"speech level: {lo_level:.2f} dBFS ({lo_name}) to {hi_level:.2f} dBFS ({hi_name}), "
        f"spread {hi_level - lo_level:.2f} dB; plain RMS spread {rms.max() - rms.min():.2f} dB",
        f"highest peak {peak:.2f} dBFS ({peak_name})",
        f"worst DC offset {dc:.3f} % of full scale ({dc_name})",
        f"loudest first or last {clip_audio.EDGE_MS:.0f} ms: {edge:.1f} dBFS ({edge_name})",
    ]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    for line in summary(*measure(sys.argv[1])):
        print(line)


if __name__ == "__main__":
    main()

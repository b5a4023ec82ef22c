"""Real sound: what the program plays through Wine's own MCI, recorded from
the null sink and measured.

  你好: two stretches of sound, ni2.wav's then hao3.wav's, each as long as its
  clip.
  Twenty characters: one stretch of sound per character; the silence between
  one clip and the next (median and worst) is printed as a figure, never
  checked (SYLSPEAK_GAP_RUNS runs, default 1).
"""

import os
import statistics

from clip_checks import load_clips, locate, show
from winedriver import headless, sound

# Twenty characters, one syllable each, none of them with a b- initial: the
# voiced closure of b- is a 20 ms near-silence inside the clip, as long as
# the shorter gaps between clips, and would split its clip in two.
# The clips are the default bank's toned ones, with the tones of running
# speech: 很好我 is hen2 hao2 wo3 (a third tone before a third turns second),
# 一起 is yi4 qi3.
GAP_TEXT = "今天天气很好我们下午一起去公园看花再回家"
GAP_SYLLABLES = ["jin1", "tian1", "tian1", "qi4", "hen2", "hao2", "wo3", "men2", "xia4", "wu3",
                 "yi4", "qi3", "qu4", "gong1", "yuan2", "kan4", "hua1", "zai4", "hui2", "jia1"]


def clip_segments(samples, rate, syllables, clips):
    """The clips' stretches of sound in the recording, in order, and where
    each clip starts (see clip_checks); where the clips cannot be found, the
    stretches found by the threshold alone and no starts. Each stretch runs
    from its clip's start to its last sounding sample before the next one
    starts. Returns (segments, starts, how)."""
    # The quiet run that separates two clips must be longer than any quiet
    # run inside the clips in play (and than Wine's occasional 5 ms of
    # inserted zeros).
    inside = max((sound.longest_quiet_inside(clip, rate) for s, clip in zip(syllables, clips) if s), default=0.0)
    min_gap = max(sound.MIN_GAP_MS, inside + 2.5)
    by_threshold = sound.find_segments(samples, rate, min_gap_ms=min_gap)
    print(f"by threshold alone (quiet runs of {min_gap:.1f} ms or more between clips; the longest inside "
          f"these clips is {inside:.1f} ms): {len(by_threshold)} stretches")
    starts, how = locate(samples, rate, syllables, clips)
    if starts is None:
        print(how + "; using the threshold's stretches")
        return by_threshold, None, "threshold"
    located = sound.stretches_from(samples, rate, clips, starts)
    outside = sound.sound_outside(samples, rate, located)
    print(f"every clip found in order ({how}); sound outside them: {outside:.1f} ms")
    # Sound that belongs to no clip is another stretch: a clip played twice,
    # or one the sentence does not call for. A few ms are tolerated: the
    # tail of a clip cut off where the next one starts.
    assert outside <= 10.0, (f"{outside:.1f} ms of sound outside the {len(syllables)} clips: more stretches of "
                             f"sound than clips.\nby threshold:\n{show(by_threshold)}\nclips:\n{show(located)}")
    return located, starts, how


def test_nihao_plays_ni2_then_hao3_each_as_long_as_its_clip(sound_session, program_dir, work):
    spoken = headless.speak(sound_session, program_dir, "你好", work / "nihao")
    # A third tone before a third tone is spoken as a second tone.
    syllables = ["ni2", "hao3"]
    samples, rate = sound.read_wav(spoken.wav)
    clips = load_clips(syllables, rate)
    segments, _, how = clip_segments(samples, rate, syllables, clips)
    print("stretches of sound:\n" + show(segments))
    assert len(segments) == 2, f"expected 2 stretches of sound (ni, hao), found {len(segments)}:\n{show(segments)}"

    # Lengths: Wine drops up to about 5 ms of a clip's end (the last partial
    # buffer, when the next clip's close arrives) and may insert up to 5 ms
    # of zeros inside it; the threshold moves each edge by a sample or two.
    # The tolerance, the larger of 25% and 60 ms, is far wider than that,
    # and still fails a clip cut short by an early close (a wait that is too
    # short) or run into another (a wait that is missing).
    matches = sound.match_lengths(segments, list(zip(syllables, clips)), rate, fraction=0.25, least_ms=60.0)
    print("\n".join(map(repr, matches)))
    assert all(m.ok for m in matches), "segment lengths do not match the clips: " + \
        "; ".join(repr(m) for m in matches if not m.ok)

    # Order. ni2.wav and hao3.wav of the default bank may be within a few ms
    # of each other in length, so the lengths cannot tell which came first.
    # The waveforms can: found in this order (sample for sample, or whole
    # but for an overlap within a fade-out), the order is settled; otherwise
    # each stretch is compared with the start of both clips (best normalised
    # correlation over +-5 ms around the stretch's start): a faithful
    # recording scores near 1 with its own clip and far lower with the other.
    if how != "threshold":
        print("order: ni2.wav's samples come first, hao3.wav's after them")
        return
    lag = int(0.005 * rate)
    scores = {(i, syllable): sound.correlation(samples, segment.start, clip, lag)
              for i, segment in enumerate(segments) for syllable, clip in zip(syllables, clips)}
    for i in range(2):
        print(f"stretch {i + 1}: correlation with ni2.wav {scores[i, 'ni2']:.3f}, "
              f"with hao3.wav {scores[i, 'hao3']:.3f}")
    assert scores[0, "ni2"] > 0.8 and scores[1, "hao3"] > 0.8, \
        "the stretches do not look like ni2.wav then hao3.wav (correlation 0.8 or more expected)"
    assert scores[0, "ni2"] > scores[0, "hao3"] + 0.2 and scores[1, "hao3"] > scores[1, "ni2"] + 0.2, \
        "the first stretch is not clearly ni2.wav and the second hao3.wav"


def test_twenty_characters_give_twenty_stretches_and_the_gaps_between_them(sound_session, program_dir, work):
    runs = int(os.environ.get("SYLSPEAK_GAP_RUNS", "1"))
    print(f"text: {GAP_TEXT} ({len(GAP_TEXT)} characters)")
    all_gaps, all_joins = [], []
    for run in range(runs):
        spoken = headless.speak(sound_session, program_dir, GAP_TEXT, work / f"gaps{run + 1}")
        samples, rate = sound.read_wav(spoken.wav)
        clips = load_clips(GAP_SYLLABLES, rate)
        segments, starts, _ = clip_segments(samples, rate, GAP_SYLLABLES, clips)
        assert len(segments) == len(GAP_SYLLABLES), (
            f"run {run + 1}: expected {len(GAP_SYLLABLES)} stretches of sound, one per character, found "
            f"{len(segments)}:\n{show(segments)}")
        gaps = sound.gaps_ms(segments)
        all_gaps.extend(gaps)
        joins = sound.joins_ms(starts, clips, rate) if starts else []
        all_joins.extend(joins)
        print(f"run {run + 1}: first sound {segments[0].start_ms - spoken.click_ms:.0f} ms after the click "
              "(as far as the recorder had come then)")
        print(f"run {run + 1}: clip   clip ms  recorded ms  silence after ms  join after ms")
        for i, (segment, syllable, clip) in enumerate(zip(segments, GAP_SYLLABLES, clips)):
            gap = f"{gaps[i]:8.1f}" if i < len(gaps) else ""
            join = f"{joins[i]:8.1f}" if i < len(joins) else ""
            print(f"        {syllable:6} {1000.0 * len(clip) / rate:7.1f} {segment.length_ms:11.1f}  {gap:>16} {join:>13}")
        median, worst = sound.gap_figures(segments)
        print(f"run {run + 1}: silence median {median:.1f} ms, worst {worst:.1f} ms, least {min(gaps):.1f} ms")
    print(f"GAPS over {runs} run(s) of {len(GAP_TEXT)} characters ({len(all_gaps)} gaps): silence between the "
          f"clips' sound median {statistics.median(all_gaps):.1f} ms, worst {max(all_gaps):.1f} ms; from one "
          f"clip's last sample to the next one's first (negative: overlap) median "
          f"{statistics.median(all_joins):.1f} ms, worst {max(all_joins):.1f} ms, least {min(all_joins):.1f} ms")

#!/usr/bin/env python3
"""Real-sound tests: the program runs under Wine with Wine's own MCI, its
sound goes into a PulseAudio null sink and is recorded, and the recording is
measured. Every run goes through scripts/sound/speak-headless.sh, the same
path `scripts/run.sh` takes on a machine without a display.

  sound_tests.py run-headless --exe EXE --bank DIR --work DIR
      The sample sentence: a recording with sound in it, of a plausible
      length, and a screenshot of the window.
  sound_tests.py nihao --exe EXE --bank DIR --work DIR
      你好: two stretches of sound, ni.wav's then hao.wav's, each as long as
      its clip.
  sound_tests.py gaps --exe EXE --bank DIR --work DIR [--runs N]
      Twenty characters: prints the silence between one clip and the next
      (median and worst). Fails only when the recording does not hold one
      stretch of sound per character; the gap sizes are figures, not checks.
"""

import argparse
import math
import os
import shutil
import statistics
import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "scripts" / "sound"))
import soundtool  # noqa: E402

SPEAK_HEADLESS = REPO / "scripts" / "sound" / "speak-headless.sh"

# The sample sentence of the run command, and the clips it plays (the
# punctuation plays the silent .wav).
SAMPLE_TEXT = "你好，世界。今天天气很好。"
SAMPLE_SYLLABLES = ["ni", "hao", "", "shi", "jie", "", "jin", "tian", "tian", "qi", "hen", "hao", ""]

# Twenty characters, one syllable each, none of them with a b- initial: the
# voiced closure of b- is a 20 ms near-silence inside the clip, as long as
# the shorter gaps between clips, and would split its clip in two.
GAP_TEXT = "今天天气很好我们下午一起去公园看花再回家"
GAP_SYLLABLES = ["jin", "tian", "tian", "qi", "hen", "hao", "wo", "men", "xia", "wu",
                 "yi", "qi", "qu", "gong", "yuan", "kan", "hua", "zai", "hui", "jia"]


class Failed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failed(message)


def clip_path(bank, syllable):
    return Path(bank) / (syllable + ".wav")


def clip_ms(bank, syllable):
    samples, rate = soundtool.read_wav(str(clip_path(bank, syllable)))
    return 1000.0 * len(samples) / rate


def make_program_dir(exe, bank, work):
    """A folder laid out as the program ships: sylspeak.exe and sylbank\\."""
    program = work / "program"
    if program.exists():
        shutil.rmtree(program)
    program.mkdir(parents=True)
    shutil.copy2(exe, program / "sylspeak.exe")
    shutil.copytree(bank, program / "sylbank")
    return program


def speak(args, text, name):
    """Runs the headless path; returns the output folder."""
    work = Path(args.work)
    work.mkdir(parents=True, exist_ok=True)
    check(Path(args.exe).is_file(), f"no program at {args.exe}: build it first (scripts/build.sh)")
    check(Path(args.bank, "ni.wav").is_file(),
          f"no clip bank at {args.bank}: make it first "
          f"(cmake --build <native build> --target sylbank)")
    program = make_program_dir(args.exe, args.bank, work)
    out = work / (name + "-out")
    if out.exists():
        shutil.rmtree(out)
    cmd = ["bash", str(SPEAK_HEADLESS), "--program-dir", str(program), "--text", text,
           "--out", str(out), "--work", str(work / (name + "-work"))]
    print("running:", " ".join(cmd), flush=True)
    # speak-headless.sh bounds each of its own steps; this outer limit only
    # catches a script that hangs anyway.
    result = subprocess.run(cmd, timeout=600)
    check(result.returncode == 0, f"speak-headless.sh failed with exit code {result.returncode}")
    return out


def show(segments):
    return "\n".join(f"    {i + 1:2d}: {s}" for i, s in enumerate(segments))


def min_gap_for(syllables, clips, rate):
    """The quiet run that separates two clips must be longer than any quiet
    run inside the clips in play (and than Wine's occasional 5 ms of inserted
    zeros)."""
    in_play = {s: clip for s, clip in zip(syllables, clips) if s}
    inside = max((soundtool.longest_quiet_inside(clip, rate) for clip in in_play.values()),
                 default=0.0)
    return max(soundtool.DEFAULT_MIN_GAP_MS, inside + 2.5), inside


def load_clips(bank, syllables, rate):
    clips = []
    for syllable in syllables:
        clip, clip_rate = soundtool.read_wav(str(clip_path(bank, syllable)))
        check(clip_rate == rate, f"{syllable}.wav is at {clip_rate} Hz, the recording at {rate} Hz")
        clips.append(clip)
    return clips


def clip_segments(samples, rate, syllables, clips):
    """The clips' stretches of sound in the recording, in order.

    The sink hands the clips through unchanged, so each clip is found by its
    exact first samples, in the order given; its stretch ends at its last
    sounding sample before the next one starts. This still tells two clips
    apart when the second follows the first with no gap at all, which
    happens (Wine's output latency varies from clip to clip). A clip that
    cannot be found that way (a recording that is not a faithful copy, or a
    clip that was not played, or not in this order) leaves the stretches
    found by the threshold alone. Returns (segments, how)."""
    min_gap, inside = min_gap_for(syllables, clips, rate)
    by_threshold = soundtool.find_segments(samples, rate, min_gap_ms=min_gap)
    print(f"by threshold alone (quiet runs of {min_gap:.1f} ms or more between clips; the "
          f"longest inside these clips is {inside:.1f} ms): {len(by_threshold)} stretches")
    located, missing = soundtool.locate_clips(samples, rate, clips)
    if located is None:
        print(f"clip {missing + 1} ({syllables[missing]}.wav) is not in the recording "
              f"sample for sample after the ones before it; using the threshold's stretches")
        return by_threshold, "threshold"
    outside = soundtool.sound_outside(samples, rate, located)
    print(f"every clip found in order, sample for sample; sound outside them: {outside:.1f} ms")
    # Sound that belongs to no clip is another stretch: a clip played twice,
    # or one the sentence does not call for. A few ms are tolerated: the
    # tail of a clip cut off where the next one starts.
    check(outside <= 10.0,
          f"{outside:.1f} ms of sound outside the {len(syllables)} clips: more stretches of "
          f"sound than clips.\nby threshold:\n{show(by_threshold)}\nclips:\n{show(located)}")
    return located, "exact"


# ---------------------------------------------------------------------------


def test_run_headless(args):
    out = speak(args, SAMPLE_TEXT, "sample")
    wav = out / "spoken.wav"
    png = out / "window.png"
    check(wav.is_file(), f"no recording at {wav}")
    check(png.is_file(), f"no screenshot at {png}")

    stat = subprocess.run(["sox", str(wav), "-n", "stat"], capture_output=True, text=True,
                          timeout=60).stderr
    print(stat)
    figures = {}
    for line in stat.splitlines():
        key, _, value = line.partition(":")
        try:
            figures[key.strip()] = float(value)
        except ValueError:
            pass
    max_amplitude = figures.get("Maximum amplitude", 0.0)
    rms = figures.get("RMS     amplitude", 0.0)
    length = figures.get("Length (seconds)", 0.0)
    # The clips peak at -3 dBFS (0.71); anything played at all passes 0.25.
    # Speech with short pauses between clips keeps an RMS over 0.02 even with
    # the second of silence that ends the recording.
    check(max_amplitude > 0.25, f"recording nearly silent: maximum amplitude {max_amplitude}")
    check(rms > 0.02, f"recording nearly silent: RMS amplitude {rms}")

    # Length: the recording runs from before the click to a second after the
    # last sound. It cannot be shorter than the clips it has to hold, and a
    # run that plays each clip once ends well within twice their total plus
    # the start-up and the closing second.
    spoken_ms = sum(clip_ms(args.bank, s) for s in SAMPLE_SYLLABLES)
    samples, rate = soundtool.read_wav(str(wav))
    segments = soundtool.find_segments(samples, rate)
    check(segments, "no sound found in the recording")
    span_ms = segments[-1].end_ms - segments[0].start_ms
    print(f"clips to play: {spoken_ms:.0f} ms in all; sound in the recording from "
          f"{segments[0].start_ms:.0f} to {segments[-1].end_ms:.0f} ms ({span_ms:.0f} ms), "
          f"{len(segments)} stretches; recording {1000 * length:.0f} ms long")
    check(span_ms >= 0.8 * spoken_ms,
          f"the sound lasts {span_ms:.0f} ms, less than 80% of the {spoken_ms:.0f} ms of "
          f"clips the sentence plays:\n{show(segments)}")
    check(span_ms <= 2 * spoken_ms + 1000,
          f"the sound lasts {span_ms:.0f} ms, more than twice the {spoken_ms:.0f} ms of "
          f"clips the sentence plays:\n{show(segments)}")
    check(1000 * length >= segments[-1].end_ms + 500,
          f"the recording ({1000 * length:.0f} ms) stops right after the sound "
          f"({segments[-1].end_ms:.0f} ms): the end of the speech was not waited for")

    ident = subprocess.run(["identify", "-format", "%w %h %k", str(png)], capture_output=True,
                           text=True, timeout=60)
    check(ident.returncode == 0, f"identify could not read {png}: {ident.stderr}")
    width, height, colours = (int(v) for v in ident.stdout.split())
    print(f"screenshot: {width} x {height}, {colours} colours, {png.stat().st_size} bytes")
    # The window is 380 x 250; a screenshot of the whole screen or of a
    # sliver, or one flat colour, is not a picture of it.
    check(300 <= width <= 500 and 200 <= height <= 350,
          f"screenshot is {width} x {height}, expected about 380 x 250")
    check(colours >= 8, f"screenshot has only {colours} colours: nothing drawn")
    print("run_headless: passed")


def correlation(samples, start, clip, lag_range):
    """Best normalised correlation of the clip's first part with the
    recording around start, over lags -lag_range..lag_range."""
    n = min(len(clip), 2000)  # the first 90 ms tell the clips apart
    head = clip[:n]
    head_energy = math.sqrt(sum(x * x for x in head)) or 1.0
    best = -1.0
    for lag in range(-lag_range, lag_range + 1):
        a = start + lag
        if a < 0 or a + n > len(samples):
            continue
        window = samples[a:a + n]
        energy = math.sqrt(sum(x * x for x in window)) or 1.0
        value = sum(x * y for x, y in zip(window, head)) / (energy * head_energy)
        best = max(best, value)
    return best


def test_nihao(args):
    out = speak(args, "你好", "nihao")
    syllables = ["ni", "hao"]
    samples, rate = soundtool.read_wav(str(out / "spoken.wav"))
    clips = load_clips(args.bank, syllables, rate)
    segments, how = clip_segments(samples, rate, syllables, clips)
    print("stretches of sound:\n" + show(segments))
    check(len(segments) == 2,
          f"expected 2 stretches of sound (ni, hao), found {len(segments)}:\n{show(segments)}")

    # Lengths: Wine drops up to about 5 ms of a clip's end (the last partial
    # buffer, when the next clip's close arrives) and may insert up to 5 ms
    # of zeros inside it; the threshold moves each edge by a sample or two.
    # The tolerance, the larger of 25% and 60 ms, is far wider than that,
    # and still fails a clip cut short by an early close (a wait that is too
    # short) or run into another (a wait that is missing).
    problems = []
    for segment, syllable, clip in zip(segments, syllables, clips):
        sounding = soundtool.find_segments(clip, rate, min_gap_ms=1e9)
        expected = sounding[-1].end_ms - sounding[0].start_ms
        allowed = max(0.25 * expected, 60.0)
        verdict = "ok" if abs(segment.length_ms - expected) <= allowed else "WRONG"
        print(f"{syllable}: recorded {segment.length_ms:.1f} ms, clip {expected:.1f} ms "
              f"(allowed +-{allowed:.0f} ms) {verdict}")
        if verdict != "ok":
            problems.append(f"{syllable}: recorded {segment.length_ms:.1f} ms, clip {expected:.1f} ms")
    check(not problems, "segment lengths do not match the clips: " + "; ".join(problems))

    # Order. ni.wav and hao.wav of the default bank may be within a few ms
    # of each other in length, so the lengths cannot tell which came first.
    # The waveforms can: found sample for sample in this order, the order is
    # settled; otherwise each stretch is compared with the start of both
    # clips (best normalised correlation over +-5 ms around the stretch's
    # start): a faithful recording scores near 1 with its own clip and far
    # lower with the other.
    if how == "exact":
        print("order: ni.wav's samples come first, hao.wav's after them")
    else:
        lag = int(0.005 * rate)
        scores = {}
        for i, segment in enumerate(segments):
            for syllable, clip in zip(syllables, clips):
                scores[i, syllable] = correlation(samples, segment.start, clip, lag)
        for i in range(2):
            print(f"stretch {i + 1}: correlation with ni.wav {scores[i, 'ni']:.3f}, "
                  f"with hao.wav {scores[i, 'hao']:.3f}")
        check(scores[0, "ni"] > 0.8 and scores[1, "hao"] > 0.8,
              "the stretches do not look like ni.wav then hao.wav (correlation 0.8 or more "
              "expected)")
        check(scores[0, "ni"] > scores[0, "hao"] + 0.2 and
              scores[1, "hao"] > scores[1, "ni"] + 0.2,
              "the first stretch is not clearly ni.wav and the second hao.wav")
    print("real_sound_nihao: passed")


def test_gaps(args):
    print(f"text: {GAP_TEXT} ({len(GAP_TEXT)} characters)")
    all_gaps = []
    for run in range(args.runs):
        out = speak(args, GAP_TEXT, f"gaps{run + 1}")
        samples, rate = soundtool.read_wav(str(out / "spoken.wav"))
        clips = load_clips(args.bank, GAP_SYLLABLES, rate)
        segments, _ = clip_segments(samples, rate, GAP_SYLLABLES, clips)
        check(len(segments) == len(GAP_SYLLABLES),
              f"run {run + 1}: expected {len(GAP_SYLLABLES)} stretches of sound, one per "
              f"character, found {len(segments)}:\n{show(segments)}")
        gaps = [b.start_ms - a.end_ms for a, b in zip(segments, segments[1:])]
        all_gaps.extend(gaps)
        print(f"run {run + 1}: first sound {segments[0].start_ms:.0f} ms after recording began "
              f"(the click follows within a few ms)")
        print(f"run {run + 1}: clip   clip ms  recorded ms  gap after ms")
        for i, (segment, syllable, clip) in enumerate(zip(segments, GAP_SYLLABLES, clips)):
            gap = f"{gaps[i]:8.1f}" if i < len(gaps) else ""
            print(f"        {syllable:6} {1000.0 * len(clip) / rate:7.1f} "
                  f"{segment.length_ms:11.1f}  {gap}")
        print(f"run {run + 1}: gaps median {statistics.median(gaps):.1f} ms, "
              f"worst {max(gaps):.1f} ms, least {min(gaps):.1f} ms")
    print(f"GAPS over {args.runs} run(s) of {len(GAP_TEXT)} characters "
          f"({len(all_gaps)} gaps): median {statistics.median(all_gaps):.1f} ms, "
          f"worst {max(all_gaps):.1f} ms, least {min(all_gaps):.1f} ms")
    print("real_sound_gaps: passed (the gap figures are measurements, not checks)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("test", choices=["run-headless", "nihao", "gaps"])
    parser.add_argument("--exe", required=True, help="the 64-bit sylspeak.exe")
    parser.add_argument("--bank", required=True, help="the clip folder")
    parser.add_argument("--work", required=True, help="scratch and output folder")
    parser.add_argument("--runs", type=int, default=1, help="gaps: how many runs")
    args = parser.parse_args()
    test = {"run-headless": test_run_headless, "nihao": test_nihao, "gaps": test_gaps}[args.test]
    try:
        test(args)
    except Failed as failure:
        print(f"FAILED: {failure}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""The run command's headless path (python3 -m winedriver headless, as
scripts/run.sh calls it) with the sample sentence: a recording with sound
in it, of a plausible length, and a screenshot of the window."""

import os
import subprocess
import sys

from clip_checks import load_clips, locate, show
from conftest import BANK, REPO, WIN64_DIR
from winedriver import sound
from winedriver.headless import SAMPLE_TEXT

# The clips the sample sentence plays from the default bank, with the tones
# of running speech (你好 and 很好 are ni2 hao3 and hen2 hao3); each mark
# plays the silent pause .wav.
SAMPLE_SYLLABLES = ["ni2", "hao3", "", "shi4", "jie4", "", "jin1", "tian1", "tian1", "qi4", "hen2", "hao3", ""]


def clip_ms(syllable):
    clip, rate = sound.read_wav(BANK / f"{syllable}.wav")
    return 1000.0 * len(clip) / rate


def test_the_sample_sentence_is_recorded_and_the_window_captured(work, program_dir):
    out = work / "out"
    env = dict(os.environ, PYTHONPATH=str(REPO / "scripts" / "wine"))
    result = subprocess.run([sys.executable, "-m", "winedriver", "headless", "--program-dir", str(program_dir),
                             "--text", SAMPLE_TEXT, "--out", str(out), "--work", str(work / "headless"),
                             "--win64-dir", str(WIN64_DIR)], env=env, timeout=600)
    assert result.returncode == 0, "the headless run failed (see its output above)"
    wav, png = out / "spoken.wav", out / "window.png"
    assert wav.is_file(), f"no recording at {wav}"
    assert png.is_file(), f"no screenshot at {png}"

    samples, rate = sound.read_wav(wav)
    max_amplitude, rms = sound.levels(samples)
    length_ms = 1000 * len(samples) / rate
    # The clips peak near -1 dBFS (0.89); anything played at all passes 0.25.
    # Speech with short pauses between clips keeps an RMS over 0.02 even with
    # the second of silence that ends the recording.
    assert max_amplitude > 0.25, f"recording nearly silent: maximum amplitude {max_amplitude}"
    assert rms > 0.02, f"recording nearly silent: RMS amplitude {rms}"

    # Length: the recording runs from before the click to a second after the
    # last sound. It cannot be shorter than the clips it has to hold, and a
    # run that plays each clip once ends well within twice their total plus
    # the start-up and the closing second.
    spoken_ms = sum(clip_ms(s) for s in SAMPLE_SYLLABLES)
    segments = sound.find_segments(samples, rate)
    assert segments, "no sound found in the recording"
    span_ms = segments[-1].end_ms - segments[0].start_ms
    print(f"clips to play: {spoken_ms:.0f} ms in all; sound in the recording from {segments[0].start_ms:.0f} "
          f"to {segments[-1].end_ms:.0f} ms ({span_ms:.0f} ms), {len(segments)} stretches; recording "
          f"{length_ms:.0f} ms long")
    assert span_ms >= 0.8 * spoken_ms, (f"the sound lasts {span_ms:.0f} ms, less than 80% of the "
                                        f"{spoken_ms:.0f} ms of clips the sentence plays:\n{show(segments)}")
    assert span_ms <= 2 * spoken_ms + 1000, (f"the sound lasts {span_ms:.0f} ms, more than twice the "
                                             f"{spoken_ms:.0f} ms of clips the sentence plays:\n{show(segments)}")
    # With its tones: the sentence's toned clips are in the recording, whole,
    # in this order (a pause clip, silent, may lie between two of them).
    spoken_clips = [s for s in SAMPLE_SYLLABLES if s]
    starts, how = locate(samples, rate, spoken_clips, load_clips(spoken_clips, rate), search_ms=(40, 800))
    assert starts is not None, f"the toned clips {spoken_clips} are not all in the recording, in order: {how}"
    print("the toned clips, in order: " + " ".join(spoken_clips))
    assert length_ms >= segments[-1].end_ms + 500, (
        f"the recording ({length_ms:.0f} ms) stops right after the sound ({segments[-1].end_ms:.0f} ms): "
        "the end of the speech was not waited for")

    ident = subprocess.run(["identify", "-format", "%w %h %k", str(png)], capture_output=True, text=True,
                           timeout=60)
    assert ident.returncode == 0, f"identify could not read {png}: {ident.stderr}"
    width, height, colours = (int(v) for v in ident.stdout.split())
    print(f"screenshot: {width} x {height}, {colours} colours, {png.stat().st_size} bytes")
    # The window is 380 x 250; a screenshot of the whole screen or of a
    # sliver, or one flat colour, is not a picture of it.
    assert 300 <= width <= 500 and 200 <= height <= 350, \
        f"screenshot is {width} x {height}, expected about 380 x 250"
    assert colours >= 8, f"screenshot has only {colours} colours: nothing drawn"

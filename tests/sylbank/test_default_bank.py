"""The default clip bank the native build makes (tools/sylbank/make_bank.py),
measured on its files: what the program can ask for is there and plays,
and the clips are short, level, centred and faded.

Run by CTest with SYLBANK_DIR (the bank) and SYLBANK_CHECK (the native
sylbank-check) in the environment.
"""

import json
import os
import subprocess
import sys

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "sylbank"))

import bank_figures  # noqa: E402
import clip_audio  # noqa: E402

BANK = os.environ["SYLBANK_DIR"]
CHECKER = os.environ["SYLBANK_CHECK"]

# The paragraph of the pace figure, 40 characters in five runs of
# punctuation, as the clips the program plays for it: each character's first
# reading with its tone from the tables (no tone changes apply here), "," or
# "." for a punctuation run.
PARAGRAPH = bank_figures.PARAGRAPH
PARAGRAPH_CLIPS = (
    "chun1 tian1 lai2 le5 , gong1 yuan2 li3 de5 hua1 dou1 kai1 le5 . "
    "xiao3 peng2 you3 men2 zai4 cao3 di4 shang4 wan2 you2 xi4 , "
    "lao3 ren2 men2 zuo4 zai4 shu4 xia4 he1 cha2 liao2 tian1 . da4 jia1 dou1 hen3 kai1 xin1 ."
).split()


@pytest.fixture(scope="module")
def report():
    run = subprocess.run([CHECKER, "--json", BANK], capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr
    return json.loads(run.stdout)


@pytest.fixture(scope="module")
def clips():
    """Every syllable clip's samples, by name."""
    return {name[:-4]: clip_audio.read_wav(os.path.join(BANK, name))
            for name in sorted(os.listdir(BANK)) if name != ".wav"}


def clip_list():
    run = subprocess.run([CHECKER, "--clips"], capture_output=True, text=True, check=True)
    return [line.split("\t")[0] for line in run.stdout.splitlines()]


def test_every_clip_the_program_asks_for_is_there_and_plays(report):
    assert report["passes"]
    assert report["syllables_present"] == report["syllables_expected"]
    assert report["toned_pairs_present"] == report["toned_pairs_expected"]
    assert report["invalid"] == [] and report["unused"] == []
    assert report["silence_flagged"] == [] and report["long_clips"] == []
    for entry in report["clips"]:
        for clip in [entry] + entry["toned"]:
            assert (clip["channels"], clip["bits"], clip["sample_rate"]) == (1, 16, 22050), clip
            assert clip["notes"] == [], clip


def test_holds_the_clip_list_and_the_pause():
    assert sorted(os.listdir(BANK)) == sorted([name + ".wav" for name in clip_list()] + [".wav"])


def test_the_pause_is_a_short_silence():
    pause = clip_audio.read_wav(os.path.join(BANK, ".wav"))
    assert 80 <= clip_audio.duration_ms(pause) <= 200
    assert not pause.any()


def test_a_paragraph_speaks_at_a_natural_pace():
    """Four syllables a second or more over the whole paragraph, from the
    clips' lengths with 10 ms between clips and one pause per punctuation
    run."""
    assert len(PARAGRAPH) == 45 and sum(c not in "，。" for c in PARAGRAPH) == 40
    lengths = [clip_audio.duration_ms(clip_audio.read_wav(os.path.join(BANK, name + ".wav")))
               for name in PARAGRAPH_CLIPS if name not in ",."]
    pause_ms = clip_audio.duration_ms(clip_audio.read_wav(os.path.join(BANK, ".wav")))
    assert len(lengths) == 40
    pace = bank_figures.pace(lengths, PARAGRAPH_CLIPS.count(",") + PARAGRAPH_CLIPS.count("."),
                             pause_ms)
    assert pace >= 4.0, f"{pace:.2f} syllables a second"


def test_clips_are_whole_syllables(clips):
    """Short enough for the pace, long enough to be a syllable: no clip cut
    down to a click, none left with a long tail."""
    for name, samples in clips.items():
        assert 60 <= clip_audio.duration_ms(samples) <= 600, name


def test_speech_levels_are_even(clips):
    """Loudness evened by speech level: within 2 dB over all clips."""
    levels = sorted((clip_audio.speech_level_db(s), n) for n, s in clips.items())
    (low, low_name), (high, high_name) = levels[0], levels[-1]
    assert high - low <= 2.0, f"{low:.2f} dBFS ({low_name}) to {high:.2f} dBFS ({high_name})"


@pytest.mark.parametrize("figure, limit", [
    (clip_audio.peak_db, -0.5),      # no clipping
    (clip_audio.dc_percent, 0.1),    # % of full scale
    (clip_audio.edge_db, -40.0),     # first and last 2 ms: faded, joins do not click
], ids=["peak", "dc", "edges"])
def test_worst_clip_is_within_limit(clips, figure, limit):
    value, name = max((figure(s), n) for n, s in clips.items())
    assert value < limit, f"{value:.3f} in {name}"

"""Fixtures of the real-sound tests: the program under Wine with Wine's own
MCI, its sound going into a private PulseAudio null sink and recorded, by the
same path the run command takes without a display (winedriver.headless).

Paths come from the environment (CTest sets them):
  SYLSPEAK_WIN64_DIR       the x86_64 Windows build (default build/win64)
  SYLSPEAK_SOUND_BANK_DIR  the clip bank played (default build/native/sylbank)
  SYLSPEAK_SOUND_WORK      where each file's recordings and logs stay
                           (default build/sound-work)
Run a file by hand with Debian's Python:
  /usr/bin/python3 -m pytest tests/sound/test_real_sound.py
"""

import os
import sys
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "scripts" / "wine"))

from winedriver import Session  # noqa: E402
from winedriver.session import lay_out_program  # noqa: E402

WIN64_DIR = Path(os.environ.get("SYLSPEAK_WIN64_DIR", REPO / "build" / "win64"))
BANK = Path(os.environ.get("SYLSPEAK_SOUND_BANK_DIR", REPO / "build" / "native" / "sylbank"))
WORK = Path(os.environ.get("SYLSPEAK_SOUND_WORK", REPO / "build" / "sound-work"))


@pytest.fixture(scope="module")
def work(request):
    folder = WORK / Path(request.module.__file__).stem
    folder.mkdir(parents=True, exist_ok=True)
    return folder


@pytest.fixture(scope="module")
def program_dir(work):
    """A folder laid out as the program ships: sylspeak.exe and sylbank\\."""
    exe = WIN64_DIR / "shell" / "sylspeak.exe"
    assert exe.is_file(), f"no program at {exe}: build it first (scripts/build.sh)"
    assert (BANK / "ni.wav").is_file(), \
        f"no clip bank at {BANK}: make it first (cmake --build <native build> --target sylbank)"
    return lay_out_program(work / "program", exe, bank=BANK)


@pytest.fixture(scope="module")
def sound_session(work):
    with Session(work / "session", WIN64_DIR, sound=True) as session:
        yield session

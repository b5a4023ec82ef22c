"""The run command's headless path: the program on a virtual display with
its sound going into a private PulseAudio null sink; the sentence pasted
into the box, the button clicked, what it says recorded and what it looks
like captured, then the window closed. The sound tests take the same path."""

import logging
import shutil
import tempfile
from pathlib import Path

from winedriver.program import BUTTON_ID
from winedriver import pulse, sound
from winedriver.processes import DriverError
from winedriver.session import Session

log = logging.getLogger(__name__)

SAMPLE_TEXT = "你好，世界。今天天气很好。"


class Spoken:
    """What a headless run left: the recording, the screenshot, and the ms
    of the recording at which the click on the button was sent (as far as
    the recorder had come then; it lags by up to its 20 ms latency)."""

    def __init__(self, wav, png, click_ms):
        self.wav, self.png, self.click_ms = wav, png, click_ms


def check_program_dir(program_dir):
    for needed in ("sylspeak.exe", "sylbank"):
        if not (Path(program_dir) / needed).exists():
            raise DriverError(f"no {needed} in {program_dir}")


def speak(session, program_dir, text, out_dir):
    """In a session made with sound=True: starts program_dir/sylspeak.exe
    with program_dir as its working directory (as Explorer would), pastes
    text, starts recording, clicks the button, waits until sound has come
    and then stayed away for a second, takes window.png, closes the window
    with Alt+F4 and writes spoken.wav. Raises DriverError when a step fails,
    the program exits with anything but 0, or no sound ended in time."""
    program_dir, out_dir = Path(program_dir).resolve(), Path(out_dir).resolve()
    check_program_dir(program_dir)
    out_dir.mkdir(parents=True, exist_ok=True)
    # Allow a start-up delay and two seconds per character; the program
    # itself gets a minute more than that before `timeout` ends it.
    limit_s = 20 + 2 * len(text)
    log.info("starting %s under wine64", program_dir / "sylspeak.exe")
    program = session.start_program(program_dir, cwd=program_dir, limit_s=limit_s + 60)
    program.wait_window()
    log.info("window %s is up", program.wid)
    # Chinese cannot be typed into the program with synthetic key presses;
    # it is pasted from the clipboard, as a user of an input method would.
    program.paste(text)
    recording = session.record("spoken")
    log.info('pasted "%s", clicking the button', text)
    # Where the button is, asked before the click: the asking takes a helper
    # run, which must not fall between the time noted and the click.
    button = program.control_centre(BUTTON_ID)
    click_ms = 1000.0 * recording.raw.stat().st_size / 2 / pulse.RATE
    program.click_at(*button)
    try:
        heard = sound.wait_for_end(recording.raw, pulse.RATE, quiet_ms=1000, start_timeout_s=15,
                                   timeout_s=limit_s)
        log.info("sound from %d ms to %d ms of the recording", *heard)
        problem = None
    except TimeoutError as error:
        problem = str(error)
        log.info("%s", problem)

    rect = program.window_rect()
    png = session.display.screenshot(out_dir / "window.png", rect)
    log.info("screenshot of the window (%d x %d at %d,%d)", rect[2], rect[3], rect[0], rect[1])
    program.keys("alt+F4")
    # A window that does not close within 20 s is a failure, not a wait.
    exit_code = program.wait_exit(limit_s=20)
    wav = recording.stop(out_dir / "spoken.wav")
    samples, rate = sound.read_wav(wav)
    peak, rms = sound.levels(samples)
    log.info("recording: %s", wav)
    log.info("  Length (seconds): %.6f", len(samples) / rate)
    log.info("  Maximum amplitude: %.6f", peak)
    log.info("  RMS     amplitude: %.6f", rms)
    log.info("screenshot: %s", png)
    if exit_code != 0:
        raise DriverError(f"the program exited with code {exit_code} after Alt+F4 (124: it did not end); "
                          f"its output: {program.output_path.read_bytes()[-2000:]!r}")
    log.info("the program closed with exit code 0")
    if problem:
        raise DriverError(f"no sound was recorded, or it never stopped: {problem}")
    return Spoken(wav, png, click_ms)


def speak_headless(program_dir, text, out_dir, win64_dir, work_dir=None, keep_work=False):
    """speak() in a session of its own, set up and stopped around it. The
    work folder (a new temporary one by default) holds the session's logs;
    the prefix is always removed, a temporary work folder too unless
    keep_work."""
    check_program_dir(program_dir)
    temporary = work_dir is None
    work = Path(work_dir or tempfile.mkdtemp(prefix="sylspeak-headless."))
    try:
        with Session(work, win64_dir, sound=True) as session:
            return speak(session, program_dir, text, out_dir)
    finally:
        if temporary and not keep_work:
            shutil.rmtree(work, ignore_errors=True)

"""The driver's command line, for scripts/run.sh:

  python3 -m winedriver headless --program-dir DIR [--text TEXT] [--out DIR]
                                 [--work DIR] [--win64-dir DIR]
      The headless run (see headless.py): DIR/spoken.wav and DIR/window.png.
      The work folder is a new temporary one, removed at the end unless
      KEEP_WORK=1.
  python3 -m winedriver window --program-dir DIR --prefix DIR
      Opens the program on the display in $DISPLAY with the desktop's sound,
      in the given Wine prefix (made from the template when it is missing),
      and waits until it is closed; exits with the program's exit code.
  python3 -m winedriver prepare
      Makes the zh_CN locale and the template Wine prefix (once).

Exit code 1 when a step fails (the message says which), 2 on a usage error.
"""

import argparse
import logging
import os
import subprocess
import sys
from pathlib import Path

from winedriver import wine
from winedriver.headless import SAMPLE_TEXT, speak_headless
from winedriver.processes import DriverError

REPO = Path(__file__).resolve().parents[3]


def headless(args):
    # speak_headless raises DriverError for anything but a clean run, exit
    # code 0 included.
    speak_headless(args.program_dir, args.text, args.out, args.win64_dir, args.work,
                   keep_work=os.environ.get("KEEP_WORK") == "1")
    return 0


def window(args):
    prefix = Path(args.prefix).resolve()
    if not (prefix / wine.DONE_MARK).exists():
        logging.info("making a Wine prefix in %s", prefix)
        wine.new_prefix(prefix)
    env = wine.wine_env(prefix, os.environ["DISPLAY"])
    # The desktop's own sound server, where there is one.
    env.update({k: v for k, v in os.environ.items() if k.startswith("PULSE_")})
    answers = subprocess.run(["pactl", "info"], env=env, capture_output=True, timeout=10).returncode == 0
    logging.info("sound goes to the PulseAudio server of this session" if answers else
                 "no PulseAudio server answers; Wine will try ALSA for the sound")
    logging.info("opening the window on %s; close it to finish", env["DISPLAY"])
    try:
        code = subprocess.run([wine.WINE64, "sylspeak.exe"], cwd=args.program_dir, env=env).returncode
    finally:
        wine.stop_server(env)
    logging.info("the program ended with exit code %d", code)
    return code


def main():
    parser = argparse.ArgumentParser(prog="python3 -m winedriver", description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("headless")
    p.add_argument("--program-dir", required=True)
    p.add_argument("--text", default=SAMPLE_TEXT)
    p.add_argument("--out", default=".")
    p.add_argument("--work")
    p.add_argument("--win64-dir", default=str(REPO / "build" / "win64"))
    p.set_defaults(func=headless, name="headless")
    p = sub.add_parser("window")
    p.add_argument("--program-dir", required=True)
    p.add_argument("--prefix", required=True)
    p.set_defaults(func=window, name="run")
    p = sub.add_parser("prepare")
    p.set_defaults(func=lambda args: wine.ensure_template() or 0, name="run")
    args = parser.parse_args()
    logging.basicConfig(level=logging.INFO, format=f"{args.name}: %(message)s", stream=sys.stdout)
    try:
        return args.func(args)
    except DriverError as error:
        print(f"{args.name}: FAILED: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())

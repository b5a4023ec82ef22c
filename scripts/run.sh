#!/usr/bin/env bash
# run.sh: sets up this machine, builds the program and its clip bank, and
# runs it.
#
#   scripts/run.sh [--headless] [--text TEXT] [--out DIR]
#
# Set-up (each step does nothing when it is already done): the Debian
# packages, the pinyin source, the three builds (scripts/build.sh), the
# default clip bank, the zh_CN locale and a Wine prefix. The program and the
# bank are then laid out in build/run/sylspeak/ as they ship.
#
# With a display ($DISPLAY answers): opens the window there under wine64,
# with sound through the desktop's PulseAudio, and waits until it is closed.
#
# Without one, or with --headless: runs it on a virtual display with sound
# going into a private PulseAudio null sink, pastes TEXT into the box, clicks
# the button, records what it says and takes a screenshot, closes it, and
# leaves DIR/spoken.wav and DIR/window.png (default DIR: build/run/out).
#
#   --headless   the headless run even when there is a display
#   --text TEXT  the sentence for the headless run (default: 你好，世界。今天天气很好。)
#   --out DIR    where the headless run puts its files
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

headless=0
text='你好，世界。今天天气很好。'
out_dir=build/run/out
usage() {
  sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case "$1" in
    --headless) headless=1; shift ;;
    --text) [ $# -ge 2 ] || usage; text=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out_dir=$2; shift 2 ;;
    -h|--help) usage ;;
    *) echo "run: unknown argument $1" >&2; usage ;;
  esac
done
[ -n "$text" ] || { echo "run: --text needs a sentence" >&2; exit 2; }

say() { echo "run: $*"; }

say "checking the Debian packages (installs what is missing; the first time takes minutes)"
scripts/install-packages.sh
say "checking the pinyin source"
scripts/setup-node.sh
say "building (build/native with the clip bank, build/win64, build/win32; the first time takes minutes)"
scripts/build.sh

# The native build makes the default clip bank (espeak-ng speaks every
# syllable once; later builds reuse it).
bank=build/native/sylbank
if [ ! -f "$bank/.wav" ]; then
  echo "run: no clip bank in $bank" >&2
  exit 1
fi

program_dir=build/run/sylspeak
say "laying out the program in $program_dir"
rm -rf "$program_dir"
mkdir -p "$program_dir"
cp build/win64/shell/sylspeak.exe "$program_dir/"
cp -a "$bank" "$program_dir/sylbank"

# The Wine driver (scripts/wine/winedriver) runs the program, with Debian's
# Python, which has the numpy it uses.
driver() { PYTHONPATH="$root/scripts/wine" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -m winedriver "$@"; }
say "preparing Wine: the zh_CN locale and a template prefix (about 20 s the first time)"
driver prepare

display_ok=0
if [ "$headless" = 0 ] && [ -n "${DISPLAY:-}" ] && timeout 10 xdpyinfo >/dev/null 2>&1; then
  display_ok=1
fi

if [ "$display_ok" = 1 ]; then
  # The user's own prefix, kept between runs; the exit code is the program's.
  driver window --program-dir "$program_dir" --prefix "$root/build/run/prefix"
  exit 0
fi

if [ "$headless" = 0 ]; then
  say "no display answers${DISPLAY:+ on $DISPLAY}: running headless"
fi
driver headless --program-dir "$program_dir" --text "$text" --out "$out_dir" --win64-dir "$root/build/win64"
out_abs="$(cd "$out_dir" && pwd)"
say "done: the program spoke \"$text\""
say "  recording:  $out_abs/spoken.wav"
say "  screenshot: $out_abs/window.png"

#!/usr/bin/env bash
# speak-headless.sh: runs the program on a virtual display with its sound
# going into a private PulseAudio null sink, has it speak a sentence, and
# keeps what it said and what it looked like:
#
#   speak-headless.sh --program-dir DIR [--text TEXT] [--out DIR] [--work DIR]
#
#   --program-dir DIR  folder with sylspeak.exe and its sylbank\ folder; the
#                      program runs with this as its current folder, as it
#                      would when started from Explorer
#   --text TEXT        what to paste into the text box (UTF-8)
#   --out DIR          where spoken.wav and window.png go (default: .)
#   --work DIR         scratch folder for the Wine prefix, the PulseAudio
#                      server and logs; the prefix is removed at the end
#                      unless KEEP_WORK=1 (default: a new temporary folder,
#                      removed whole at the end unless KEEP_WORK=1)
#
# Steps: a copy of the template Wine prefix (zh_CN locale, code page 936),
# Xvfb, the PulseAudio server, the program; paste the text (xclip and
# Ctrl+V), start recording the sink's monitor, click the button, wait until
# sound has come and then stayed away for a second, screenshot the window,
# close it with Alt+F4 and check that the program exits with code 0.
#
# Exit code 0 when every step worked, the program exited with 0 and sound was
# heard. Everything started here is stopped on the way out, on failure too.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"

program_dir=
text='你好，世界。今天天气很好。'
out_dir=.
work=
usage() {
  sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed '$d' | sed 's/^# \{0,1\}//' >&2
  exit 2
}
while [ $# -gt 0 ]; do
  case "$1" in
    --program-dir) [ $# -ge 2 ] || usage; program_dir=$2; shift 2 ;;
    --text) [ $# -ge 2 ] || usage; text=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out_dir=$2; shift 2 ;;
    --work) [ $# -ge 2 ] || usage; work=$2; shift 2 ;;
    -h|--help) usage ;;
    *) echo "speak-headless: unknown argument $1" >&2; usage ;;
  esac
done
[ -n "$program_dir" ] || usage
if [ ! -f "$program_dir/sylspeak.exe" ]; then
  echo "speak-headless: no sylspeak.exe in $program_dir" >&2
  exit 1
fi
if [ ! -d "$program_dir/sylbank" ]; then
  echo "speak-headless: no sylbank folder in $program_dir" >&2
  exit 1
fi
program_dir="$(cd "$program_dir" && pwd)"
mkdir -p "$out_dir"
out_dir="$(cd "$out_dir" && pwd)"

if [ -z "$work" ]; then
  work="$(mktemp -d "${TMPDIR:-/tmp}/sylspeak-headless.XXXXXX")"
  [ "${KEEP_WORK:-0}" = 1 ] || remove_work=1
else
  mkdir -p "$work"
  work="$(cd "$work" && pwd)"
fi

say() { echo "speak-headless: $*"; }

# shellcheck source=../wine/env.sh
. "$root/scripts/wine/env.sh"
# shellcheck source=pulse.sh
. "$here/pulse.sh"

program_pid=
xclip_pid=
cleanup() {
  local rc=$?
  set +e
  [ -n "$xclip_pid" ] && kill "$xclip_pid" 2>/dev/null && wait "$xclip_pid" 2>/dev/null
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null
    wait "$program_pid" 2>/dev/null
  fi
  pulse_stop
  wine_stop_all
  # The prefix is large (hundreds of MB); the logs beside it are kept when
  # the work folder was given.
  if [ "${remove_work:-0}" = 1 ]; then
    rm -rf "$work"
  elif [ "${KEEP_WORK:-0}" != 1 ]; then
    rm -rf "$work/prefix"
  fi
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# xdotool waits for the window in some commands; never for long.
xdo() { timeout 10 xdotool "$@"; }

fail() {
  echo "speak-headless: FAILED: $*" >&2
  exit 1
}

wine_setup_cache || fail "could not make the zh_CN locale and the Wine prefix template"
wine_new_prefix "$work/prefix"
wine_start_xvfb || fail "Xvfb did not start"
say "virtual display $DISPLAY"
pulse_start "$work/pulse" || fail "the PulseAudio server did not start"
say "PulseAudio null sink $PULSE_SINK on $PULSE_SERVER"
wine_start_server

# The program plays clip after clip; once a second has passed without sound
# it has finished. Allow a start-up delay and two seconds per character; the
# program itself gets a minute more than that before timeout ends it.
chars=$(printf '%s' "$text" | wc -m)
limit=$((20 + 2 * chars))

# Keep what the program and Wine print, for a look after a failure.
say "starting $program_dir/sylspeak.exe under wine64"
(cd "$program_dir" && exec timeout $((limit + 60)) "$WINE64" sylspeak.exe) >"$work/program.log" 2>&1 &
program_pid=$!

wid=
for _ in $(seq 600); do
  wid=$(xdo search --onlyvisible --class 'sylspeak' 2>/dev/null | head -n 1 || true)
  [ -n "$wid" ] && break
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$wid" ]; then
  sed 's/^/  /' "$work/program.log" >&2
  fail "the program's window did not appear within 30 s"
fi
say "window $wid is up"

# Chinese cannot be typed into the program with synthetic key presses; paste
# it from the clipboard, as a user of a Chinese input method would.
printf '%s' "$text" | timeout 60 xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
xclip_pid=$!
sleep 0.2
xdo windowfocus --sync "$wid"
xdo key --clearmodifiers ctrl+v
sleep 0.3
kill "$xclip_pid" 2>/dev/null || true
wait "$xclip_pid" 2>/dev/null || true
xclip_pid=

raw="$work/spoken.raw"
pulse_record_start "$raw" || fail "could not record the sink's monitor"
# The button's centre: client (296 + 40, 104 + 16), and the frame Wine draws
# puts the client area at (3, 22) in the window.
say "pasted \"$text\", clicking the button"
xdo mousemove --window "$wid" 339 142 click 1

set +e
python3 "$here/soundtool.py" wait-end "$raw" --rate "$PULSE_RATE" --quiet-ms 1000 \
  --start-timeout 15 --timeout "$limit" >"$work/wait-end.txt" 2>&1
wait_rc=$?
set -e
sed 's/^/speak-headless: /' "$work/wait-end.txt"

geometry=$(xdo getwindowgeometry --shell "$wid")
eval "$geometry"  # X Y WIDTH HEIGHT
timeout 30 import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out_dir/window.png"
say "screenshot of the window ($WIDTH x $HEIGHT at $X,$Y)"

xdo windowfocus --sync "$wid"
xdo key --clearmodifiers alt+F4
# A window that does not close within 20 s is a failure, not a wait.
for _ in $(seq 400); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.05
done
if kill -0 "$program_pid" 2>/dev/null; then
  fail "the program was still running 20 s after Alt+F4"
fi
set +e
wait "$program_pid"
exit_code=$?
set -e
program_pid=
pulse_record_stop
pulse_raw_to_wav "$raw" "$out_dir/spoken.wav"

say "recording: $out_dir/spoken.wav"
sox "$out_dir/spoken.wav" -n stat 2>&1 | grep -E '^(Length|Maximum amplitude|RMS +amplitude)' |
  sed 's/^/speak-headless:   /'
say "screenshot: $out_dir/window.png"

if [ "$exit_code" -ne 0 ]; then
  sed 's/^/  /' "$work/program.log" >&2
  fail "the program exited with code $exit_code after Alt+F4 (124: it did not end)"
fi
say "the program closed with exit code 0"
[ "$wait_rc" -eq 0 ] || fail "no sound was recorded, or it never stopped (see above)"

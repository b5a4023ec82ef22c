#!/usr/bin/env bash
# Makes the default clip bank: one WAV clip per syllable, spoken by espeak-ng,
# plus the short pause ".wav" that the program plays for every unit without a
# syllable.
#
#   make-bank.sh [--checker PATH] [--syllables FILE] [--jobs N] OUTDIR
#
# The syllable names come from `sylbank-check --syllables` (the program's own
# lookup tables), or from FILE, one name per line, when --syllables is given.
# --checker names the sylbank-check to use (default: the one on PATH); when it
# can be run, the finished bank is checked with it and a faulty bank fails.
#
# Each clip: the syllable read with tone 1 by the voice cmn-latn-pinyin at
# 140 syllables a minute, 16-bit PCM mono at 22050 Hz, silence trimmed at
# both ends (the program plays clip after clip, so any silence left in a clip
# is a gap in the speech), peak level brought to -3 dBFS so that all clips
# sound alike.
#
# Why these choices: the clips carry no tone, and the level first tone is the
# one that does not suggest a wrong contour (espeak-ng reads a bare syllable
# with tone 1 anyway; the neutral tone 5 comes out short and low). At
# espeak-ng's default 175 a minute the shortest clips (de) last under 150 ms
# once trimmed; 140 gives 200 ms to 530 ms, a calm reading pace. The trim
# threshold, -50 dBFS (0.3%), is low enough to keep weak onsets such as the h
# of hu, which a -40 dBFS trim would clip by some 50 ms; espeak-ng's pauses
# are digital silence, so nothing but speech stays above it.
set -euo pipefail

readonly VOICE=cmn-latn-pinyin
readonly TONE=1
readonly SPEED=140  # words (here: syllables) per minute; espeak-ng's default is 175
readonly RATE=22050
readonly PAUSE_SECONDS=0.12

usage() {
  echo "usage: make-bank.sh [--checker PATH] [--syllables FILE] [--jobs N] OUTDIR" >&2
  exit 2
}

checker=sylbank-check
list_file=
jobs=2
outdir=
while [ $# -gt 0 ]; do
  case "$1" in
    --checker) [ $# -ge 2 ] || usage; checker=$2; shift 2 ;;
    --syllables) [ $# -ge 2 ] || usage; list_file=$2; shift 2 ;;
    --jobs) [ $# -ge 2 ] || usage; jobs=$2; shift 2 ;;
    -*) usage ;;
    *) [ -z "$outdir" ] || usage; outdir=$1; shift ;;
  esac
done
[ -n "$outdir" ] || usage

for tool in espeak-ng sox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "make-bank: $tool is not installed (scripts/install-packages.sh installs it)" >&2
    exit 1
  fi
done
voices=$(espeak-ng --voices 2>/dev/null || true)
if ! printf '%s\n' "$voices" | grep -qw -- "$VOICE"; then
  echo "make-bank: espeak-ng has no voice $VOICE" >&2
  exit 1
fi

if [ -n "$list_file" ]; then
  syllables=$(cat "$list_file")
else
  syllables=$("$checker" --syllables)
fi
total=$(printf '%s\n' "$syllables" | grep -c . || true)
if [ "$total" -eq 0 ]; then
  echo "make-bank: the syllable list is empty" >&2
  exit 1
fi
# The names become file names: refuse anything but lowercase letters.
bad=$(printf '%s\n' "$syllables" | grep -v '^[a-z]\{1,6\}$' || true)
if [ -n "$bad" ]; then
  echo "make-bank: the syllable list holds a name that is not 1 to 6 lowercase letters" >&2
  exit 1
fi

mkdir -p "$outdir"
work=$(mktemp -d "${TMPDIR:-/tmp}/make-bank.XXXXXX")
trap 'rm -rf "$work"' EXIT

# One clip. espeak-ng reads u-umlaut as v, so the two syllables that are
# written with a plain u here but sound with u-umlaut are spelled lve and nve.
# (lu and nu stand for both the plain u and the u-umlaut syllable; they are
# spoken as written, with the plain u.)
make_one() {
  local syl=$1 work=$2 spoken
  case "$syl" in
    lue) spoken=lve ;;
    nue) spoken=nve ;;
    *) spoken=$syl ;;
  esac
  # (-w writes the file; -q would silence the file as well, so it is not used.)
  if ! espeak-ng -v "$VOICE" -s "$SPEED" -w "$work/$syl.raw.wav" "$spoken$TONE" >/dev/null 2>&1 ||
     [ ! -s "$work/$syl.raw.wav" ]; then
    echo "make-bank: espeak-ng could not speak $spoken$TONE" >&2
    return 1
  fi
  sox -q "$work/$syl.raw.wav" -r "$RATE" -c 1 -b 16 -e signed-integer "$work/$syl.wav" \
    silence 1 0.005 0.3% reverse silence 1 0.005 0.3% reverse norm -3 || return 1
  rm -f "$work/$syl.raw.wav"
  echo "$syl"
}
export -f make_one
export VOICE TONE SPEED RATE

start=$(date +%s)
echo "make-bank: speaking $total syllables with espeak-ng -v $VOICE (tone $TONE), $jobs at a time"
printf '%s\n' "$syllables" | grep . |
  xargs -P "$jobs" -I{} bash -c 'make_one "$1" "$2" || exit 255' _ {} "$work" |
  awk -v total="$total" '{ n++; if (n % 50 == 0 || n == total) printf "make-bank: %d/%d clips\n", n, total }'

made=$(find "$work" -maxdepth 1 -name '*.wav' | wc -l)
if [ "$made" -ne "$total" ]; then
  echo "make-bank: made only $made of $total clips" >&2
  exit 1
fi

# The no-syllable clip: a short pause, so that punctuation and Latin letters
# leave a gap between words instead of running them together.
sox -q -n -r "$RATE" -c 1 -b 16 -e signed-integer "$work/.wav" trim 0 "$PAUSE_SECONDS"

mv -f "$work"/*.wav "$work/.wav" "$outdir"/
echo "make-bank: $((total + 1)) clips in $outdir ($(($(date +%s) - start)) s)"

if command -v "$checker" >/dev/null 2>&1 || [ -x "$checker" ]; then
  if ! "$checker" "$outdir" >"$work/check.txt"; then
    cat "$work/check.txt" >&2
    echo "make-bank: the new bank does not pass sylbank-check" >&2
    exit 1
  fi
  grep -E '^(Syllable clips|Durations|Result):' "$work/check.txt" | sed 's/^/make-bank: /'
fi

#!/usr/bin/env bash
# make-prefix.sh DIR: makes a Wine prefix in DIR that suits running the
# program from scripts, to be copied with `cp -a` for each run:
#  - Wine draws the frame itself and gives the focus without a window manager
#    (X11 Driver / Managed = N);
#  - a crash ends the process with a non-zero exit code instead of waiting on
#    a debugger dialog (ShowCrashDialog = 0 and an AeDebug debugger command
#    that does not exist);
#  - the caption-button and frame fonts are installed.
# Does nothing when DIR already holds a finished prefix. Safe to run from
# several processes at once: they wait for each other.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
dir="${1:?usage: make-prefix.sh DIR}"
mkdir -p "$(dirname "$dir")"
dir="$(cd "$(dirname "$dir")" && pwd)/$(basename "$dir")"

exec 9>"$dir.lock"
flock 9
if [ -f "$dir/.sylspeak-prefix-done" ]; then
  exit 0
fi

# shellcheck source=scripts/wine/env.sh
. "$here/env.sh"
"$here/make-locale.sh" "$LOCPATH"
wine_use_locale

rm -rf "$dir" "$dir.new"
export WINEPREFIX="$dir.new"
mkdir -p "$WINEPREFIX"
trap 'timeout 20 "$WINESERVER" -k 2>/dev/null || true; rm -rf "$dir.new"' EXIT
# wineboot needs no display; keep it from looking for one.
unset DISPLAY

echo "make-prefix: initialising a Wine prefix in $dir (about 15 s, once)"
timeout 180 "$WINE64" wineboot -i >/dev/null 2>&1

reg() { timeout 60 "$WINE64" reg add "$@" /f >/dev/null 2>&1; }
echo "make-prefix: registry settings"
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N
reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d 'no-such-debugger.exe'
reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 1

echo "make-prefix: fonts"
fonts="$WINEPREFIX/drive_c/windows/Fonts"
mkdir -p "$fonts"
cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma*.ttf "$fonts/"

timeout 120 "$WINESERVER" -w
trap - EXIT
touch "$WINEPREFIX/.sylspeak-prefix-done"
mv "$WINEPREFIX" "$dir"
echo "make-prefix: done"

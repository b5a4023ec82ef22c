# shellcheck shell=bash
# Source this file to get the settings and small functions that every script
# running the Windows program under Wine shares:
#
#   . scripts/wine/env.sh
#   wine_setup_cache                # zh_CN locale + template prefix, made once
#   wine_new_prefix "$dir/prefix"   # a private copy of the template
#   wine_start_xvfb                 # sets DISPLAY, XVFB_PID
#   wine_start_server               # persistent wineserver for WINEPREFIX
#   timeout 30 "$WINE64" program.exe
#   wine_stop_all                   # wineserver and Xvfb; safe to call twice
#
# Only 64-bit Wine runs on this kind of machine (the kernel cannot execute
# 32-bit ELF binaries), so everything goes through the wine64 loader directly.

SYLSPEAK_WINE_SCRIPTS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export SYLSPEAK_WINE_SCRIPTS

# Where the locale and the template prefix are kept between runs.
export SYLSPEAK_WINE_CACHE="${SYLSPEAK_WINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sylspeak-wine}"

export WINE64="${WINE64:-/usr/lib/wine/wine64}"
export WINESERVER="${WINESERVER:-/usr/lib/wine/wineserver64}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No desktop integration: no menu entries, no file associations, no mono or
# gecko download prompts.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winemenubuilder.exe=d;mscoree=d;mshtml=d}"

# Wine takes its ANSI code page from the Unix locale, and the locale has to
# exist for real: code page 936 needs a generated zh_CN.UTF-8. The variables
# are set once the locale is there (wine_use_locale), so that the shell that
# sources this file does not complain about a locale it cannot load.
export LOCPATH="$SYLSPEAK_WINE_CACHE/locale"

wine_use_locale() {
  # The shell itself cannot load a locale from LOCPATH and says so; only the
  # programs started from it need the variables.
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 2>/dev/null
}

wine_setup_cache() {
  "$SYLSPEAK_WINE_SCRIPTS/make-locale.sh" "$LOCPATH" &&
    "$SYLSPEAK_WINE_SCRIPTS/make-prefix.sh" "$SYLSPEAK_WINE_CACHE/prefix-template" &&
    wine_use_locale
}

if [ -f "$LOCPATH/zh_CN.UTF-8/LC_CTYPE" ]; then
  wine_use_locale
fi

# wine_new_prefix DIR: copies the template prefix to DIR and makes it the
# current WINEPREFIX.
wine_new_prefix() {
  rm -rf "$1"
  cp -a "$SYLSPEAK_WINE_CACHE/prefix-template" "$1"
  WINEPREFIX="$(cd "$1" && pwd)"
  export WINEPREFIX
}

# wine_start_xvfb: starts Xvfb on a display number that is free (Xvfb picks
# it itself and reports it through -displayfd), exports DISPLAY and XVFB_PID.
wine_start_xvfb() {
  local fifo_dir
  fifo_dir="$(mktemp -d)"
  mkfifo "$fifo_dir/displayfd"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo_dir/displayfd" >/dev/null 2>&1 &
  XVFB_PID=$!
  local n
  if ! read -r -t 20 n <"$fifo_dir/displayfd"; then
    rm -rf "$fifo_dir"
    echo "wine_start_xvfb: Xvfb did not report a display within 20 s" >&2
    kill "$XVFB_PID" 2>/dev/null
    return 1
  fi
  rm -rf "$fifo_dir"
  export DISPLAY=":$n" XVFB_PID
}

# wine_start_server: a persistent wineserver for WINEPREFIX, kept alive for
# the whole run so that each program starts warm.
wine_start_server() {
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
}

wine_stop_all() {
  if [ -n "${WINEPREFIX:-}" ]; then
    timeout 20 "$WINESERVER" -k 2>/dev/null || true
    timeout 20 "$WINESERVER" -w 2>/dev/null || true
  fi
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    unset XVFB_PID
  fi
}

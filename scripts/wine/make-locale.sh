#!/usr/bin/env bash
# make-locale.sh DIR: generates the zh_CN.UTF-8 locale into DIR (nothing
# outside DIR is written). Wine derives its ANSI code page from the Unix
# locale, so this is what gives the program code page 936. Use it with
#   LOCPATH=DIR LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
# Does nothing when DIR already holds the locale.
set -euo pipefail

dir="${1:?usage: make-locale.sh DIR}"
if [ -f "$dir/zh_CN.UTF-8/LC_CTYPE" ]; then
  exit 0
fi
mkdir -p "$dir"
echo "make-locale: generating zh_CN.UTF-8 into $dir (a few seconds)"
tmp="$(mktemp -d "$dir/.new.XXXXXX")"
trap 'rm -rf "$tmp"' EXIT
# localedef exits 1 on mere warnings; the files are written all the same.
localedef -i zh_CN -f UTF-8 "$tmp/zh_CN.UTF-8" || [ -f "$tmp/zh_CN.UTF-8/LC_CTYPE" ]
rm -rf "$dir/zh_CN.UTF-8"
mv "$tmp/zh_CN.UTF-8" "$dir/zh_CN.UTF-8"

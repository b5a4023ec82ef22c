#!/usr/bin/env bash
# Installs the pinyin source package the table generator reads, at the
# versions pinned in tools/pinyin/package-lock.json. Does nothing when the
# installed tree was made from this very lock file: after each `npm ci` the
# lock file's checksum is kept beside the tree, and a changed lock file, or a
# tree that is gone, brings a fresh install.
set -euo pipefail
cd "$(dirname "$0")/../tools/pinyin"
stamp=node_modules/.installed-from-lock.sha256
want=$(sha256sum package-lock.json | cut -d' ' -f1)
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] && [ -f node_modules/pinyin4js/package.json ]; then
  exit 0
fi
echo "setup-node: installing the pinyin source (npm ci)"
npm ci --no-audit --no-fund --loglevel=error
echo "$want" >"$stamp"

#!/usr/bin/env bash
# Installs the pinyin source package the table generator reads, at the
# versions pinned in tools/pinyin/package-lock.json.
set -euo pipefail
cd "$(dirname "$0")/../tools/pinyin"
if [ -f node_modules/.package-lock.json ] && cmp -s package-lock.json node_modules/.package-lock.json 2>/dev/null; then
  exit 0
fi
echo "setup-node: installing the pinyin source (npm ci)"
npm ci --no-audit --no-fund --loglevel=error

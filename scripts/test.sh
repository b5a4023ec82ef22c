#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs every test:
# unit tests under ASan and UBSan, the table check, the clip-bank tests and
# the end-to-end tests of the real program under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh
scripts/setup-node.sh
scripts/build.sh
echo "test: running every test"
ctest --test-dir build/native --output-on-failure -j1

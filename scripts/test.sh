#!/usr/bin/env bash
# Runs every test of KELM with ctest, with a sound server for the tests that
# record sound, and on Qt's offscreen platform.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
bash "$here/sound-server.sh"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j 2 --timeout 600

#!/usr/bin/env bash
# The window's longest stall while it arms, starts, stops and previews
# recordings, with the sound server stopped (SIGSTOP) during a start and the
# media folder's file system hanging during a recording. Goal: 100 ms.
#
#   bench/stall/run.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
bash "$here/../../scripts/sound-server.sh"
cmake --build "$build" -j2 --target stall_bench tiplon wmindexer >/dev/null
pid=$(pgrep -u "$(id -u)" -x pulseaudio | head -n 1)
# Whatever happens to the benchmark, the sound server is let go again.
trap 'kill -CONT "$pid" 2>/dev/null || true' EXIT
KELM_SOUND_SERVER_PID=$pid QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
  "$build/bench/stall_bench"

#!/usr/bin/env bash
# Arms "1X" recordings in KELM's main window (the real engine, sound cards and
# picture source) and plays a tone into the sound server half a second after
# each start second; the tone's place in the recording gives the wall time of
# the recording's first sample. Prints the offset of each start.
#
#   bench/start/run.sh [BUILD_DIR] [RUNS]
#
# KEEP=1 keeps the recordings (the folder is printed with each file's name
# in the engine's log: QT_LOGGING_RULES="kelm.engine.info=true").
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
runs=${2:-5}
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
bash "$here/../../scripts/sound-server.sh"
cmake --build "$build" -j2 --target start_offset_bench kelm >/dev/null
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} exec "$build/bench/start_offset_bench" "$runs"

#!/usr/bin/env bash
# Builds and runs the timecode benchmark: tiplon for 86,400 entries against one
# write() of the same bytes.
#   bench/subtitle/run.sh [build folder] [--runs N] [--dir FOLDER]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
[[ $# -gt 0 ]] && shift
cmake --build "$build" -j2 --target subtitle_bench >/dev/null
exec "$build/bench/subtitle_bench" "$@"

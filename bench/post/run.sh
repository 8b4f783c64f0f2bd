#!/usr/bin/env bash
# The preview chain of the play button on a one-hour recording that is still
# being written: KELM copies it, indexes the copy, has its subtitle file made
# and starts the player (a stand-in that only notes its arguments). Prints
# each step's time inside KELM, then each outside program's CPU time run on
# its own, and checks the indexed copy with ffprobe and ffmpeg.
#
#   bench/post/run.sh [BUILD_DIR] [--dir FOLDER] [--runs N]
#
# The one-hour recording (WMV2 512 kbit/s 384x288 25 fps, WMA2 64 kbit/s,
# about 260 MB, no index, torn last packet) is made once with ffmpeg and kept
# in FOLDER (default /tmp/kelm-post-bench), which should be on the disk the
# media folder lives on.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
[[ $# -gt 0 ]] && shift
cmake --build "$build" -j2 --target post_chain_bench >/dev/null
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} exec "$build/bench/post_chain_bench" "$@"

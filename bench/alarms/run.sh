#!/usr/bin/env bash
# The signal alarms' benchmark: the detectors' CPU time per second of
# TV-profile media (goal: all of them <= 2 % of one core), then a recording
# of the default video with a tone that pauses 4 s in every 6 s (goal: no
# alarm), and one of a live moving picture with the same tone.
#
#   bench/alarms/run.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
seconds=${2:-30}
bench=$build/bench/kelm_alarm_bench
video=$build/program/video.wmv
[ -x "$bench" ] || { echo "build kelm_alarm_bench first" >&2; exit 1; }
work=$(mktemp -d /tmp/kelm-alarms.XXXXXX)
trap 'rm -rf "$work"' EXIT
echo "== detector cost"
nice "$bench" cost "$video" 2>/dev/null
echo "== $seconds s of $video (picture file) with TEST://pauses"
"$bench" clip "$video" TEST://pauses "$seconds" "$work/clip.wmv" 2>/dev/null
echo "== $seconds s of TEST://snow (live) with TEST://pauses"
"$bench" clip TEST://snow TEST://pauses "$seconds" "$work/live.wmv" 2>/dev/null

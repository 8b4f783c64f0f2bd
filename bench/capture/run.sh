#!/usr/bin/env bash
# The level meters' CPU cost: a -6 dB tone plays into the sound server while
# the meters capture it for SECONDS, analysed only and then also painted.
#
#   bench/capture/run.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
seconds=${2:-30}
bench=$build/bench/kelm_meter_bench
[ -x "$bench" ] || { echo "build kelm_meter_bench first (cmake --build $build --target kelm_meter_bench)" >&2; exit 1; }
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
bash "$here/../../scripts/sound-server.sh"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
tone=$(mktemp /tmp/kelm-tone.XXXXXX)
trap 'kill "$player" 2>/dev/null || true; rm -f "$tone"' EXIT
ffmpeg -v error -nostdin -y -f lavfi -i "aevalsrc=0.5*sin(2*PI*1000*t):s=44100:c=stereo" \
  -t $((2 * seconds + 10)) -f s16le "$tone"
paplay --raw --device=kelm --format=s16le --rate=44100 --channels=2 "$tone" &
player=$!
sleep 1
"$bench" "$seconds"

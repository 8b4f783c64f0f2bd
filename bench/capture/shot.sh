#!/usr/bin/env bash
# Three pictures of KELM's main window on a virtual X display (Xvfb) while a
# -6 dB tone with a slow beat plays into the sound server, plus one picture of
# the whole display.
#
#   bench/capture/shot.sh [BUILD_DIR] [OUTPUT_PREFIX]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
out=${2:-/tmp/kelm-meters}
shot=$build/bench/kelm_window_shot
[ -x "$shot" ] || { echo "build kelm_window_shot first" >&2; exit 1; }
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
bash "$here/../../scripts/sound-server.sh"
work=$(mktemp -d /tmp/kelm-shot.XXXXXX)
trap 'kill "$player" "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
ffmpeg -v error -nostdin -y -f lavfi \
  -i "aevalsrc=0.5*sin(2*PI*440*t)*(0.6+0.4*sin(2*PI*0.7*t))|0.5*sin(2*PI*660*t)*(0.6+0.4*cos(2*PI*0.7*t)):s=44100" \
  -t 30 -f s16le "$work/tone.raw"
paplay --raw --device=kelm --format=s16le --rate=44100 --channels=2 "$work/tone.raw" &
player=$!
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp &
xvfb=$!
sleep 1
cp "$build/program/video.wmv" "$work/" 2>/dev/null || true
DISPLAY=$display QT_QPA_PLATFORM=xcb "$shot" "$work" "$out" &
app=$!
sleep 3
ffmpeg -v error -nostdin -y -f x11grab -video_size 1280x720 -i "$display" -frames:v 1 "$out-display.png"
echo "$out-display.png"
wait "$app"

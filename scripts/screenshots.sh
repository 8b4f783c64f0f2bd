#!/usr/bin/env bash
# Renders KELM's main window, monitor window (live picture), settings dialog,
# about and splash windows and the picture sheet under Xvfb into docs/*.png.
#   scripts/screenshots.sh              # writes the PNG files into docs/
#   scripts/screenshots.sh --measure 20 # CPU of the monitor's live picture at "1 X"
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}
cmake --build "$build" -j2 --target kelm_shots kelm_default_video >/dev/null
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
bash "$root/scripts/sound-server.sh"
screen="-screen 0 1280x1024x24"
if [ "${1:-}" = "--measure" ]; then
  exec xvfb-run -a -s "$screen" "$build/tools/kelm_shots" --measure "$build/program" "${2:-20}"
fi
exec xvfb-run -a -s "$screen" "$build/tools/kelm_shots" "$build/program" "$root/docs"

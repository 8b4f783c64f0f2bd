#!/usr/bin/env bash
# Starts KELM. With a display: the program itself. Without one (a server, CI):
# a 10-second demonstration recording made headless in a demo program folder,
# then the recording's path, length and streams.
set -euo pipefail
build=${1:-build}
program="$build/program"

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$program/kelm"
fi

here=$(cd "$(dirname "$0")" && pwd)
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
bash "$here/sound-server.sh"

demo="$build/demo"
mkdir -p "$demo"
# KELM's program folder is the folder of its executable: the demo gets its own copy.
cp -f "$program/kelm" "$demo/kelm"
[[ -f "$program/video.wmv" ]] && cp -f "$program/video.wmv" "$demo/video.wmv"
# Last state: the first sound card, and the picture file as the video source.
printf '\r\n\r\n00:00:00\r\n00:00:00\r\n00:00:00\r\nVideó fájl\r\n\r\n\r\n\r\n\r\n\r\n' > "$demo/teszttv.ini"
marker=$(mktemp)
echo "KELM: no display, recording a 10-second demonstration headless in $demo"
status=0
QT_QPA_PLATFORM=offscreen timeout 120 "$demo/kelm" 00:00:10 2>"$demo/kelm.stderr" || status=$?
recording=$(find "$demo/Media" -name '*.wmv' -newer "$marker" 2>/dev/null | sort | tail -n 1)
rm -f "$marker"
if [[ $status -ne 0 || -z "$recording" ]]; then
  echo "KELM: the demonstration did not record (exit status $status). The day's log says why:" >&2
  tail -n 20 "$(ls -t "$demo"/Log/*.log | head -n 1)" >&2 || true
  exit 1
fi
echo "Recording: $(cd "$(dirname "$recording")" && pwd)/$(basename "$recording")"
echo "Length:    $(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$recording") s"
echo "Streams:"
ffprobe -v error -show_entries stream=codec_name,width,height,r_frame_rate,sample_rate,channels,bit_rate \
  -of compact=p=0 "$recording" | sed 's/^/  /'

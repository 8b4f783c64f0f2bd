#!/usr/bin/env bash
# A command-line recording of 20 s whose sound server goes away 5 s in:
# killed and back 2 s later ("kill"), or stopped for 8 s ("stop"). Prints,
# for every file it left, what its name, its header, its media and its
# subtitle file say about when it started and how long it is, the log, and
# the exit status; they must agree with each other.
# Usage: bench/outage/run.sh [build dir] [kill|stop ...]
set -uo pipefail
build=$(cd "${1:-build}" && pwd)
shift || true
cases=("$@")
[[ ${#cases[@]} -eq 0 ]] && cases=(kill stop)
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/../../scripts/sound-server.sh"

server_pid() { pgrep -u "$(id -u)" -x pulseaudio | head -n 1; }

for outage in "${cases[@]}"; do
  dir=$(mktemp -d)
  cp "$build/program/kelm" "$build/program/tiplon" "$dir/"
  ffmpeg -v error -f lavfi -i testsrc=size=320x240 -frames:v 1 "$dir/card.png"
  printf 'Kimaradás TV\r\nkimtv\r\n%s\r\n/usr/bin/mpv\r\n1\r\n%s\r\n' "$dir/card.png" "$dir/Media" >"$dir/kelm.ini"
  printf '\r\n\r\n00:00:00\r\n00:00:00\r\n00:00:00\r\nVideó fájl\r\n\r\n\r\n\r\n\r\n\r\n' >"$dir/kimtv.ini"

  QT_QPA_PLATFORM=offscreen "$dir/kelm" 00:00:20 >/dev/null 2>&1 &
  kelm=$!
  sleep 5
  case $outage in
    kill)
      kill -KILL "$(server_pid)"
      sleep 2
      bash "$here/../../scripts/sound-server.sh"
      ;;
    stop)
      pid=$(server_pid)
      kill -STOP "$pid"
      sleep 8
      kill -CONT "$pid"
      ;;
  esac
  wait "$kelm"
  status=$?

  echo "== outage: $outage, exit status $status"
  for wmv in "$dir"/Media/*.wmv; do
    [[ -e $wmv ]] || continue
    name=$(basename "$wmv")
    sub="${wmv%.wmv}.sub"
    media=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$wmv")
    created=$(python3 - "$wmv" <<'PY'
import datetime, struct, sys
# The creation date of the ASF file properties object: 100-ns units since 1601, UTC.
head = open(sys.argv[1], 'rb').read(65536)
at = head.find(bytes.fromhex('a1dcab8c47a9cf118ee400c00c205365'))
if at >= 0:
    ticks = struct.unpack_from('<Q', head, at + 48)[0]
    t = datetime.datetime(1601, 1, 1) + datetime.timedelta(microseconds=ticks // 10)
    print(t.strftime('%Y-%m-%d %H:%M:%S.%f')[:-3] + ' UTC')
PY
)
    first=$(grep -m1 -o 'T: [0-9:]*' "$sub" 2>/dev/null | cut -c4-)
    entries=$(grep -c -- '-->' "$sub" 2>/dev/null)
    echo "$name: media ${media}s, header created ${created:-none} (local $(date -d "${created% UTC}Z" +%H:%M:%S.%3N 2>/dev/null)), subtitles from ${first:-none}, ${entries:-0} entries"
  done
  sed 's/^/  log: /' "$dir"/Log/*.log
  rm -rf "$dir"
done

#!/usr/bin/env bash
# The writer's figures, each from a real recording through the engine:
#  1. the radio profile (101: 1 frame/s, 12 kbit/s video) on the default
#     picture (the program folder's video.wmv) and on a 1920x1080 still
#     picture: video bit rate from the packets ffprobe reads, bytes per hour;
#  2. with a 1 MB tmpfs as the media folder (needs root), a TV recording of
#     the moving test picture longer than the room: how it ends, and whether
#     the file decodes without an error line and has its duration.
#
#   bench/writer/run.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
seconds=${2:-120}
bench=$build/bench/kelm_writer_bench
[ -x "$bench" ] || { echo "build kelm_writer_bench first" >&2; exit 1; }
work=${KELM_BENCH_DIR:-/tmp/kelm-writer-bench}
mkdir -p "$work"

# Video payload bit rate and bytes per hour of one file, from its packets.
video_rate() {
  ffprobe -v error -select_streams v -show_entries packet=size,pts_time -of csv=p=0 "$1" |
    awk -F, '{ s += $2; n++; last = $1 } END {
      d = last + 1; printf "%d video frames, %d bytes, %.0f bit/s, %.0f bytes/hour\n", n, s, s * 8 / d, s * 3600 / d }'
}

check_file() {
  local errors gst
  errors=$(ffmpeg -v error -nostdin -i "$1" -f null - 2>&1 | wc -l)
  if gst-launch-1.0 -q filesrc location="$1" ! decodebin ! videoconvert ! fakesink >/dev/null 2>&1; then
    gst=plays; else gst=FAILS; fi
  echo "  ffmpeg error lines: $errors; GStreamer $gst; duration in header: $(ffprobe -v error -show_entries format=duration -of csv=p=0 "$1")"
}

default_picture=$build/program/video.wmv
big_picture=$work/still-1920x1080.png
[ -s "$big_picture" ] || ffmpeg -v error -nostdin -y -f lavfi -i smptehdbars=size=1920x1080 -frames:v 1 "$big_picture"

for input in "$default_picture" "$big_picture"; do
  out=$work/radio-$(basename "$input").wmv
  echo "radio profile, $seconds s, picture $(basename "$input"):"
  /usr/bin/time -f "  CPU %U s user + %S s sys" "$bench" radio "$input" "$seconds" "$out" | sed 's/^/  /'
  echo "  $(video_rate "$out")"
  check_file "$out"
done

if [ "$(id -u)" = 0 ]; then
  disk=$work/tmpfs-3m
  mkdir -p "$disk"
  mountpoint -q "$disk" || mount -t tmpfs -o size=1m tmpfs "$disk"
  rm -f "$disk"/*
  echo "TV profile, 60 s into a 1 MB tmpfs:"
  "$bench" tv TEST://ball 60 "$disk/full.wmv" | sed 's/^/  /' || true
  ls -l "$disk/full.wmv" | sed 's/^/  /'
  check_file "$disk/full.wmv"
  echo "  last video packet at $(ffprobe -v error -select_streams v -show_entries packet=pts_time -of csv=p=0 "$disk/full.wmv" | tail -1) s"
  umount "$disk"
fi

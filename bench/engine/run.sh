#!/usr/bin/env bash
# The engine's benchmark: the same 60 seconds of the same moving 720x576
# picture recorded by KELM's engine and by the ffmpeg command line doing the
# same job (WMV2 512 kbit/s 384x288 25 fps, key frame every 8 s, WMA2 64 kbit/s
# 48 kHz stereo), one after the other, with the CPU time, peak memory and
# achieved bit rates of each side and the CPU ratio. Then 100 start/stop
# cycles of the engine in one process.
#
#   bench/engine/run.sh [BUILD_DIR] [SECONDS] [AUDIO]
#
# AUDIO is "silence" (default: both sides make digital silence themselves) or
# "alsa" (both capture ALSA's default device; needs scripts/sound-server.sh).
# The input is an uncompressed I420 AVI clip made once with ffmpeg (testsrc2
# with moving noise, so the encoder has real work); both sides read the same
# file, KELM's engine through its looped-video source.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
seconds=${2:-60}
audio=${3:-silence}
bench=$build/bench/kelm_engine_bench
[ -x "$bench" ] || { echo "build kelm_engine_bench first (cmake --build $build --target kelm_engine_bench)" >&2; exit 1; }
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}

work=${KELM_BENCH_DIR:-/tmp/kelm-engine-bench}
mkdir -p "$work"
clip=$work/clip-${seconds}s.avi
if [ ! -s "$clip" ]; then
  echo "making the ${seconds} s 720x576 input clip..."
  ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=size=720x576:rate=25,noise=alls=12:allf=t" \
    -t "$seconds" -c:v rawvideo -pix_fmt yuv420p "$clip"
fi
cat "$clip" > /dev/null  # both sides read it from the page cache

case $audio in
  silence) kelm_audio="TEST://silence"; ff_audio=(-f lavfi -i anullsrc=sample_rate=48000:channel_layout=stereo) ;;
  alsa) bash "$here/../../scripts/sound-server.sh"; kelm_audio="Device://default"; ff_audio=(-f alsa -i default) ;;
  *) echo "AUDIO is silence or alsa" >&2; exit 2 ;;
esac

# user+sys CPU seconds and peak resident kB of one command: "cpu kB"
measure() {
  local out=$work/time.txt
  /usr/bin/time -o "$out" -f "%U %S %M" "$@" >/dev/null
  awk '{ printf "%.2f %d\n", $1 + $2, $3 }' "$out"
}

# bits per second of one stream type in a file, from its packets
stream_rate() {
  ffprobe -v error -select_streams "$2" -show_entries packet=size -of csv=p=0 "$1" |
    awk -v d="$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$1")" '{ s += $1 } END { printf "%d", s * 8 / d }'
}

echo "recording ${seconds} s with KELM's engine..."
read -r kelm_cpu kelm_kb < <(measure "$bench" record "$clip" "$kelm_audio" "$seconds" "$work/kelm.wmv")
echo "recording ${seconds} s with ffmpeg..."
read -r ff_cpu ff_kb < <(measure ffmpeg -v error -nostdin -y -re -i "$clip" -re "${ff_audio[@]}" -t "$seconds" \
  -vf scale=384:288 -r 25 -c:v wmv2 -b:v 512k -g 200 -c:a wmav2 -b:a 64k -ar 48000 -ac 2 "$work/ffmpeg.wmv")

printf "\n%-28s %14s %14s\n" "" "KELM engine" "ffmpeg"
for side in kelm ffmpeg; do
  f=$work/$side.wmv
  eval "${side}_dur=\$(ffprobe -v error -show_entries format=duration -of csv=p=0 \"$f\")"
  eval "${side}_vrate=\$(stream_rate \"$f\" v)"
  eval "${side}_arate=\$(stream_rate \"$f\" a)"
done
row() { printf "%-28s %14s %14s\n" "$1" "$2" "$3"; }
row "recorded duration (s)" "$kelm_dur" "$ffmpeg_dur"
row "CPU (user+sys, s)" "$kelm_cpu" "$ff_cpu"
row "CPU s per recorded minute" "$(awk -v c="$kelm_cpu" -v d="$kelm_dur" 'BEGIN{printf "%.2f", c*60/d}')" \
    "$(awk -v c="$ff_cpu" -v d="$ffmpeg_dur" 'BEGIN{printf "%.2f", c*60/d}')"
row "peak memory (MB)" "$((kelm_kb / 1024))" "$((ff_kb / 1024))"
row "video bit rate (bit/s)" "$kelm_vrate" "$ffmpeg_vrate"
row "audio bit rate (bit/s)" "$kelm_arate" "$ffmpeg_arate"
echo
awk -v k="$kelm_cpu" -v kd="$kelm_dur" -v f="$ff_cpu" -v fd="$ffmpeg_dur" \
  'BEGIN { printf "CPU ratio KELM/ffmpeg per recorded minute: %.2f (goal <= 0.80)\n", (k/kd)/(f/fd) }'

echo
echo "100 start/stop cycles in one process:"
"$bench" cycles 100 "$work"

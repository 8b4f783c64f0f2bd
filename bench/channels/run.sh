#!/usr/bin/env bash
# Several channels on one machine: N copies of KELM side by side (N = 1, 2,
# 4, 8), each with its own program folder and channel, recording at the TV
# profile from live sources for the same length. For each N it prints the
# CPU (in % of one core) and peak memory per channel, and the pictures and
# samples lost: pictures the files lack against 25 a second, and sound
# filled with silence where the live tone should be. Then the largest N that
# recorded in real time with nothing lost: when 8 still does, it goes on
# doubling (up to 32) until a number fails.
#
#   bench/channels/run.sh [BUILD_DIR] [SECONDS] [N ...]     (default 120 s; 1 2 4 8 ...)
#
# CHANNEL_PICTURE=snow records noise, the dearest picture to encode, instead
# of the default moving ball ("ball").
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
seconds=${2:-120}
shift $(($# > 2 ? 2 : $#))
counts=("$@")
searching=no
[[ ${#counts[@]} -gt 0 ]] || { counts=(1 2 4 8); searching=yes; }
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
bash "$here/../../scripts/sound-server.sh"
cmake --build "$build" -j2 --target channel_bench tiplon kelm_default_video >/dev/null
picture=${CHANNEL_PICTURE:-ball}
duration=$(printf '%02d:%02d:%02d' $((seconds / 3600)) $((seconds / 60 % 60)) $((seconds % 60)))
work=$(mktemp -d)
[[ -n "${KEEP:-}" ]] || trap 'rm -rf "$work"' EXIT

# Pictures and sound samples a recording lacks: pictures against 25 a second
# of the planned length, sound as the length of its silences (the tone never
# pauses) at the file's own rate.
lost_in() {
  local file=$1 frames rate silent
  frames=$(ffprobe -v error -count_frames -select_streams v:0 \
    -show_entries stream=nb_read_frames -of default=nw=1:nk=1 "$file")
  rate=$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate \
    -of default=nw=1:nk=1 "$file")
  silent=$(ffmpeg -nostdin -v info -i "$file" -map 0:a -af silencedetect=n=-50dB:d=0.02 -f null - 2>&1 |
    awk '/silence_duration/ { sum += $NF } END { printf "%.3f", sum + 0 }')
  awk -v f="$frames" -v s="$seconds" -v r="$rate" -v q="$silent" \
    'BEGIN { lf = 25 * s - f; if (lf < 0) lf = 0; printf "%d %d\n", lf, q * r }'
}

cores=$(nproc)
echo "Channels at the TV profile from live sources (picture: $picture), $seconds s each, on $cores cores"
printf '%3s  %14s  %14s  %12s  %12s  %s\n' N "CPU/channel" "memory/channel" "pictures lost" "samples lost" "in real time"
largest=0
failed_at=
run_channels() {
  local n=$1 i pid c m file lf ls folder
  pids=()
  started=$(date +%s.%N)
  for i in $(seq 1 "$n"); do
    folder="$work/n$n/ch$i"
    mkdir -p "$folder"
    "$build/bench/channel_bench" "$folder" "ch$i" "$duration" "$picture" >"$folder.out" 2>"$folder.err" &
    pids+=($!)
  done
  failed=0
  for pid in "${pids[@]}"; do wait "$pid" || failed=$((failed + 1)); done
  wall=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
  cpu=0 memory=0 frames=0 samples=0 files=0
  for i in $(seq 1 "$n"); do
    folder="$work/n$n/ch$i"
    read -r c m < <(sed -n 's/^cpu_s=\([0-9.]*\) max_rss_kb=\([0-9]*\)$/\1 \2/p' "$folder.out")
    cpu=$(awk -v a="$cpu" -v b="${c:-0}" 'BEGIN { print a + b }')
    memory=$((memory + ${m:-0}))
    for file in "$folder"/Media/*.wmv; do
      [[ -f "$file" ]] || continue
      files=$((files + 1))
      read -r lf ls < <(lost_in "$file")
      frames=$((frames + lf))
      samples=$((samples + ls))
    done
  done
  # One file per channel, each of the whole length, nothing lost, and the
  # run no longer than the length with start-up and end.
  realtime=no
  if [[ $failed -eq 0 && $files -eq $n && $frames -eq 0 && $samples -eq 0 ]] &&
    awk -v w="$wall" -v s="$seconds" 'BEGIN { exit !(w <= s + 20) }'; then
    realtime=yes
    [[ -n "$failed_at" ]] || largest=$n
  else
    [[ -n "$failed_at" ]] || failed_at=$n
  fi
  printf '%3d  %13.1f%%  %11.0f MB  %13d  %12d  %s (%s s, %d of %d exited 0)\n' "$n" \
    "$(awk -v c="$cpu" -v n="$n" -v s="$wall" 'BEGIN { print 100 * c / n / s }')" \
    "$(awk -v m="$memory" -v n="$n" 'BEGIN { print m / n / 1024 }')" \
    "$frames" "$samples" "$realtime" "$wall" $((n - failed)) "$n"
}
for n in "${counts[@]}"; do run_channels "$n"; done
n=${counts[-1]}
while [[ $searching == yes && -z "$failed_at" && $n -lt 32 ]]; do
  n=$((n * 2))
  run_channels "$n"
done
echo "Largest number of channels recorded in real time with nothing lost: $largest (on $cores cores)"

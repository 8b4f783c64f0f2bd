#!/usr/bin/env bash
# The engine's benchmark: the same SECONDS of the same moving 720x576 picture
# recorded by KELM's engine and by the ffmpeg command line doing the same job
# (WMV2 512 kbit/s 384x288 25 fps, key frame every 8 s, WMA2 64 kbit/s 48 kHz
# stereo). Prints, in one run:
#   - PSNR of each recording against the source scaled to 384x288 (ffmpeg's
#     default bicubic scaler), frame n against frame n;
#   - the frames out of place (a recorded frame nearer to the source's frame
#     before or after it than to its own);
#   - the sound-to-picture offset of each side on a clip that flashes and
#     ticks once a second (KELM: its TEST://flash picture with the
#     TEST://beep tone; ffmpeg: the same made by ffmpeg);
#   - CPU time (user+sys) of KELM, of ffmpeg with and without -re, and of the
#     encoders alone (the same settings on pictures already 384x288): the floor;
#   - then 100 start/stop cycles of the engine in one process, and how soon
#     after the start call a recording's first sample lies.
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
export QT_LOGGING_RULES=${QT_LOGGING_RULES:-kelm.engine.info=false}

work=${KELM_BENCH_DIR:-/tmp/kelm-engine-bench}
mkdir -p "$work"
clip=$work/clip-${seconds}s.avi
if [ ! -s "$clip" ]; then
  echo "making the ${seconds} s 720x576 input clip..."
  ffmpeg -v error -nostdin -y -f lavfi -i "testsrc2=size=720x576:rate=25,noise=alls=12:allf=t" \
    -t "$seconds" -c:v rawvideo -pix_fmt yuv420p "$clip"
fi
scaled=$work/clip-${seconds}s-384x288.avi
[ -s "$scaled" ] || ffmpeg -v error -nostdin -y -i "$clip" -vf scale=384:288 -c:v rawvideo -pix_fmt yuv420p "$scaled"
flash=$work/flash-10s.avi
[ -s "$flash" ] || ffmpeg -v error -nostdin -y \
  -f lavfi -i "color=c=black:s=720x576:r=25,drawbox=color=white:t=fill:enable='lt(mod(n\,25)\,1)'" \
  -f lavfi -i "aevalsrc='0.3*sin(2*PI*440*t)*lt(mod(t\,1)\,0.023)|0.3*sin(2*PI*440*t)*lt(mod(t\,1)\,0.023)':s=48000" \
  -t 10 -c:v rawvideo -pix_fmt yuv420p -c:a pcm_s16le "$flash"
cat "$clip" "$scaled" > /dev/null  # every side reads them from the page cache

case $audio in
  silence) kelm_audio="TEST://silence"; ff_audio=(-f lavfi -i anullsrc=sample_rate=48000:channel_layout=stereo) ;;
  alsa) bash "$here/../../scripts/sound-server.sh"; kelm_audio="Device://default"; ff_audio=(-f alsa -i default) ;;
  *) echo "AUDIO is silence or alsa" >&2; exit 2 ;;
esac
encode=(-c:v wmv2 -b:v 512k -g 200 -c:a wmav2 -b:a 64k -ar 48000 -ac 2)

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

# Per-frame PSNR of a recording against the scaled source: "$3" trims the
# recording's start, "$4" the source's; one psnr_avg per line.
frame_psnr() {
  ffmpeg -v error -nostdin -i "$1" -i "$clip" -lavfi \
    "[0:v]$3setpts=PTS-STARTPTS[a];[1:v]scale=384:288,$4setpts=PTS-STARTPTS[b];[a][b]psnr=shortest=1:stats_file=$2" \
    -f null - 2>/dev/null
  sed -e 's/.*psnr_avg:\([^ ]*\).*/\1/' -e 's/inf/99/' "$2"
}

# "average-PSNR frames-out-of-place first-places" of a recording
accuracy() {
  local f=$1 t=$work/psnr
  frame_psnr "$f" "$t.same" "" "" > "$t.0"
  frame_psnr "$f" "$t.before" "trim=start_frame=1," "" > "$t.m"  # frame n against n-1
  frame_psnr "$f" "$t.after" "" "trim=start_frame=1," > "$t.p"   # frame n against n+1
  local avg  # from the mean squared error of all frames, as ffmpeg averages
  avg=$(awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^mse_avg:/) { split($i, a, ":"); s += a[2]; n++ } }
             END { if (n && s > 0) printf "%.2f", 10 * log(255 * 255 / (s / n)) / log(10); else print "n/a" }' "$t.same")
  awk -v avg="$avg" 'FILENAME ~ /\.0$/ { same[FNR - 1] = $1; n = FNR; next }
       FILENAME ~ /\.m$/ { before[FNR] = $1; next }
       { after[FNR - 1] = $1 }
       END { bad = 0; list = "";
             for (i = 0; i < n; i++) {
               if ((i in before && before[i] > same[i] + 0.5) || (i in after && after[i] > same[i] + 0.5)) {
                 bad++; if (bad <= 8) list = list (list == "" ? "" : ",") i }
             }
             printf "%s %d %s\n", avg, bad, (list == "" ? "-" : list) }' "$t.0" "$t.m" "$t.p"
}

# Mean and spread of (sound onset - flash) in ms over the flashes of a recording.
av_offset() {
  local f=$1
  ffmpeg -v error -nostdin -i "$f" -an \
    -vf "signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=$work/yavg.txt" -f null - 2>/dev/null
  awk '/pts_time/ { split($3, a, ":"); t = a[2] }
       /YAVG/ { split($0, b, "="); on = b[2] > 100; if (on && !was) print t; was = on }' \
    "$work/yavg.txt" > "$work/flashes.txt"
  ffmpeg -nostdin -i "$f" -vn -af silencedetect=n=-30dB:d=0.2 -f null - 2>&1 |
    awk '/silence_end/ { print $5 }' > "$work/ticks.txt"
  awk 'FNR == NR { v[++nv] = $1; next }
       { best = 1e9; for (i = 1; i <= nv; i++) { d = $1 - v[i]; if (d * d < best * best) best = d }
         if (best * best < 0.25) { s += best; ss += best * best; n++ } }
       END { if (!n) { print "n/a"; exit } m = s / n; printf "%+.0f ms (+-%.0f, %d flashes)\n", m * 1000, sqrt(ss / n - m * m) * 1000, n }' \
    "$work/flashes.txt" "$work/ticks.txt"
}

echo "recording ${seconds} s with KELM's engine..."
read -r kelm_cpu kelm_kb < <(measure "$bench" record "$clip" "$kelm_audio" "$seconds" "$work/kelm.wmv")
echo "recording ${seconds} s with ffmpeg paced by -re..."
read -r ff_cpu ff_kb < <(measure ffmpeg -v error -nostdin -y -re -i "$clip" -re "${ff_audio[@]}" -t "$seconds" \
  -vf scale=384:288 -r 25 "${encode[@]}" "$work/ffmpeg.wmv")
echo "recording ${seconds} s with ffmpeg unpaced..."
read -r fast_cpu _ < <(measure ffmpeg -v error -nostdin -y -i "$clip" "${ff_audio[@]}" -t "$seconds" \
  -vf scale=384:288 -r 25 "${encode[@]}" "$work/ffmpeg-fast.wmv")
echo "encoding ${seconds} s of pictures already 384x288 (the encoders alone)..."
read -r floor_cpu _ < <(measure ffmpeg -v error -nostdin -y -i "$scaled" "${ff_audio[@]}" -t "$seconds" \
  "${encode[@]}" "$work/floor.wmv")
echo "recording 10 s of a flash and a tick every second with both..."
"$bench" record TEST://flash TEST://beep 10 "$work/kelm-flash.wmv" >/dev/null
ffmpeg -v error -nostdin -y -i "$flash" -vf scale=384:288 -r 25 "${encode[@]}" "$work/ffmpeg-flash.wmv"

printf "\n%-34s %16s %16s\n" "" "KELM engine" "ffmpeg"
for side in kelm ffmpeg; do
  f=$work/$side.wmv
  eval "${side}_dur=\$(ffprobe -v error -show_entries format=duration -of csv=p=0 \"$f\")"
  eval "${side}_vrate=\$(stream_rate \"$f\" v)"
  eval "${side}_arate=\$(stream_rate \"$f\" a)"
done
read -r kelm_psnr kelm_bad kelm_list < <(accuracy "$work/kelm.wmv")
read -r ff_psnr ff_bad ff_list < <(accuracy "$work/ffmpeg.wmv")
per_minute() { awk -v c="$1" -v d="$2" 'BEGIN{printf "%.2f", c*60/d}'; }
row() { printf "%-34s %16s %16s\n" "$1" "$2" "$3"; }
row "recorded duration (s)" "$kelm_dur" "$ffmpeg_dur"
row "PSNR frame n vs source n (dB)" "$kelm_psnr" "$ff_psnr"
row "frames out of place" "$kelm_bad" "$ff_bad"
row "  first of them" "$kelm_list" "$ff_list"
row "sound minus picture" "$(av_offset "$work/kelm-flash.wmv")" "$(av_offset "$work/ffmpeg-flash.wmv")"
row "CPU (user+sys, s)" "$kelm_cpu" "$ff_cpu (-re)"
row "CPU s per recorded minute" "$(per_minute "$kelm_cpu" "$kelm_dur")" "$(per_minute "$ff_cpu" "$ffmpeg_dur") (-re)"
row "  ffmpeg unpaced, per minute" "" "$(per_minute "$fast_cpu" "$seconds")"
row "  encoders alone, per minute" "" "$(per_minute "$floor_cpu" "$seconds")"
row "peak memory (MB)" "$((kelm_kb / 1024))" "$((ff_kb / 1024))"
row "video bit rate (bit/s)" "$kelm_vrate" "$ffmpeg_vrate"
row "audio bit rate (bit/s)" "$kelm_arate" "$ffmpeg_arate"
echo
awk -v k="$kelm_cpu" -v kd="$kelm_dur" -v f="$fast_cpu" -v fl="$floor_cpu" -v s="$seconds" \
  'BEGIN { printf "CPU KELM / ffmpeg unpaced: %.2f (goal <= 0.90); KELM / encoders alone: %.2f (goal <= 1.50)\n",
           (k/kd)/(f/s), (k/kd)/(fl/s) }'
echo "load average while measuring: $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "100 start/stop cycles in one process:"
"$bench" cycles 100 "$work"

echo
echo "start latency: 8 starts on running sources (as the recorder has them while armed):"
bash "$here/../../scripts/sound-server.sh"
"$bench" startlatency 8 "$work"
echo "and 4 starts that must start the sources first:"
"$bench" startlatency 4 "$work" cold

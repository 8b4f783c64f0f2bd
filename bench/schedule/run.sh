#!/usr/bin/env bash
# A "Most" recording of 20 s whose sound server stops for 8 s, 5 s in: the
# log has the gap, and the window keeps answering.
#
# The night clocks go forward in Budapest (28 March 2027, 02:00 becomes
# 03:00), lived through by the real program under faketime: a "Napi"
# recording armed for 02:00:02, which that night never shows on the clock,
# starts at 03:00:00 for its full 5 s. Prints the log and the file.
#
#   bench/schedule/run.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
bash "$here/../../scripts/sound-server.sh"
command -v faketime >/dev/null || { echo "schedule bench: faketime is not installed (apt-get install faketime)"; exit 0; }
cmake --build "$build" -j2 --target schedule_run_bench tiplon >/dev/null
# Only the wall clock is faked: GStreamer waits on the monotonic clock through
# calls libfaketime does not see, so with a faked monotonic clock no source
# ever delivers (`faketime ... gst-launch-1.0 videotestsrc is-live=true
# num-buffers=25 ! fakesink sync=true` never ends), and the real machine's
# monotonic clock is what tells a summer-time change from a clock step anyway.
FAKETIME_DONT_FAKE_MONOTONIC=1 TZ=Europe/Budapest QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
  faketime '2027-03-28 01:59:50' "$build/bench/schedule_run_bench" NAPI 02:00:02 00:00:05 25

pid=$(pgrep -u "$(id -u)" -x pulseaudio | head -n 1)
KELM_SOUND_SERVER_PID=$pid QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
  "$build/bench/schedule_run_bench" MOST 00:00:00 00:00:20 24 5 8

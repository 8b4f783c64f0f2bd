#!/usr/bin/env bash
# Makes sure a user-space PulseAudio sound server runs, with a null sink, so
# ALSA's `default` and `pulse` devices capture something even on a machine with
# no sound hardware (CI, servers). Prints nothing when one already runs.
# Also works as root, where `pulseaudio --start` refuses.
set -u
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
command -v pulseaudio >/dev/null || { echo "sound-server: pulseaudio not installed" >&2; exit 1; }
if pactl info >/dev/null 2>&1; then exit 0; fi
pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
  --load=module-native-protocol-unix \
  --load="module-null-sink sink_name=kelm" \
  --load=module-always-sink >/dev/null 2>&1
for _ in $(seq 1 50); do
  if pactl info >/dev/null 2>&1; then
    # A null sink with nobody asking for a latency renders in blocks of up to
    # 2 s, so the first stream would wait that long for its first sound. A
    # recording stream that asks for 20 ms keeps it delivering as a sound
    # card does; it ends with the server.
    if command -v parec >/dev/null; then
      setsid parec --latency-msec=20 -d kelm.monitor >/dev/null 2>&1 < /dev/null &
      # Back once sound flows: 10 ms of it through a second stream.
      timeout 5 sh -c 'parec --latency-msec=20 -d kelm.monitor 2>/dev/null | head -c 1764 >/dev/null' || true
    fi
    exit 0
  fi
  sleep 0.1
done
echo "sound-server: PulseAudio did not come up" >&2
exit 1

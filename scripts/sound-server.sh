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
  pactl info >/dev/null 2>&1 && exit 0
  sleep 0.1
done
echo "sound-server: PulseAudio did not come up" >&2
exit 1

#!/usr/bin/env bash
# Configures and builds KELM: the given targets, or everything. A build
# folder made here for the first time uses Ninja when it is installed (the
# set-up installs it): no recursive make's "Entering directory" noise, and one
# line of progress on a terminal.
#
#   scripts/build.sh BUILD_DIR [TARGET ...]
set -euo pipefail
build=${1:-build}
shift || true
jobs=${JOBS:-$(nproc)}
generator=()
if [[ ! -f "$build/CMakeCache.txt" ]] && command -v ninja >/dev/null; then
  generator=(-G Ninja)
fi
cmake -S "$(dirname "$0")/.." -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  --log-level=WARNING >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
# A folder made by make before keeps make: then without its directory lines.
MAKEFLAGS="${MAKEFLAGS:-} --no-print-directory" cmake --build "$build" -j "$jobs" "${targets[@]}"

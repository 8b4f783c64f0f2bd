#!/usr/bin/env bash
# Runs every benchmark of KELM; each prints its own figures.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/kelm-runtime-$(id -u)}
bash "$here/sound-server.sh"
for script in "$here"/../bench/*/run.sh; do
  echo "== $(basename "$(dirname "$script")")"
  bash "$script" "$build"
done

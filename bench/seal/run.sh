#!/usr/bin/env bash
# Builds and runs the seal benchmark: an hour of the TV profile's recording,
# hashed and sealed as KELM does when the file closes.
#   bench/seal/run.sh [build folder] [--dir FOLDER] [--runs N]
set -euo pipefail
build=${1:-build}
[[ $# -gt 0 ]] && shift
cmake --build "$build" -j2 --target seal_bench >/dev/null
exec nice "$build/bench/seal_bench" "$@"

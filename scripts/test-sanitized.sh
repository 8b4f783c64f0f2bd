#!/usr/bin/env bash
# Builds the recorder's core and window tests with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them: memory and undefined-behaviour
# faults fail the run.
set -euo pipefail
build=${1:-build-sanitize}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKELM_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target core_recorder_tests app_recorder_tests capture_tests post_core_tests post_app_tests
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
"$build/tests/core_recorder_tests" --gtest_brief=1
"$build/tests/app_recorder_tests" --gtest_brief=1
"$build/tests/capture_tests" --gtest_brief=1
"$build/tests/post_core_tests" --gtest_brief=1
"$build/tests/post_app_tests" --gtest_brief=1

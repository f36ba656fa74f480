#!/bin/sh
# Builds the concurrency stress tests of the juke-box (on a stand-in engine, and on the real
# engine and songs) under ThreadSanitizer and runs them.
set -eu
cd "$(dirname "$0")/../.."
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXOLIN_TSAN=ON -DVEXOLIN_BENCH=OFF
cmake --build build-tsan -j"$(nproc)" --target shell_stress_test jukebox_stress_test
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build-tsan/tests/shell/shell_stress_test
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" build-tsan/tests/shell/jukebox_stress_test

#!/usr/bin/env bash
# Builds every target and runs the whole test suite under AddressSanitizer
# and UndefinedBehaviorSanitizer (the "asan" presets of CMakePresets.json,
# build tree build-asan). Any sanitizer report fails its test, and with it
# this script. JOBS sets the parallel build and test jobs (default 2).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
JOBS=${JOBS:-2}
cd "$ROOT"

export QT_QPA_PLATFORM=offscreen
# The same settings as the test preset, for the test programs the build runs
# itself (test discovery) and for anything started outside ctest.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:print_stacktrace=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$ROOT/tests/sanitizers/lsan.supp:print_suppressions=0}

cmake --preset asan
cmake --build --preset asan -j"$JOBS"
ctest --preset asan -j"$JOBS"

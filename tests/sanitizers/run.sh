#!/usr/bin/env bash
# Builds every target and runs the whole test suite under AddressSanitizer
# and UndefinedBehaviorSanitizer. Any sanitizer report fails its test, and
# with it this script.
#
#   PRESET=sanitize (default): clang, build tree build-san, the libFuzzer
#     targets included (their seed corpora run as tests; tests/fuzz/run.sh
#     fuzzes in the same tree)
#   PRESET=asan: GCC, build tree build-asan
#
# JOBS sets the parallel build jobs (default 2), TEST_JOBS the parallel tests
# (default JOBS).
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
PRESET=${PRESET:-sanitize}
JOBS=${JOBS:-2}
TEST_JOBS=${TEST_JOBS:-$JOBS}
cd "$ROOT"

export QT_QPA_PLATFORM=offscreen
# Scratch folders on tmpfs where there is one (see setup.sh).
if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
# The same settings as the test preset, for the test programs the build runs
# itself (test discovery) and for anything started outside ctest.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:print_stacktrace=1:detect_stack_use_after_return=1:strict_init_order=1:check_initialization_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$ROOT/tests/sanitizers/lsan.supp:print_suppressions=0}

if [ "$PRESET" = sanitize ] && ! command -v clang++ >/dev/null; then
  echo "clang++ is needed (./setup.sh deps installs it)" >&2; exit 2
fi

start=$SECONDS
cmake --preset "$PRESET" >/dev/null
cmake --build --preset "$PRESET" -j"$JOBS"
built=$SECONDS
ctest --preset "$PRESET" -j"$TEST_JOBS"
echo "sanitizer build $((built - start)) s, tests $((SECONDS - built)) s"

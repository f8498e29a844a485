#!/usr/bin/env bash
# Builds the libFuzzer targets in the sanitizer tree (the "sanitize" preset
# of CMakePresets.json, clang, build tree build-san: the same tree
# tests/sanitizers/run.sh runs the test suite in, so after that script
# nothing is left to build) and runs each target for SECONDS seconds
# (default 30), JOBS of them at a time (default 2), starting from the seed
# corpus in tests/fuzz/corpus/<target>/. New inputs libFuzzer finds go to
# build-san/fuzz/corpus/<target>/ (kept between runs, never into the
# sources); a crashing input goes to build-san/fuzz/artifacts/<target>/.
#
#   tests/fuzz/run.sh [SECONDS] [TARGET...]
#
# Prints each target's executions, coverage and corpus size, and exits
# non-zero when any target crashed or broke an invariant.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SECONDS_EACH=${1:-30}
shift || true
BUILD=$ROOT/build-san
JOBS=${JOBS:-2}
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  TARGETS=(fuzz_texts fuzz_command_line fuzz_register_file fuzz_sql_dialect fuzz_import)
fi

command -v clang++ >/dev/null || { echo "clang++ is needed (./setup.sh deps installs it)" >&2; exit 2; }

set -e
cd "$ROOT"
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize --target vexla_fuzzers -j"$JOBS"
set +e

export QT_QPA_PLATFORM=offscreen
# Leaks count as failures; an UBSan report stops the run (the code is built
# with -fno-sanitize-recover=undefined).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:print_stacktrace=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

fuzz() {  # fuzz TARGET: one run, its output in build-san/fuzz/TARGET.log
  local t=$1
  local work="$BUILD/fuzz/corpus/$t" artifacts="$BUILD/fuzz/artifacts/$t/"
  local dict=()
  mkdir -p "$work" "$artifacts"
  [ -f "$ROOT/tests/fuzz/$t.dict" ] && dict=(-dict="$ROOT/tests/fuzz/$t.dict")
  "$BUILD/fuzz/$t" -max_total_time="$SECONDS_EACH" -timeout=30 -print_final_stats=1 -use_value_profile=1 \
    -artifact_prefix="$artifacts" "${dict[@]}" "$work" "$ROOT/tests/fuzz/corpus/$t" >"$BUILD/fuzz/$t.log" 2>&1
}

# Each libFuzzer run is one process on one core: JOBS of them side by side
# give every target its full time in a fraction of the wall time.
declare -A pid
running=0
for t in "${TARGETS[@]}"; do
  if [ "$running" -ge "$JOBS" ]; then wait -n; running=$((running - 1)); fi
  fuzz "$t" & pid[$t]=$!
  running=$((running + 1))
done

failed=()
printf '%-20s %12s %8s %8s %8s  %s\n' target executions exec/s cov corpus result
for t in "${TARGETS[@]}"; do
  wait "${pid[$t]}"
  rc=$?
  log="$BUILD/fuzz/$t.log"
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  execs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$')
  rate=$(grep -oE 'stat::average_exec_per_sec: *[0-9]+' "$log" | grep -oE '[0-9]+$')
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$last")
  corp=$(sed -nE 's/.* corp: ([0-9]+\/[0-9]+[a-zA-Z]*).*/\1/p' <<<"$last")
  if [ $rc -eq 0 ]; then result=ok; else result="FAILED (exit $rc, see $log)"; failed+=("$t"); fi
  printf '%-20s %12s %8s %8s %8s  %s\n' "$t" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${corp:-?}" "$result"
  if [ $rc -ne 0 ]; then
    grep -E 'invariant broken|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error|Test unit written' "$log" | head -5 | sed 's/^/    /'
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "crashed or broke an invariant: ${failed[*]}" >&2
  exit 1
fi

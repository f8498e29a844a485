#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each of them
# for SECONDS seconds (default 30), one after the other, starting from the
# seed corpus in tests/fuzz/corpus/<target>/. New inputs libFuzzer finds go
# to build-fuzz/fuzz/corpus/<target>/ (kept between runs, never into the
# sources); a crashing input goes to build-fuzz/fuzz/artifacts/<target>/.
#
#   tests/fuzz/run.sh [SECONDS] [TARGET...]
#
# Prints each target's executions, coverage and corpus size, and exits
# non-zero when any target crashed or broke an invariant.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SECONDS_EACH=${1:-30}
shift || true
BUILD=${BUILD:-$ROOT/build-fuzz}
JOBS=${JOBS:-2}
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  TARGETS=(fuzz_texts fuzz_command_line fuzz_register_file fuzz_sql_dialect fuzz_import)
fi

command -v clang++ >/dev/null || { echo "clang++ is needed (apt-get install clang)" >&2; exit 2; }

set -e
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DVEXLA_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target vexla_fuzzers -j"$JOBS"
set +e

export QT_QPA_PLATFORM=offscreen
# Leaks count as failures; an UBSan report stops the run (the code is built
# with -fno-sanitize-recover=undefined).
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:print_stacktrace=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

failed=()
printf '%-20s %12s %8s %8s %8s  %s\n' target executions exec/s cov corpus result
for t in "${TARGETS[@]}"; do
  bin="$BUILD/fuzz/$t"
  seeds="$ROOT/tests/fuzz/corpus/$t"
  work="$BUILD/fuzz/corpus/$t"
  artifacts="$BUILD/fuzz/artifacts/$t/"
  log="$BUILD/fuzz/$t.log"
  mkdir -p "$work" "$artifacts"
  dict=()
  [ -f "$ROOT/tests/fuzz/$t.dict" ] && dict=(-dict="$ROOT/tests/fuzz/$t.dict")
  "$bin" -max_total_time="$SECONDS_EACH" -timeout=30 -print_final_stats=1 -use_value_profile=1 \
    -artifact_prefix="$artifacts" "${dict[@]}" "$work" "$seeds" >"$log" 2>&1
  rc=$?
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

#!/usr/bin/env bash
# Runs the chart file fuzz target for a bounded time (seconds, default 600) with the sanitizers,
# on the corpus kept in the fuzz build folder and the seeds in the tree. Builds it first when
# needed: clang, AddressSanitizer and UndefinedBehaviorSanitizer, in build-fuzz (or $BUILD_DIR).
# Usage: [FUZZ_JOBS=n] bench/fuzz_chart_file.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
build=${BUILD_DIR:-build-fuzz}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DTOLMO_FUZZ=ON -DTOLMO_SANITIZE=address,undefined
fi
cmake --build "$build" -j "$(nproc)" --target fuzz_chart_file

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

corpus=$build/corpus/fuzz_chart_file
mkdir -p "$corpus"
log=$build/fuzz_chart_file.log
echo "fuzzing fuzz_chart_file for $seconds s (log: $log)"
status=0
"$build/tests/fuzz_chart_file" -max_total_time="$seconds" -print_final_stats=1 \
    -dict=tests/fuzz/fuzz_chart_file.dict ${FUZZ_JOBS:+-jobs=$FUZZ_JOBS -workers=$FUZZ_JOBS} \
    -artifact_prefix="$build/fuzz_chart_file-" "$corpus" tests/fuzz/seeds/fuzz_chart_file > "$log" 2>&1 || status=$?
tail -n 12 "$log"
if [ "$status" -ne 0 ]; then
  echo "fuzz_chart_file found a failure (exit $status); the input is beside the log as $build/fuzz_chart_file-*"
fi
exit "$status"

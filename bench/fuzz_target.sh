#!/usr/bin/env bash
# Runs one fuzz target for a bounded time (seconds, default 600) with the sanitizers, on the corpus
# kept in the fuzz build folder, the seeds in the tree and its dictionary when it has one. Builds it
# first when needed: clang, AddressSanitizer and UndefinedBehaviorSanitizer, in build-fuzz (or
# $BUILD_DIR).
# Usage: [FUZZ_JOBS=n] bench/fuzz_target.sh <fuzz target> [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."

target=$1
seconds=${2:-600}
build=${BUILD_DIR:-build-fuzz}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DTOLMO_FUZZ=ON -DTOLMO_SANITIZE=address,undefined
fi
cmake --build "$build" -j "$(nproc)" --target "$target"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

corpus=$build/corpus/$target
mkdir -p "$corpus"
dict=tests/fuzz/$target.dict
log=$build/$target.log
echo "fuzzing $target for $seconds s (log: $log)"
status=0
"$build/tests/$target" -max_total_time="$seconds" -print_final_stats=1 \
    ${FUZZ_JOBS:+-jobs=$FUZZ_JOBS -workers=$FUZZ_JOBS} $([ -f "$dict" ] && echo "-dict=$dict") \
    -artifact_prefix="$build/$target-" "$corpus" "tests/fuzz/seeds/$target" > "$log" 2>&1 || status=$?
tail -n 12 "$log"
if [ "$status" -ne 0 ]; then
  echo "$target found a failure (exit $status); the input is beside the log as $build/$target-*"
fi
exit "$status"

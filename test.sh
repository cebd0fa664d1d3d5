#!/usr/bin/env bash
# Sets up what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# runs every test, then runs the controller library's own tests and the Qt-side threading tests
# again under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=suppressions=$PWD/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1

# Every CTest run adds to one count, printed as the last line however the script ends.
passed=0
failed=0
status=0
trap 'echo "tests: $passed passed, $failed failed"' EXIT
run_ctest() {
  local log line total fails
  log=$(mktemp)
  ctest "$@" 2>&1 | tee "$log" || status=1
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  rm -f "$log"
  if [ -z "$line" ]; then
    status=1
    return
  fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  fails=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
  passed=$((passed + total - fails))
  failed=$((failed + fails))
}

# Includes go only downward through the folders' floors.
if scripts/check-includes.sh; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  status=1
fi

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
      -DTOLMO_SANITIZE=address,undefined -DTOLMO_WERROR=ON
cmake --build build-test -j "$jobs"
run_ctest --test-dir build-test --output-on-failure -j "$jobs"

cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
      -DTOLMO_WITH_QT=OFF -DTOLMO_SANITIZE=thread -DTOLMO_WERROR=ON
cmake --build build-tsan -j "$jobs"
run_ctest --test-dir build-tsan --output-on-failure -j "$jobs"

# The polling, gateway and log threads under ThreadSanitizer. Qt is not instrumented: tests/tsan.supp
# names the few of its internals whose locking the sanitizer cannot see. Only these tests are built.
qt_thread_tests="tst_pollingsilencer tst_updatethread tst_deviceinterface tst_library_log tst_message_log"
cmake -S . -B build-tsan-qt -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
      -DTOLMO_SANITIZE=thread -DTOLMO_WERROR=ON
cmake --build build-tsan-qt -j "$jobs" --target $qt_thread_tests
run_ctest --test-dir build-tsan-qt --output-on-failure -j "$jobs" -R "^(${qt_thread_tests// /|})\$"

# The file loaders' fuzz targets: built with clang, each run briefly on its own corpus.
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DTOLMO_FUZZ=ON -DTOLMO_SANITIZE=address,undefined
fuzzers=$(cd tests/fuzz 2>/dev/null && ls fuzz_*.cpp 2>/dev/null | sed 's/\.cpp$//' || true)
if [ -n "$fuzzers" ]; then
  cmake --build build-fuzz -j "$jobs" --target $fuzzers
  for f in $fuzzers; do
    corpus=build-fuzz/corpus/$f
    mkdir -p "$corpus"
    seeds=()
    [ -d "tests/fuzz/seeds/$f" ] && seeds=("tests/fuzz/seeds/$f")
    dict=()
    [ -f "tests/fuzz/$f.dict" ] && dict=("-dict=tests/fuzz/$f.dict")
    echo "fuzzing $f for ${TOLMO_FUZZ_SECONDS:-20} s"
    if ! build-fuzz/tests/$f -max_total_time="${TOLMO_FUZZ_SECONDS:-20}" -print_final_stats=1 "${dict[@]}" \
         "$corpus" "${seeds[@]}" > "build-fuzz/$f.log" 2>&1; then
      cat "build-fuzz/$f.log"
      exit 1
    fi
    tail -n 4 "build-fuzz/$f.log"
  done
fi
exit "$status"

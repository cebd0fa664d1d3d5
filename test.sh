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
# How many times a quiet machine's time the tests' timeouts and wait bounds allow (read when the
# build is configured); CI sets more for a loaded machine.
export TOLMO_TEST_TIME_SCALE=${TOLMO_TEST_TIME_SCALE:-1}

# Every test run, build and fuzz run adds to one count, printed as the last line however the
# script ends; a stop that nothing counted (an error outside the steps below) counts as a failure.
passed=0
failed=0
skipped=0
status=0
summary() {
  local rc=$?
  if [ "$rc" -ne 0 ] && [ "$failed" -eq 0 ]; then
    failed=1
  fi
  echo "tests: $passed passed, $failed failed, $skipped skipped"
}
trap summary EXIT
fail() {
  echo "FAILED: $*"
  failed=$((failed + 1))
  status=1
}
# A step that is not a test run: passes or counts one failure. Returns its own result.
step() {
  local name=$1
  shift
  if "$@"; then
    return 0
  fi
  fail "$name"
  return 1
}
run_ctest() {
  local log line total fails skips
  log=$(mktemp)
  ctest "$@" 2>&1 | tee "$log" || status=1
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  # CTest counts a skipped test among the passed ones; its line ends "***Skipped".
  skips=$(grep -cE '^[[:space:]]*[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped' "$log" || true)
  rm -f "$log"
  if [ -z "$line" ]; then
    fail "ctest $* gave no summary"
    return
  fi
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  fails=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
  passed=$((passed + total - fails - skips))
  failed=$((failed + fails))
  skipped=$((skipped + skips))
  [ "$fails" -eq 0 ] || status=1
}
# Configures and builds one tree; its tests run only when it built.
build() {
  local dir=$1 targets=$2
  shift 2
  step "configure $dir" cmake -S . -B "$dir" "$@" &&
    step "build $dir" cmake --build "$dir" -j "$jobs" ${targets:+--target $targets}
}

# Includes go only downward through the folders' floors.
if step "include floors" scripts/check-includes.sh; then
  passed=$((passed + 1))
fi

if build build-test "" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
         -DTOLMO_SANITIZE=address,undefined -DTOLMO_WERROR=ON; then
  run_ctest --test-dir build-test --output-on-failure -j "$jobs"
fi

if build build-tsan "" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
         -DTOLMO_WITH_QT=OFF -DTOLMO_SANITIZE=thread -DTOLMO_WERROR=ON; then
  run_ctest --test-dir build-tsan --output-on-failure -j "$jobs"
fi

# The polling, gateway and log threads under ThreadSanitizer. Qt is not instrumented: tests/tsan.supp
# names the few of its internals whose locking the sanitizer cannot see. Only these tests are built.
qt_thread_tests="tst_pollingsilencer tst_updatethread tst_deviceinterface tst_axiscourier tst_motionlogic tst_library_log tst_message_log"
if build build-tsan-qt "$qt_thread_tests" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
         -DTOLMO_SANITIZE=thread -DTOLMO_WERROR=ON; then
  run_ctest --test-dir build-tsan-qt --output-on-failure -j "$jobs" -R "^(${qt_thread_tests// /|})\$"
fi

# The file loaders' fuzz targets: built with clang, each run briefly on its own corpus; each
# run counts as one test.
fuzzers=$(cd tests/fuzz 2>/dev/null && ls fuzz_*.cpp 2>/dev/null | sed 's/\.cpp$//' || true)
if [ -n "$fuzzers" ] &&
   build build-fuzz "$fuzzers" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
         -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
         -DTOLMO_FUZZ=ON -DTOLMO_SANITIZE=address,undefined; then
  for f in $fuzzers; do
    corpus=build-fuzz/corpus/$f
    mkdir -p "$corpus"
    seeds=()
    [ -d "tests/fuzz/seeds/$f" ] && seeds=("tests/fuzz/seeds/$f")
    dict=()
    [ -f "tests/fuzz/$f.dict" ] && dict=("-dict=tests/fuzz/$f.dict")
    echo "fuzzing $f for ${TOLMO_FUZZ_SECONDS:-20} s"
    if build-fuzz/tests/$f -max_total_time="${TOLMO_FUZZ_SECONDS:-20}" -print_final_stats=1 "${dict[@]}" \
         "$corpus" "${seeds[@]}" > "build-fuzz/$f.log" 2>&1; then
      passed=$((passed + 1))
      tail -n 4 "build-fuzz/$f.log"
    else
      cat "build-fuzz/$f.log"
      fail "fuzzer $f"
    fi
  done
fi
exit "$status"

#!/usr/bin/env bash
# Runs the acceptance run (tests/app/tst_acceptance.cpp) on a virtual 1280x1024 display and says
# where its pictures are. Needs the test build (./test.sh, or build-test/ made by hand).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-test}
cmake --build "$build" -j "$(nproc)" --target tst_acceptance
pictures=${TOLMO_ACCEPTANCE_PICTURES:-$PWD/$build/acceptance-pictures}
export TOLMO_ACCEPTANCE_PICTURES=$pictures
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0:fast_unwind_on_malloc=0
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" "$build/tests/tst_acceptance" || status=$?
echo "Pictures of every checkpoint: $pictures"
exit "$status"

#!/usr/bin/env bash
# Sets up what is missing, builds Tolmo without sanitizers in build-run/ and starts it on the
# simulated controllers (by default the three of the simulator: sim:axis1, sim:axis2, sim:axis3).
# Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

cmake -S . -B build-run -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-run -j "$(nproc)" --target tolmo

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
  cat >&2 <<'TEXT'
There is no display to show Tolmo on. Start it on a virtual one:

    xvfb-run -a -s "-screen 0 1280x1024x24" ./run.sh

(or set DISPLAY to a running X server).
TEXT
  exit 1
fi
exec build-run/tolmo "$@"

#!/usr/bin/env bash
# Runs a test on a virtual screen of the given size (WIDTHxHEIGHT) under the openbox window
# manager. Where either cannot start, says why and ends with 77, which CTest counts as skipped.
set -u
size=$1
shift
skip() {
  echo "SKIP: $* (scripts/install-deps.sh installs Xvfb, openbox and xprop)"
  exit 77
}
for tool in Xvfb openbox xprop; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
work=$(mktemp -d)
xvfb=
wm=
cleanup() {
  [ -n "$wm" ] && kill "$wm" 2>/dev/null && wait "$wm" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
# The server picks a free display and writes its number.
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
[ -s "$work/display" ] || skip "Xvfb did not start: $(tail -n 1 "$work/xvfb.log")"
export DISPLAY=":$(head -n 1 "$work/display")"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  kill -0 "$wm" 2>/dev/null || break
  sleep 0.05
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
  skip "openbox did not start: $(tail -n 1 "$work/openbox.log")"
# libxkbcommon's keymap reading hands strndup a text without its end, which a strict string
# check reports inside the X platform's start; it reads only what the length allows.
ASAN_OPTIONS=$(sed -E 's/(^|:)strict_string_checks=1//' <<<"${ASAN_OPTIONS:-}")
export ASAN_OPTIONS
# No OpenGL: the windows need none, and Mesa's GLX driver keeps an allocation the leak check
# cannot name once the driver is unloaded.
QT_XCB_GL_INTEGRATION=none QT_QPA_PLATFORM=xcb TOLMO_SCREEN_SIZE=$size "$@"

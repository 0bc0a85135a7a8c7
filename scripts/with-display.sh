#!/usr/bin/env bash
# Runs a command with an X display and one persistent wineserver, then shuts both down.
# Starts a private Xvfb when there is no display (CI) or when TL_XVFB=1.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] || [ "${TL_XVFB:-0}" = 1 ]; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1600x900x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    break
  done
  for _ in $(seq 1 100); do
    xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && break
    sleep 0.1
  done
fi

"$(dirname "$0")/wine-prefix.sh"
wineserver -p >/dev/null 2>&1 || true
# Start Wine's own services now, detached from our output: started by the first test
# instead, they would inherit its output pipe and keep ctest waiting after the test ends.
timeout 120 "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
"$@"

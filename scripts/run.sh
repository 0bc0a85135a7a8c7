#!/usr/bin/env bash
# Starts Tessaloom under Wine. With a display it runs until closed; without one it runs in
# a Wine virtual desktop on a private X server, saves build/screenshots/run.png and exits.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/wine-env.sh"
EXE="$TL_BUILD/win/app/tessaloom.exe"
export SHOTS="$TL_BUILD/screenshots" EXE ROOT
mkdir -p "$SHOTS"

if [ -n "${DISPLAY:-}" ] && [ "${TL_XVFB:-0}" != 1 ]; then
  exec "$ROOT/scripts/with-display.sh" bash -c '
    source "$ROOT/scripts/wine-env.sh"; ensure_demo_camera
    TL_WINE_TIMEOUT=86400 "$ROOT/scripts/wine-exec.sh" "$EXE"'
fi

TL_XVFB=1 "$ROOT/scripts/with-display.sh" bash -c '
  source "$ROOT/scripts/wine-env.sh"; ensure_demo_camera
  seconds=${RUN_SECONDS:-8}
  TL_WINE_TIMEOUT=$((seconds + 120)) "$ROOT/scripts/wine-exec.sh" explorer /desktop=Tessaloom,1600x900 "$EXE" &
  desk=$!
  for _ in $(seq 1 300); do
    xdotool search --name "^Tessaloom$" >/dev/null 2>&1 && break
    sleep 0.2
  done
  sleep "$seconds"
  import -window root "$SHOTS/run.png" && echo "run: screenshot saved to $SHOTS/run.png"
  wid=$(xdotool search --name "^Tessaloom$" 2>/dev/null | head -1)
  [ -n "$wid" ] && xdotool windowactivate --sync "$wid" key --window "$wid" alt+F4 >/dev/null 2>&1
  sleep 2; kill $desk >/dev/null 2>&1; wait $desk 2>/dev/null
  exit 0
'

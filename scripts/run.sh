#!/usr/bin/env bash
# Starts Tessaloom under Wine. With a display it runs until closed; without one it runs on
# a virtual display, saves a screenshot to build/screenshots/run.png and exits.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
EXE="${TL_BUILD:-$ROOT/build}/win/app/tessaloom.exe"
SHOTS="${TL_BUILD:-$ROOT/build}/screenshots"
mkdir -p "$SHOTS"

if [ -n "${DISPLAY:-}" ] && [ "${TL_XVFB:-0}" != 1 ]; then
  exec "$ROOT/scripts/with-display.sh" "$ROOT/scripts/wine-exec.sh" "$EXE"
fi

TL_XVFB=1 "$ROOT/scripts/with-display.sh" bash -c '
  TL_WINE_TIMEOUT=$(( ${RUN_SECONDS:-8} + 120 )) "'"$ROOT"'/scripts/wine-exec.sh" "'"$EXE"'" &
  app=$!
  for _ in $(seq 1 300); do
    xdotool search --name "^Tessaloom$" >/dev/null 2>&1 && break
    sleep 0.2
  done
  sleep "${RUN_SECONDS:-8}"
  import -window root "'"$SHOTS"'/run.png" && echo "run: screenshot saved to '"$SHOTS"'/run.png"
  wid=$(xdotool search --name "^Tessaloom$" 2>/dev/null | head -1)
  [ -n "$wid" ] && xdotool windowclose "$wid" >/dev/null 2>&1
  sleep 1; kill $app >/dev/null 2>&1; wait $app 2>/dev/null
  exit 0
'

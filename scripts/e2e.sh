#!/usr/bin/env bash
# End to end: the real tessaloom.exe on the current display; checks its window appears
# and saves a screenshot for a person to look at.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SHOTS="${TL_BUILD:-$ROOT/build}/screenshots"
mkdir -p "$SHOTS"
passed=0; failed=0
check() { if "$@"; then passed=$((passed+1)); else failed=$((failed+1)); echo "e2e FAILED: $*"; fi; }

TL_WINE_TIMEOUT=120 "$ROOT/scripts/wine-exec.sh" "${TL_BUILD:-$ROOT/build}/win/app/tessaloom.exe" &
app=$!
wait_window() {
  for _ in $(seq 1 300); do
    xdotool search --name "^Tessaloom$" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}
check wait_window
sleep 2
import -window root "$SHOTS/e2e-start.png" >/dev/null 2>&1
wid=$(xdotool search --name "^Tessaloom$" 2>/dev/null | head -1)
[ -n "$wid" ] && xdotool windowclose "$wid" >/dev/null 2>&1
exited() { for _ in $(seq 1 100); do kill -0 $app 2>/dev/null || return 0; sleep 0.1; done; return 1; }
check exited
kill $app >/dev/null 2>&1; wait $app 2>/dev/null
echo "e2e: $passed passed, $failed failed"
[ $failed = 0 ]

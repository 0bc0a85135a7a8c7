#!/usr/bin/env bash
# End to end: the real tessaloom.exe in a Wine virtual desktop on the current display.
# Checks that its window appears and that it closes on request; saves screenshots for a
# person to look at.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/wine-env.sh"
EXE="$TL_BUILD/win/app/tessaloom.exe"
SHOTS="$TL_BUILD/screenshots"
mkdir -p "$SHOTS"
passed=0; failed=0
check() { if "$@"; then passed=$((passed+1)); else failed=$((failed+1)); echo "e2e FAILED: $*"; fi; }
wait_window() {
  for _ in $(seq 1 300); do
    xdotool search --name "^Tessaloom$" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}
# Processes whose program (first word) is tessaloom.exe; Wine shows it by its Unix path.
copies_running() { pgrep -fc '^[^ ]*app[/\\]tessaloom\.exe'; }
app_running() { pgrep -f '^[^ ]*app[/\\]tessaloom\.exe' >/dev/null; }
# A second copy finds the first one's mutex, ends with 0 and leaves one copy running.
second_copy_ends_with_zero() {
  [ "$(copies_running)" = 1 ] || return 1
  TL_WINE_TIMEOUT=90 "$ROOT/scripts/wine-exec.sh" "$EXE" >/dev/null 2>&1 || return 1
  [ "$(copies_running)" = 1 ]
}
# Alt+F4 as a user would; Wine's taskkill does not reach windows in a virtual desktop.
close_app() {
  local wid
  wid=$(xdotool search --name "^Tessaloom$" 2>/dev/null | head -1)
  [ -n "$wid" ] || return 0
  xdotool windowactivate --sync "$wid" >/dev/null 2>&1
  xdotool key --window "$wid" alt+F4 >/dev/null 2>&1
}
closes_on_request() {
  close_app
  for _ in $(seq 1 100); do app_running || return 0; sleep 0.1; done
  return 1
}

# The live picture: the simulated microscope's scene is anything but uniform.
shows_live_picture() {
  local shot="$SHOTS/e2e-live.png" spread
  for _ in $(seq 1 20); do
    sleep 0.5
    import -window root "$shot" >/dev/null 2>&1 || continue
    spread=$(convert "$shot" -crop 240x160+680+370 +repage -colorspace Gray \
             -format '%[fx:standard_deviation*1000]' info: 2>/dev/null)
    [ "${spread%.*}" -gt 40 ] 2>/dev/null && return 0
  done
  echo "e2e: picture spread ${spread:-none}"
  return 1
}

ensure_demo_camera
TL_WINE_TIMEOUT=180 "$ROOT/scripts/wine-exec.sh" explorer /desktop=Tessaloom,1600x900 "$EXE" &
desk=$!
check wait_window
check shows_live_picture
check second_copy_ends_with_zero
import -window root "$SHOTS/e2e-start.png" >/dev/null 2>&1
check closes_on_request
kill $desk >/dev/null 2>&1; wait $desk 2>/dev/null
echo "e2e: $passed passed, $failed failed"
[ $failed = 0 ]

#!/usr/bin/env bash
# Installs the package silently in a Wine prefix of its own, with the demo camera; starts the
# installed program and checks that it opens the camera; uninstalls and checks that nothing
# the installer added is left while the user's settings stay. Runs under with-display.sh.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/wine-env.sh"
SHOTS="$TL_BUILD/screenshots"
mkdir -p "$SHOTS"
SETUP="$(ls "$TL_BUILD"/package/Tessaloom-*-setup.exe 2>/dev/null | head -1)"
[ -n "$SETUP" ] || { echo "package-test: no installer (make package first)" >&2; exit 1; }

C="$WINEPREFIX/drive_c"
INSTDIR="$C/Program Files/Tessaloom"
MENU="$C/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessaloom"
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaloom'
passed=0; failed=0
check() { if "$@"; then passed=$((passed+1)); else failed=$((failed+1)); echo "package-test FAILED: $*"; fi; }
w() { timeout 120 "$WINE" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
has_key() { w reg query "$1" >/dev/null 2>&1 && timeout 120 "$WINE" reg query "$1" >/dev/null 2>&1; }
no_key() { ! timeout 120 "$WINE" reg query "$1" >/dev/null 2>&1; }
value_of() { w reg query "$1" /v "$2" | awk -v v="$2" '$1 == v {print $3}'; }
# Every file and folder of the C: drive but Wine's own and the temporary ones.
tree() {
  (cd "$C" && find . -path ./windows -prune -o -path './users/*/Temp' -prune \
     -o -path './users/*/AppData/Local/Temp' -prune -o -print | sort)
}
demo_cameras() { w "$INSTDIR/simcam.exe" list; }
wait_for() { local i; for i in $(seq 1 "$1"); do "${@:2}" && return 0; sleep 0.5; done; return 1; }
window_shown() { xdotool search --name "^Tessaloom$" >/dev/null 2>&1; }
camera_opened() { [ -n "$(value_of 'HKCU\Software\Tessaloom' width)" ]; }
# The program's own process (Wine shows its Windows path first), not the desktop that started it.
program_gone() { [ -z "$(prefix_pids '^C:.Program Files.Tessaloom.tessaloom\.exe')" ]; }
installed_dir_gone() { [ ! -e "$INSTDIR" ]; }

timeout 120 "$WINE" reg delete 'HKCU\Software\Tessaloom' /f >/dev/null 2>&1 || true
before="$(tree)"

# Install: silent, with the demo camera (unticked by default, ticked by /DEMO).
check timeout 300 "$WINE" "$SETUP" /S /DEMO
check test -f "$INSTDIR/tessaloom.exe"
check test -f "$INSTDIR/Uninstall.exe"
check test -f "$MENU/Tessaloom.lnk"
check test -f "$MENU/Uninstall Tessaloom.lnk"
check has_key "$UNINSTALL_KEY"
check test "$(value_of "$UNINSTALL_KEY" DisplayName)" = Tessaloom
check grep -q TessaloomDemo <<<"$(demo_cameras)"

# The installed program starts, finds the demo camera and stores the format it opened.
TL_WINE_TIMEOUT=300 "$ROOT/scripts/wine-exec.sh" explorer /desktop=Package,1280x800 \
  "C:\\Program Files\\Tessaloom\\tessaloom.exe" >/dev/null 2>&1 &
desk=$!
check wait_for 120 window_shown
check wait_for 60 camera_opened
sleep 2
import -window root "$SHOTS/package-installed.png" >/dev/null 2>&1
# Alt+F4 as a user would; Wine's taskkill does not reach windows in a virtual desktop.
for wid in $(xdotool search --name "^Tessaloom$" 2>/dev/null); do
  xdotool windowactivate --sync "$wid" >/dev/null 2>&1
  xdotool key --window "$wid" alt+F4 >/dev/null 2>&1
done
check wait_for 60 program_gone
kill $desk >/dev/null 2>&1; wait $desk 2>/dev/null

# Uninstall: silent; the uninstaller runs from a copy of itself, so wait for the folder to go.
check timeout 300 "$WINE" "$INSTDIR/Uninstall.exe" /S
check wait_for 120 installed_dir_gone
check test ! -e "$MENU"
check no_key "$UNINSTALL_KEY"
check no_key 'HKCU\Software\Tessaloom Simcam'
demo_clsids=$(w reg query 'HKCR\CLSID\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\Instance' /s | grep -ci tessalo || true)
check test "${demo_clsids:-0}" = 0
# The user's settings stay unless asked for.
check has_key 'HKCU\Software\Tessaloom'
after="$(tree)"
leftover="$(comm -13 <(echo "$before") <(echo "$after") | grep -v '/Tessaloom Files' || true)"
[ -z "$leftover" ] || echo "package-test: left behind:"$'\n'"$leftover"
check test -z "$leftover"

echo "package-test: $passed passed, $failed failed"
[ "$failed" = 0 ]

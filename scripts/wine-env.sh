# Sourced: the private Wine environment every Windows command of the project runs in.
TL_ROOT="${TL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
TL_BUILD="${TL_BUILD:-$TL_ROOT/build}"
export WINEPREFIX="${WINEPREFIX:-$TL_BUILD/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono/Gecko installers, and no debugger that would hang an automated run on a crash.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=;winedbg.exe=d}"
export WINE="${WINE:-wine}"

# Plugs the built-in simulated microscope unless some camera is registered already
# (TL_NO_SIMCAM=1 leaves the program without one, to show its no-device picture).
ensure_demo_camera() {
  local tool="$TL_BUILD/win/simcam/simcam.exe"
  [ "${TL_NO_SIMCAM:-0}" = 1 ] && return 0
  [ -f "$tool" ] || return 0
  if [ -z "$(timeout 120 "$WINE" "$tool" list 2>/dev/null | tr -d '\r')" ]; then
    timeout 120 "$WINE" "$tool" plug Microscope --friendly "USB Microscope" >/dev/null 2>&1 || true
  fi
}

# Processes whose command line matches the pattern and that run in this Wine prefix: other
# checkouts on the same machine may run the same program in prefixes of their own.
prefix_pids() {
  local pid
  for pid in $(pgrep -f "$1"); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}

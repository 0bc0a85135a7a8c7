# Sourced: the private Wine environment every Windows command of the project runs in.
TL_ROOT="${TL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
TL_BUILD="${TL_BUILD:-$TL_ROOT/build}"
export WINEPREFIX="${WINEPREFIX:-$TL_BUILD/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono/Gecko installers, and no debugger that would hang an automated run on a crash.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=;winedbg.exe=d}"
export WINE="${WINE:-wine}"

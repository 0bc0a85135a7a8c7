#!/usr/bin/env bash
# Runs one Windows program under the project's Wine prefix, with a time limit; used by
# ctest as the cross-compiling emulator. All of the program's output is passed through.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
limit="${TL_WINE_TIMEOUT:-600}"
exec timeout --kill-after=10 "$limit" "$WINE" "$@"

#!/usr/bin/env bash
# Creates the private Wine prefix once; later runs find it ready and return at once.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
if [ ! -f "$WINEPREFIX/.tessaloom-ready" ]; then
  echo "wine: creating prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  timeout 300 wineboot -i >/dev/null 2>&1 || timeout 300 "$WINE" wineboot -i >/dev/null 2>&1
  wineserver -w || true
  touch "$WINEPREFIX/.tessaloom-ready"
fi

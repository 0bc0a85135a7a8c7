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
# Chinese and Japanese texts: the faces the program asks for resolve to Latin-only fonts here,
# and outside a CJK locale Wine falls back to another font only through these links.
if [ ! -f "$WINEPREFIX/.tessaloom-cjk-links" ]; then
  link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
  cjk='wqy-microhei.ttc,WenQuanYi Micro Hei\0NotoSansCJK-Regular.ttc,Noto Sans CJK SC'
  for face in "DejaVu Sans" "Tahoma" "Segoe UI" "Segoe UI Light" "Microsoft Sans Serif"; do
    timeout 120 "$WINE" reg add "$link" /v "$face" /t REG_MULTI_SZ /d "$cjk" /f >/dev/null 2>&1 || true
  done
  wineserver -w || true
  touch "$WINEPREFIX/.tessaloom-cjk-links"
fi
# The record dialog's clock asks for "Courier New": here it is the metric twin from
# fonts-liberation, so the clock is sized as on Windows.
if [ ! -f "$WINEPREFIX/.tessaloom-courier" ]; then
  timeout 120 "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Courier New" \
    /t REG_SZ /d "Liberation Mono" /f >/dev/null 2>&1 || true
  wineserver -w || true
  touch "$WINEPREFIX/.tessaloom-courier"
fi

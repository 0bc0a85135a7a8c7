#!/usr/bin/env bash
# Builds the Windows package from the cross build: a portable zip and an NSIS installer,
# both in build/package/.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${TL_BUILD:-$ROOT/build}"
WIN="$BUILD/win"
OUT="$BUILD/package"
VERSION="$(sed -n 's/.*VALUE "ProductVersion", "\([0-9.]*\)".*/\1/p' "$ROOT/resources/tessaloom.rc")"
[ -n "$VERSION" ] || { echo "package: no ProductVersion in resources/tessaloom.rc" >&2; exit 1; }

APP_EXE="$WIN/app/tessaloom.exe"
SIMCAM_DLL="$WIN/simcam/simcam.dll"
SIMCAM_EXE="$WIN/simcam/simcam.exe"
ICON="$WIN/app/icon/tessaloom.ico"
for f in "$APP_EXE" "$SIMCAM_DLL" "$SIMCAM_EXE" "$ICON"; do
  [ -f "$f" ] || { echo "package: $f is missing (make win first)" >&2; exit 1; }
done

rm -rf "$OUT" && mkdir -p "$OUT"
SETUP="$OUT/Tessaloom-$VERSION-setup.exe"
makensis -V2 -DVERSION="$VERSION" -DAPP_EXE="$APP_EXE" -DSIMCAM_DLL="$SIMCAM_DLL" \
  -DSIMCAM_EXE="$SIMCAM_EXE" -DICON="$ICON" -DOUT_FILE="$SETUP" "$ROOT/packaging/tessaloom.nsi"

# Portable: the program alone at the top, the demo camera and its notes beside it.
stage="$OUT/stage/Tessaloom-$VERSION"
mkdir -p "$stage/simcam"
cp "$APP_EXE" "$stage/tessaloom.exe"
cp "$SIMCAM_DLL" "$SIMCAM_EXE" "$stage/simcam/"
cp "$ROOT/packaging/portable-readme.txt" "$stage/README.txt"
cp "$ROOT/simcam/README.md" "$stage/simcam/README.md"
(cd "$OUT/stage" && cmake -E tar cf "$OUT/Tessaloom-$VERSION-portable.zip" --format=zip "Tessaloom-$VERSION")
rm -rf "$OUT/stage"
echo "package: $SETUP"
echo "package: $OUT/Tessaloom-$VERSION-portable.zip"

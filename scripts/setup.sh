#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a Debian 12 machine.
# Idempotent: a second run only checks and returns in seconds.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
DEPS="$ROOT/build/deps"  # shared by every build tree
mkdir -p "$DEPS"

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64-x86-64
  wine wine64 fonts-wine xvfb xdotool x11-utils imagemagick librsvg2-bin
  nasm dpkg-dev procps nsis
  ffmpeg fonts-liberation tesseract-ocr tesseract-ocr-eng
  googletest libgtest-dev libgmock-dev libbenchmark-dev libturbojpeg0-dev libjpeg62-turbo-dev libyuv-dev
  fonts-wqy-microhei fonts-noto-cjk
  libtiff-dev libtiff-tools imagej
)

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

enable_deb_src() {
  local f=/etc/apt/sources.list.d/debian.sources
  if [ -f "$f" ] && ! grep -q '^Types:.*deb-src' "$f"; then
    as_root sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
    return 0
  fi
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list \
     && ! grep -q '^deb-src ' /etc/apt/sources.list; then
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | as_root tee -a /etc/apt/sources.list >/dev/null
    return 0
  fi
  return 1
}

# Newest source version the mirror serves: a security update can be listed before its
# source reaches the mirror.
fetch_source() {
  local v
  for v in $(apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -ruV); do
    apt-get source -q --download-only "$1=$v" >/dev/null 2>&1 && return 0
  done
  return 1
}

JPEG_PREFIX="$DEPS/libjpeg-turbo-mingw"
need_jpeg_src=0
[ -f "$JPEG_PREFIX/lib/libturbojpeg.a" ] && [ -f "$JPEG_PREFIX/include/jpeglib.h" ] || need_jpeg_src=1
TIFF_PREFIX="$DEPS/libtiff-mingw"
need_tiff_src=0
[ -f "$TIFF_PREFIX/lib/libtiff.a" ] && [ -f "$TIFF_PREFIX/include/tiffio.h" ] || need_tiff_src=1

updated=0
if enable_deb_src; then updated=0; fi
if [ ${#missing[@]} -gt 0 ] || [ $need_jpeg_src = 1 ] || [ $need_tiff_src = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -q
  updated=1
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# libjpeg-turbo for Windows: cross-built from Debian's own source package, static.
if [ $need_jpeg_src = 1 ]; then
  echo "setup: cross-building libjpeg-turbo for Windows"
  work="$DEPS/jpeg-src"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get source -q --download-only libjpeg-turbo >/dev/null && dpkg-source -x libjpeg-turbo_*.dsc src >/dev/null)
  mkdir -p "$work/build"
  cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$JPEG_PREFIX" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=ON -DWITH_JAVA=OFF \
    -DCMAKE_SYSTEM_PROCESSOR=AMD64 -DCMAKE_ASM_NASM_COMPILER=nasm >/dev/null
  cmake --build "$work/build" --target turbojpeg-static jpeg-static >/dev/null
  cmake --install "$work/build" >/dev/null 2>&1 || true
  mkdir -p "$JPEG_PREFIX/lib" "$JPEG_PREFIX/include"
  cp "$work/build"/libturbojpeg.a "$work/build"/libjpeg.a "$JPEG_PREFIX/lib/" 2>/dev/null || true
  cp "$work/src/turbojpeg.h" "$work/src/jpeglib.h" "$work/src/jmorecfg.h" "$work/src/jerror.h" \
    "$work/build/jconfig.h" "$JPEG_PREFIX/include/"
  test -f "$JPEG_PREFIX/lib/libturbojpeg.a"
  rm -rf "$work"
fi
# libtiff for Windows, the same way: static, plain strips only, every optional codec off so
# that nothing else has to be cross-built.
if [ $need_tiff_src = 1 ]; then
  echo "setup: cross-building libtiff for Windows"
  work="$DEPS/tiff-src"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && fetch_source tiff && dpkg-source -x tiff_*.dsc src >/dev/null 2>&1)
  cmake -S "$work/src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$TIFF_PREFIX" -DBUILD_SHARED_LIBS=OFF \
    -Dzlib=OFF -Dlibdeflate=OFF -Dpixarlog=OFF -Djpeg=OFF -Dold-jpeg=OFF -Djpeg12=OFF \
    -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dcxx=OFF \
    -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF >/dev/null
  cmake --build "$work/build" --target tiff -j 2 >/dev/null
  mkdir -p "$TIFF_PREFIX/lib" "$TIFF_PREFIX/include"
  cp "$work/build/libtiff/libtiff.a" "$TIFF_PREFIX/lib/"
  cp "$work/src/libtiff/tiff.h" "$work/src/libtiff/tiffio.h" "$work/src/libtiff/tiffvers.h" \
    "$work/build/libtiff/tiffconf.h" "$TIFF_PREFIX/include/"
  test -f "$TIFF_PREFIX/lib/libtiff.a"
  rm -rf "$work"
fi
echo "setup: ready"

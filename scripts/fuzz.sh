#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan, UBSan) and runs each for FUZZ_SECONDS on
# its committed seed corpus. New inputs go to a work corpus in the build tree, findings to
# build/fuzz/findings; the first target that finds a fault fails the run.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${TL_BUILD:-$ROOT/build}/fuzz"
SECONDS_EACH="${FUZZ_SECONDS:-20}"
CORPUS="$ROOT/tests/fuzz/corpus"

CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTL_FUZZ=ON -DTL_SANITIZE=ON -DTL_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

# The MJPG seeds are frames of the simulated microscope, made here rather than committed.
mkdir -p "$BUILD/seeds/mjpg_fuzz"
"$BUILD/tests/fuzz/make_mjpg_seeds" "$BUILD/seeds/mjpg_fuzz"

mkdir -p "$BUILD/findings"
for target in "$BUILD"/tests/fuzz/*_fuzz; do
  name="$(basename "$target")"
  work="$BUILD/work/$name"
  mkdir -p "$work"
  seeds=()
  [ -d "$CORPUS/$name" ] && seeds+=("$CORPUS/$name")
  [ -d "$BUILD/seeds/$name" ] && seeds+=("$BUILD/seeds/$name")
  echo "fuzz: $name for ${SECONDS_EACH}s"
  if ! "$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
       -print_final_stats=0 -artifact_prefix="$BUILD/findings/$name-" \
       "$work" "${seeds[@]}" >"$BUILD/$name.log" 2>&1; then
    tail -n 60 "$BUILD/$name.log"
    echo "fuzz: $name found a fault; the input is in $BUILD/findings" >&2
    exit 1
  fi
  grep -E '^#[0-9]+ *DONE' "$BUILD/$name.log" | tail -n 1 || true
done
echo "fuzz: all targets ran clean"

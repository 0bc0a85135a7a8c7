#!/usr/bin/env bash
# make perf: the program as a user runs it. The simulated microscope sends 1920x1080 MJPG at
# 30 frames a second; the program runs maximised in a 1600x900 desktop in each state (plain;
# crossline and five shapes; gray and horizontal flip; recording a video, uncompressed, as
# MJPG passed through, and as MJPG encoded from the gray flipped picture) for
# PERF_SECONDS (30) after a warm-up, in its measurement mode, and the figures are printed in
# one table beside the anchor measured in the same run: the camera's own samples decoded
# natively by TurboJPEG with a reused handle. Not part of `make test`.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
TL_BUILD="${TL_BUILD:-$ROOT/build}"
# A prefix of its own: its camera list, settings and registry stay apart from the tests'.
export WINEPREFIX="${PERF_WINEPREFIX:-$TL_BUILD/wineprefix-perf}"
source "$ROOT/scripts/wine-env.sh"

if [ "${1:-}" != --inside ]; then
  export TL_XVFB=1
  exec "$ROOT/scripts/with-display.sh" "$0" --inside
fi

EXE="$TL_BUILD/win/app/tessaloom.exe"
TOOL="$TL_BUILD/win/simcam/simcam.exe"
DRIVER="$TL_BUILD/win/tests/perf/perf_driver.exe"
BENCH="$TL_BUILD/bench/bench/tessaloom_bench"
OUT="$TL_BUILD/perf"
SECONDS_PER_STATE="${PERF_SECONDS:-30}"
WARMUP_MS=6000
STATES="${PERF_STATES:-plain overlay gray-flip recording mjpg-record gray-flip-mjpg-record}"
TICK=$(getconf CLK_TCK)
mkdir -p "$OUT"

DESKTOP="/desktop=Tessaloom,1600x900"

winpath() { echo "Z:${1//\//\\}"; }
# wine_run SECONDS PROGRAM ARGS...: quietly, with a time limit.
wine_run() { local limit=$1; shift; TL_WINE_TIMEOUT=$limit "$ROOT/scripts/wine-exec.sh" "$@" </dev/null >/dev/null 2>&1; }
app_pid() { prefix_pids '^[^ ]*app[/\\]tessaloom\.exe' | tail -1; }
# utime + stime of a process, in seconds.
cpu_seconds() {
  [ -n "$1" ] && [ -r "/proc/$1/stat" ] || { echo 0; return; }
  awk -v t="$TICK" '{ sub(/^.*\) /, ""); print ($12 + $13) / t }' "/proc/$1/stat"
}
# The wineserver of this prefix works in a directory named after the prefix's device and inode.
our_wineserver() {
  local dir pid
  dir=$(stat -c '%d %i' "$WINEPREFIX" | awk '{ printf "server-%x-%x", $1, $2 }')
  for pid in $(pgrep wineserver); do
    [[ "$(readlink "/proc/$pid/cwd" 2>/dev/null)" == */"$dir" ]] && { echo "$pid"; return; }
  done
}
xvfb_pid() { pgrep -f "^Xvfb $DISPLAY " | head -1; }

# The anchors, natively: the median of five repetitions of each, in ms per frame, wall and CPU
# (the machine may be shared: CPU time is what other work disturbs least).
anchors() {
  local csv="$OUT/anchor.csv"
  "$BENCH" --benchmark_filter='^anchor/' --benchmark_repetitions=5 --benchmark_min_time=0.3 \
    --benchmark_out="$csv" --benchmark_out_format=csv >/dev/null 2>&1
  awk -F, '$1 ~ /^"anchor\// && $1 ~ /_median"$/ {
      split($1, part, "/"); name = part[2]; gsub(/-/, "_", name)
      printf "anchor_%s_wall_ms %.3f\nanchor_%s_cpu_ms %.3f\n", name, $3 / 1000, name, $4 / 1000 }' "$csv"
}

# "name value" and "name count median p95 max mean" lines of a summary.
field() { awk -v n="$2" -v c="${3:-2}" '$1 == n { v = $c } END { print (v == "" ? "-" : v) }' "$1" 2>/dev/null || echo -; }

set_state() {
  case "$1" in
    plain) return 0 ;;
    recording) wine_run 60 explorer "$DESKTOP" "$DRIVER" record ;;
    mjpg-record)
      wine_run 60 explorer "$DESKTOP" "$DRIVER" compressed &&
        wine_run 60 explorer "$DESKTOP" "$DRIVER" record ;;
    gray-flip-mjpg-record)
      wine_run 60 explorer "$DESKTOP" "$DRIVER" gray-flip &&
        wine_run 60 explorer "$DESKTOP" "$DRIVER" compressed &&
        wine_run 60 explorer "$DESKTOP" "$DRIVER" record ;;
    *) wine_run 60 explorer "$DESKTOP" "$DRIVER" "$1" ;;
  esac
}

# Photos and videos go to a folder of this run's own: the documents folder may be shared with
# other Wine prefixes on the machine, and a recording at 1080p30 writes about 190 MB a second,
# so its files go once measured.
MEDIA="$OUT/media"
clear_media() { rm -f "$MEDIA"/*.avi "$MEDIA"/*.jpg "$MEDIA"/*.png; }

run_state() {
  local state=$1 log="$OUT/$1.txt" camlog="$OUT/$1-camera.txt" ext="$OUT/$1-external.txt"
  rm -f "$log" "$camlog" "$ext"
  # Every state starts uncompressed: the compressed-video command toggles a remembered switch.
  wine_run 60 reg delete 'HKCU\Software\Tessaloom\More' /v CompressedVideo /f
  echo "perf: $state: anchor" >&2
  local anchor
  anchor=$(anchors)
  local load0
  load0=$(cut -d' ' -f1 /proc/loadavg)
  echo "perf: $state: running (load $load0)" >&2
  TESSALOOM_PERF_LOG="$(winpath "$log")" TESSALOOM_PERF_WARMUP_MS=$WARMUP_MS \
  TESSALOOM_SIMCAM_PERF_LOG="$(winpath "$camlog")" \
    TL_WINE_TIMEOUT=$((SECONDS_PER_STATE + 180)) "$ROOT/scripts/wine-exec.sh" explorer "$DESKTOP" "$EXE" \
    </dev/null >/dev/null 2>&1 &
  local runner=$! started
  started=$(date +%s.%N)
  for _ in $(seq 1 300); do xdotool search --name '^Tessaloom$' >/dev/null 2>&1 && break; sleep 0.1; done
  sleep 2
  set_state "$state" || echo "perf: $state: the state could not be set" >&2
  # The program's own window starts WARMUP_MS after its first sample; the outside one with it.
  local waited
  waited=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
  sleep "$(awk -v w="$WARMUP_MS" -v d="$waited" 'BEGIN { s = w / 1000 - d + 0.5; print (s < 0 ? 0 : s) }')"
  local app ws xv t0 a0 w0 x0
  app=$(app_pid); ws=$(our_wineserver); xv=$(xvfb_pid)
  t0=$(date +%s.%N); a0=$(cpu_seconds "$app"); w0=$(cpu_seconds "$ws"); x0=$(cpu_seconds "$xv")
  sleep "$(awk -v s="$SECONDS_PER_STATE" 'BEGIN { print s / 2 }')"
  import -window root "$OUT/$state.png" >/dev/null 2>&1
  sleep "$(awk -v s="$SECONDS_PER_STATE" 'BEGIN { print s / 2 }')"
  local t1 a1 w1 x1
  t1=$(date +%s.%N); a1=$(cpu_seconds "$app"); w1=$(cpu_seconds "$ws"); x1=$(cpu_seconds "$xv")
  wine_run 60 explorer "$DESKTOP" "$DRIVER" close
  for _ in $(seq 1 300); do app_pid >/dev/null || break; sleep 0.1; done
  wait "$runner" 2>/dev/null
  # The videos' bytes per frame, over every frame they hold.
  local video_bytes=0 video_frames=0 f
  for f in "$MEDIA"/*.avi; do
    [ -f "$f" ] || continue
    video_bytes=$((video_bytes + $(stat -c %s "$f")))
    video_frames=$((video_frames + $(ffprobe -v error -select_streams v:0 -show_entries stream=nb_frames -of csv=p=0 "$f" 2>/dev/null || echo 0)))
  done
  clear_media
  {
    echo "$anchor"
    echo "load_start $load0"
    echo "load_end $(cut -d' ' -f1 /proc/loadavg)"
    awk -v b="$video_bytes" -v n="$video_frames" -v raw=$((1920 * 1080 * 3)) 'BEGIN {
      if (n > 0 && b > 0) printf "ext_file_bytes_per_frame %d\next_file_of_uncompressed %.3f\n", b / n, b / n / raw }'
    awk -v a0="$a0" -v a1="$a1" -v w0="$w0" -v w1="$w1" -v x0="$x0" -v x1="$x1" \
        -v t0="$t0" -v t1="$t1" 'BEGIN {
      s = t1 - t0
      printf "ext_process_cores %.3f\next_wineserver_cores %.3f\next_xvfb_cores %.3f\n",
             (a1 - a0) / s, (w1 - w0) / s, (x1 - x0) / s }'
  } >"$ext"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'; }

row() {  # label target then one value per state
  local label=$1 target=$2; shift 2
  printf '%-44s %-9s' "$label" "$target"
  for v in "$@"; do printf ' %10s' "$v"; done
  printf '\n'
}

each() {  # a figure for every state: each FILE-SUFFIX NAME [COLUMN]
  local suffix=$1 name=$2 col=${3:-2} s out=()
  for s in $STATES; do out+=("$(field "$OUT/$s$suffix.txt" "$name" "$col")"); done
  echo "${out[@]}"
}

# A program figure over an anchor of the same state, for every state.
ratios() {
  local s out=()
  for s in $STATES; do
    out+=("$(ratio "$(field "$OUT/$s.txt" "$1" "$2")" "$(field "$OUT/$s-external.txt" "$3")")")
  done
  echo "${out[@]}"
}

table() {
  echo
  echo "Tessaloom at 1920x1080 MJPG 30 fps, fitted in 1600x900 (overlay: crossline + 5 shapes at 100 %)"
  echo "$(nproc) cores; times in ms; medians unless marked; ${SECONDS_PER_STATE} s per state after a ${WARMUP_MS} ms warm-up"
  row "figure" "target" $STATES
  row "machine load (1 min) at start" "" $(each -external load_start)
  row "machine load (1 min) at end" "" $(each -external load_end)
  row "camera: frames sent per second" "30.0" $(each -camera camera_sent_fps)
  row "camera: frames skipped" "0" $(each -camera camera_frames_skipped)
  row "camera: lateness against its clock" "" $(each -camera camera_late 3)
  row "camera: render+encode per picture" "" $(each -camera camera_render 3)
  row "camera: pictures rendered" "" $(each -camera camera_pictures_rendered)
  row "camera: renderer CPU, cores" "" $(each -camera camera_render_cpu_cores)
  row "camera: cutting one sample" "" $(each -camera camera_send 3)
  row "anchor: native reused-handle decode, wall" "" $(each -external anchor_camera_reused_handle_wall_ms)
  row "  anchor, CPU" "" $(each -external anchor_camera_reused_handle_cpu_ms)
  row "  program's decoder natively, CPU" "" $(each -external anchor_camera_program_decoder_cpu_ms)
  row "sample callback, wall" "" $(each "" callback_wall 3)
  row "  callback wall / anchor wall" "<= 1.15" $(ratios callback_wall 3 anchor_camera_reused_handle_wall_ms)
  row "  callback thread CPU, mean" "" $(each "" callback_cpu 6)
  row "  callback CPU / anchor CPU" "<= 1.15" $(ratios callback_cpu 6 anchor_camera_reused_handle_cpu_ms)
  row "  callback wall p95" "" $(each "" callback_wall 4)
  for st in fill flip filter publish queue_copy; do
    row "  stage $st" "" $(each "" "stage_$st" 3)
  done
  row "frames offered" "" $(each "" frames_offered)
  row "frames shown" "" $(each "" frames_shown)
  row "  shown / offered" ">= 0.98" $(each "" shown_ratio)
  row "sample-to-screen latency" "<= 50" $(each "" latency 3)
  row "  latency p95" "<= 100" $(each "" latency 4)
  row "paint" "<= 11.1" $(each "" paint 3)
  row "  paint p95" "" $(each "" paint 4)
  row "  paint, main thread CPU, mean" "" $(each "" paint_cpu 6)
  row "process CPU, cores (program + camera)" "< 1" $(each "" cpu_cores_process)
  row "  main thread (windows, paint)" "" $(each "" cpu_cores_main_thread)
  row "  streaming thread (camera + callback)" "" $(each "" cpu_cores_stream_thread)
  row "    of it the callback" "" $(each "" cpu_cores_callback)
  row "  camera renderer thread" "" $(each -camera camera_render_cpu_cores)
  row "process CPU from /proc, cores" "" $(each -external ext_process_cores)
  row "wineserver CPU, cores" "" $(each -external ext_wineserver_cores)
  row "Xvfb CPU, cores" "" $(each -external ext_xvfb_cores)
  row "first live frame after start" "<= 1500" $(each "" first_frame_ms)
  row "recorder: frames queued" "" $(each "" record_frames_queued)
  row "  dropped by a full queue" "0" $(each "" record_frames_dropped)
  row "  frames written" "" $(each "" record_frames_written)
  row "  write per frame (rows + file), wall" "" $(each "" write_wall 3)
  row "  write per frame p95" "" $(each "" write_wall 4)
  row "  write per frame, writer CPU, mean" "" $(each "" write_cpu 6)
  row "  writer thread CPU, cores" "" $(each "" cpu_cores_writer)
  row "  file bytes per frame" "" $(each -external ext_file_bytes_per_frame)
  row "  file / uncompressed frame" "<= 0.125" $(each -external ext_file_of_uncompressed)
}

for tool in "$EXE" "$TOOL" "$DRIVER" "$BENCH"; do
  [ -x "$tool" ] || [ -f "$tool" ] || { echo "perf: $tool is missing (make win bench-build)"; exit 1; }
done
wine_run 120 "$TOOL" unplug --all
wine_run 120 "$TOOL" plug PerfScope --friendly "USB Microscope" --formats MJPG:1920x1080 --fps 30
mkdir -p "$MEDIA"
wine_run 120 reg add 'HKCU\Software\Tessaloom' /v ImgDir /t REG_SZ /d "$(winpath "$MEDIA")" /f
for state in $STATES; do run_state "$state"; done
table | tee "$OUT/table.txt"

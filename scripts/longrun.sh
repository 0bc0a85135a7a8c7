#!/usr/bin/env bash
# make longrun: the program for LONGRUN_MINUTES (30) on the simulated microscope at 1920x1080
# MJPG 30 fps, with the crossline and five shapes shown and a recording that is continued in
# a new file every LONGRUN_SPLIT_MB (300) megabytes. Every minute the process's handles,
# threads and memory are sampled (Windows and Linux figures) and the main window must answer
# within a second; every finished file is read with ffprobe and then deleted. The table goes to
# build/longrun/samples.txt, the verdict to build/longrun/summary.txt. Not part of `make test`.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
TL_BUILD="${TL_BUILD:-$ROOT/build}"
# A prefix of its own: its camera list, settings and registry stay apart from the tests'.
export WINEPREFIX="${LONGRUN_WINEPREFIX:-$TL_BUILD/wineprefix-longrun}"
source "$ROOT/scripts/wine-env.sh"

if [ "${1:-}" != --inside ]; then
  export TL_XVFB=1
  exec "$ROOT/scripts/with-display.sh" "$0" --inside
fi

MINUTES="${LONGRUN_MINUTES:-30}"
SPLIT_MB="${LONGRUN_SPLIT_MB:-300}"
OUT="$TL_BUILD/longrun"
VIDEOS="$OUT/videos"
EXE="$TL_BUILD/win/app/tessaloom.exe"
TOOL="$TL_BUILD/win/simcam/simcam.exe"
DRIVER="$TL_BUILD/win/tests/faults/fault_driver.exe"
OVERLAY="$TL_BUILD/win/tests/perf/perf_driver.exe"
CAMERA=LongScope
KEY='HKCU\Software\Tessaloom'
mkdir -p "$VIDEOS"
rm -f "$VIDEOS"/* "$OUT"/*.avi "$OUT/bad-files.txt" "$OUT/stop.txt"
# Files of a gigabyte a minute: in memory when a tmpfs can be had, on the disk otherwise.
umount "$VIDEOS" 2>/dev/null
mount -t tmpfs -o size=4g tmpfs "$VIDEOS" 2>/dev/null || echo "longrun: no tmpfs; the videos go to the disk"

winpath() { echo "Z:${1//\//\\}"; }
wine_quiet() { local limit=$1; shift; TL_WINE_TIMEOUT=$limit "$ROOT/scripts/wine-exec.sh" "$@" </dev/null >/dev/null 2>&1; }
driver() { TL_WINE_TIMEOUT=120 "$ROOT/scripts/wine-exec.sh" "$DRIVER" "$@" </dev/null 2>/dev/null | tr -d '\r'; return "${PIPESTATUS[0]}"; }
# This build's program in this prefix (its own status, not the last copy's: pipefail is on).
app_pid() { local pid; pid=$(prefix_pids "^$EXE\$" | tail -1); [ -n "$pid" ] && echo "$pid"; }
linux_stats() {
  local pid=$1 private
  private=$(awk '/^Private_(Clean|Dirty):/ { s += $2 } END { print s }' "/proc/$pid/smaps_rollup")
  echo "fds=$(ls "/proc/$pid/fd" | wc -l) threads=$(ls "/proc/$pid/task" | wc -l)" \
       "private_kb=$private rss_kb=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")"
}

checked=0; unplayable=0; frames_total=0
# Every file but the one being written (with "all": every file): read with ffprobe, counted,
# deleted. One listing, newest first, names the file being written: a second look at the folder
# could see the next file of a split that came in between and take the one still being written
# for finished. A file that grows while it is read was being written after all: that the program
# writes two files at once is a fault of its own, told apart.
check_finished_files() {
  local file probe size files=()
  mapfile -t files < <(ls -t "$VIDEOS"/*.avi 2>/dev/null)
  [ "${1:-}" = all ] || files=("${files[@]:1}")
  for file in "${files[@]}"; do
    [ -f "$file" ] || continue
    size=$(stat -c %s "$file")
    probe=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries \
            stream=codec_name,width,height,nb_frames,nb_read_packets -of csv=p=0 "$file" 2>&1)
    if [ "$(stat -c %s "$file")" != "$size" ]; then
      unplayable=$((unplayable + 1))
      echo "longrun: $(basename "$file"): still being written while a newer file exists" | tee -a "$OUT/bad-files.txt"
    elif [[ "$probe" =~ ^rawvideo,1920,1080,([0-9]+),([0-9]+)$ ]] && [ "${BASH_REMATCH[2]}" -gt 0 ] &&
       [ "${BASH_REMATCH[1]}" = "${BASH_REMATCH[2]}" ]; then
      frames_total=$((frames_total + BASH_REMATCH[2]))
    else
      unplayable=$((unplayable + 1)); echo "longrun: $(basename "$file"): $probe" | tee -a "$OUT/bad-files.txt"
      cp "$file" "$OUT/" 2>/dev/null
    fi
    checked=$((checked + 1))
    rm -f "$file" "${file%.avi}.jpg"
  done
}

for tool in "$EXE" "$TOOL" "$DRIVER" "$OVERLAY"; do
  [ -f "$tool" ] || { echo "longrun: $tool is missing (make win)"; exit 1; }
done
wine_quiet 120 "$TOOL" unplug --all
wine_quiet 120 "$TOOL" plug "$CAMERA" --formats MJPG:1920x1080 --fps 30
wine_quiet 60 reg add "$KEY" /v ImgDir /t REG_SZ /d "$(winpath "$VIDEOS")" /f
wine_quiet 60 reg add "$KEY" /v MaxRecordTime /t REG_DWORD /d 0 /f

# Straight on the 1600x900 display, maximised, so that the drivers find its windows.
TESSALOOM_SPLIT_BYTES=$((SPLIT_MB * 1048576)) TL_WINE_TIMEOUT=$((MINUTES * 60 + 600)) \
  "$ROOT/scripts/wine-exec.sh" "$EXE" </dev/null >"$OUT/app.log" 2>&1 &
runner=$!
for _ in $(seq 1 300); do app_pid >/dev/null && break; sleep 0.2; done
driver streaming "$CAMERA" 60 >/dev/null
sleep 2
wine_quiet 60 "$OVERLAY" overlay
driver record-start | tee "$OUT/start.txt"
pid=$(app_pid)
: >"$OUT/samples.txt"
start=$(date +%s)
for minute in $(seq 0 "$MINUTES"); do
  while [ $(( $(date +%s) - start )) -lt $((minute * 60)) ]; do check_finished_files; sleep 5; done
  [ -d "/proc/$pid" ] || { echo "longrun: the program ended by itself after $minute minutes" | tee -a "$OUT/samples.txt"; break; }
  line="minute=$minute $(driver stats | sed 's/^stats //') $(linux_stats "$pid")"
  line="$line $(driver probe 3 | sed 's/^probe //') files_checked=$checked unplayable=$unplayable"
  echo "$line" | tee -a "$OUT/samples.txt"
  [ "$minute" = $((MINUTES / 2)) ] && import -window root "$OUT/halfway.png" >/dev/null 2>&1
done
driver record-stop | tee "$OUT/stop.txt"
sleep 2
check_finished_files all
driver close >/dev/null
for _ in $(seq 1 150); do app_pid >/dev/null || break; sleep 0.2; done
wait "$runner" 2>/dev/null
umount "$VIDEOS" 2>/dev/null

awk -v checked="$checked" -v bad="$unplayable" -v frames="$frames_total" '
  function get(name,   i, kv) { for (i = 1; i <= NF; i++) { split($i, kv, "="); if (kv[1] == name) return kv[2] } return "" }
  { n++; m[n] = get("minute"); h[n] = get("win_handles"); t[n] = get("threads"); f[n] = get("fds")
    p[n] = get("private_kb"); r[n] = get("rss_kb"); w[n] = get("worst_ms"); if (w[n] + 0 > worst) worst = w[n] }
  END {
    if (n < 3) { print "longrun: too few samples"; exit 1 }
    # From the second sample on: the first minute still warms up.
    printf "samples %d (minutes %s..%s)\n", n, m[1], m[n]
    printf "handles %s -> %s, threads %s -> %s, fds %s -> %s\n", h[2], h[n], t[2], t[n], f[2], f[n]
    printf "private memory %d -> %d kB, rss %d -> %d kB\n", p[2], p[n], r[2], r[n]
    printf "slowest answer of the main window %d ms\n", worst
    printf "files checked %d, unplayable %d, frames in them %d\n", checked, bad, frames
    grew = (h[n] > h[2] + 20) || (t[n] > t[2] + 2) || (f[n] > f[2] + 8) || (p[n] > p[2] + 32768)
    ok = !grew && bad == 0 && checked > 0 && worst < 1000
    print ok ? "longrun: flat, every file playable" : "longrun: FAILED"
    exit !ok
  }' "$OUT/samples.txt" | tee "$OUT/summary.txt"
exit "${PIPESTATUS[0]}"

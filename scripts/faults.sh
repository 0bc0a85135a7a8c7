#!/usr/bin/env bash
# Faults a lab bench brings, inflicted on the real program under Wine with the simulated
# microscope: broken stored settings; the camera unplugged while recording and plugged back;
# the disk filling up while recording and before a photo or a time-lapse; the image folder
# read-only or gone; a camera that stops sending and one that sends damaged samples, while the
# main window must keep answering within a second; and 100 unplug/replug cycles of the open
# camera with the process's handles, threads and memory sampled every 10 cycles.
#
# The full disk is a small tmpfs mapped as Wine drive T:. When mounting is refused, the run
# goes again inside a private mount namespace; when that is refused too, the full-disk and
# read-only checks cannot be made and are left out, loudly. (A file-size limit is no stand-in:
# it cuts a frame in half while the disk still reports free space, which no real disk does.)
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export TL_BUILD="${TL_BUILD:-$ROOT/build}"
WORK="$TL_BUILD/faults"
DISK="$WORK/disk"
DISK_MB=256
CYCLES="${FAULT_CYCLES:-100}"

mounted_tmpfs() { mount -t tmpfs -o "size=${DISK_MB}m" tmpfs "$DISK" 2>/dev/null; }

if [ "${1:-}" != --inside ]; then
  mkdir -p "$DISK"
  umount "$DISK" 2>/dev/null
  # FAULTS_DISK=none takes the fallback where mounting would work, to try it.
  if [ "${FAULTS_DISK:-}" != none ] && mounted_tmpfs; then
    export TL_FAULT_DISK=tmpfs
  elif [ "${FAULTS_DISK:-}" != none ] && [ "${1:-}" != --unshared ] &&
       unshare --mount true 2>/dev/null; then
    echo "faults: mount refused here; trying again in a private mount namespace"
    exec unshare --mount -- "$0" --unshared
  else
    echo "faults: *** NO TMPFS: mounting is refused here; the full disk and the read-only" \
         "folder are NOT tested in this run ***"
    export TL_FAULT_DISK=none
  fi
  "$ROOT/scripts/with-display.sh" "$0" --inside
  status=$?
  [ "$TL_FAULT_DISK" = tmpfs ] && umount "$DISK" 2>/dev/null
  exit $status
fi

source "$ROOT/scripts/wine-env.sh"
EXE="$TL_BUILD/win/app/tessaloom.exe"
TOOL="$TL_BUILD/win/simcam/simcam.exe"
DRIVER="$TL_BUILD/win/tests/faults/fault_driver.exe"
CAMERA=Faulty
KEY='HKCU\Software\Tessaloom'
DRIVE="$WINEPREFIX/dosdevices/t:"
PHOTOS="$DISK/Photos"
passed=0; failed=0
check() { if "$@"; then passed=$((passed+1)); else failed=$((failed+1)); echo "faults FAILED: $*"; fi; }
winpath() { echo "Z:${1//\//\\}"; }
wine_quiet() { local limit=$1; shift; TL_WINE_TIMEOUT=$limit "$ROOT/scripts/wine-exec.sh" "$@" </dev/null >/dev/null 2>&1; }
# The program runs in a Wine desktop, as on a Windows screen: without one, every window the
# program hides makes Wine wait up to two seconds for an X window manager that is not there.
DESKTOP="/desktop=Tessaloom,1600x900"
# The driver runs in that desktop, where its output and exit code come back through a report
# file; its report goes to stdout and its exit code is the result.
driver() {
  local report="$WORK/driver-$BASHPID.txt" limit=$((${DRIVER_LIMIT:-90} * 10)) code
  rm -f "$report"
  wine_quiet 60 explorer "$DESKTOP" "$DRIVER" --report "$(winpath "$report")" "$@"
  for _ in $(seq 1 $limit); do [ -f "$report" ] && break; sleep 0.1; done
  [ -f "$report" ] || { echo "faults: the driver did not end: $*"; return 4; }
  code=$(tr -d '\r' <"$report" | sed -n 's/^exit=//p')
  tr -d '\r' <"$report" | grep -v '^exit='
  rm -f "$report"
  return "${code:-4}"
}
# Plugging and unplugging notify the windows of the desktop the tool runs in: the program's.
# The tool's output does not come back from there, so the camera list tells when it is done.
camera_listed() { TL_WINE_TIMEOUT=60 "$ROOT/scripts/wine-exec.sh" "$TOOL" list </dev/null 2>/dev/null | grep -q "^$CAMERA	plugged"; }
unplug_camera() {
  wine_quiet 60 explorer "$DESKTOP" "$TOOL" unplug "$CAMERA"
  for _ in $(seq 1 50); do camera_listed || return 0; sleep 0.2; done
  return 1
}
plug_camera() {
  wine_quiet 60 explorer "$DESKTOP" "$TOOL" plug "$CAMERA" $CAMERA_ARGS
  for _ in $(seq 1 50); do camera_listed && return 0; sleep 0.2; done
  return 1
}
# Where every thread of a program that stopped answering waits, for whoever reads the log.
dump_backtraces() {
  local debugger wpid out="$WORK/backtraces.txt"
  debugger() { WINEDLLOVERRIDES="mscoree=;mshtml=" TL_WINE_TIMEOUT=60 "$ROOT/scripts/wine-exec.sh" winedbg 2>&1; }
  wpid=$(printf 'info proc\nquit\n' | debugger | awk '/tessaloom\.exe/ { print $1; exit }')
  [ -n "$wpid" ] || return 0
  printf 'attach 0x%s\nbt all\ndetach\nquit\n' "$wpid" | debugger |
    awk '/^Backtracing for thread/ { keep = /tessaloom\.exe/ } keep' >"$out"
  echo "faults: the program's threads:"; cut -c1-160 "$out"
}
# This build's program in this prefix (its own status, not the last copy's: pipefail is on).
app_pid() { local pid; pid=$(prefix_pids "^$EXE\$" | tail -1); [ -n "$pid" ] && echo "$pid"; }
field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" <<<"$2"; }

# --- the program -------------------------------------------------------------------------

app_log="$WORK/app.log"
start_app() {
  (
    TL_WINE_TIMEOUT=900 exec "$ROOT/scripts/wine-exec.sh" explorer "$DESKTOP" "$EXE"
  ) </dev/null >>"$app_log" 2>&1 &
  app_runner=$!
  # The desktop must be made by the program's start before the driver joins it.
  for _ in $(seq 1 300); do xdotool search --name '^Tessaloom$' >/dev/null 2>&1 && break; sleep 0.1; done
  driver streaming "$CAMERA" 40 >/dev/null || { echo "faults: the program did not open the camera"; return 1; }
}
stop_app() {
  driver close >/dev/null
  for _ in $(seq 1 150); do app_pid >/dev/null || break; sleep 0.2; done
  if app_pid >/dev/null; then
    echo "faults: the program did not end when asked"; dump_backtraces; kill "$(app_pid)"
    kill "$app_runner" 2>/dev/null; wait "$app_runner" 2>/dev/null
    return 1
  fi
  kill "$app_runner" 2>/dev/null; wait "$app_runner" 2>/dev/null
  return 0
}

# --- checks on files ---------------------------------------------------------------------

# A video that ffprobe reads to the end: rawvideo frames, at least $2 of them.
playable_video() {
  local file=$1 least=${2:-1} probe
  [ -f "$file" ] || { echo "faults: no video $file"; return 1; }
  probe=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries \
          stream=codec_name,width,height,nb_read_frames -of csv=p=0 "$file" 2>&1)
  echo "faults: $(basename "$file") $(stat -c %s "$file") bytes: $probe"
  [[ "$probe" =~ ^rawvideo,640,480,([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -ge "$least" ]
}
newest_video() { ls -t "$PHOTOS"/*.avi 2>/dev/null | head -1; }
prompt_says() {  # prompt_says "REPORT" PATTERN
  grep -q -- "$2" <<<"$1" || { echo "faults: the prompt said '$(sed -n 's/^prompt: //p' <<<"$1")'"; return 1; }
}

# --- broken settings ---------------------------------------------------------------------

# Every value of the wrong type, too long or absurd; the program must start on sound values
# and write them back when it opens the camera.
write_broken_settings() {
  local reg="$WORK/broken.reg" long files="" cal="" i
  long=$(printf 'C:\\\\%0296d' 0)
  for i in $(seq 1 1000); do files+="C:\\\\gone\\\\$i.jpg;"; done
  for i in $(seq 1 400); do cal+="calibration$i,0,100,1065353216,31457920,20240101;"; done
  {
    printf 'REGEDIT4\n\n[-HKEY_CURRENT_USER\\Software\\Tessaloom]\n\n'
    printf '[HKEY_CURRENT_USER\\Software\\Tessaloom]\n'
    printf '"Language"="2"\n"mjpg"=hex:01,00\n"width"=dword:ffffffff\n"height"=dword:7fffffff\n'
    printf '"interpolated"=dword:00000009\n"ImgDir"="%s"\n' "$long"
    printf '"GridColor"=dword:12345678\n"LineColor"="red"\n"LineWidth"=dword:00000063\n'
    printf '"TextColor"=hex:ff,00,00,00,00\n"TextSize"=dword:80000000\n"jpgPng"=dword:00000007\n'
    printf '"MaxRecordTime"=dword:ffffffff\n"Calibrations"="%s"\n"LatestFiles"="%s"\n' "$cal" "$files"
  } >"$reg"
  wine_quiet 60 regedit /s "$(winpath "$reg")"
}
stored_settings() {
  local out="$WORK/stored.reg"
  rm -f "$out"
  wine_quiet 60 regedit /e "$(winpath "$out")" 'HKEY_CURRENT_USER\Software\Tessaloom'
  iconv -f UTF-16LE -t UTF-8 "$out" 2>/dev/null | tr -d '\r\357\273\277'
}
settings_rewritten_soundly() {
  local stored ok=0 files cal
  stored=$(stored_settings)
  value() { sed -n "s/^\"$1\"=//p" <<<"$stored"; }
  want() { [ "$(value "$1")" = "$2" ] || { echo "faults: $1 is $(value "$1"), not $2"; ok=1; }; }
  want Language 'dword:00000000'
  want GridColor 'dword:0000ff00'
  want LineColor 'dword:0000ff00'
  want TextColor 'dword:0000ff00'
  want LineWidth 'dword:00000001'
  want TextSize 'dword:0000000a'
  want jpgPng 'dword:00000000'
  want MaxRecordTime 'dword:00000000'
  want mjpg 'dword:00000001'
  want width 'dword:00000280'
  want height 'dword:000001e0'
  # The camera offers 640x480 only; its default is that stream shown at 1920x1080.
  want interpolated 'dword:00000001'
  [[ "$(value ImgDir)" == *'Tessaloom Files"' ]] || { echo "faults: ImgDir is $(value ImgDir)"; ok=1; }
  files=$(value LatestFiles | tr -cd ';' | wc -c)
  [ "$files" -le 10 ] || { echo "faults: LatestFiles keeps $files entries"; ok=1; }
  cal=$(value Calibrations | tr -cd ';' | wc -c)
  [ "$cal" = 10 ] || { echo "faults: Calibrations keeps $cal entries"; ok=1; }
  [ "$(value Calibrations | wc -c)" -le 520 ] || { echo "faults: Calibrations is too long"; ok=1; }
  return $ok
}

# --- recording and photos ----------------------------------------------------------------

# The open camera pulled out mid-recording: the dialog ends by itself, the file is whole, the
# view shows its no-camera picture, and the camera plugged back is opened again.
unplug_while_recording() {
  local report video picture
  report=$(driver record-start) || { echo "faults: no recording started: $report"; return 1; }
  sleep 1.5
  unplug_camera
  report=$(driver record-ended 20) || { echo "faults: the record dialog stayed open"; return 1; }
  video=$(newest_video)
  playable_video "$video" 5 || return 1
  prompt_says "$report" "File saved: .*$(basename "$video")" || return 1
  if grep -q dropped <<<"$report"; then echo "faults: frames were dropped: $report"; return 1; fi
  picture=$(driver picture)
  [[ "$picture" == *corner=13,15,20* ]] || { echo "faults: no placeholder: $picture"; return 1; }
  rm -f "$video" "${video%.avi}.jpg"
  plug_camera
  driver streaming "$CAMERA" 20 >/dev/null || { echo "faults: the camera was not reopened"; return 1; }
  sleep 1
  picture=$(driver picture)
  [ "$(field spread "$picture")" -gt 40 ] || { echo "faults: no live picture after replug: $picture"; return 1; }
}

# Recording until the disk is full: the recording ends by itself with the reason in the
# prompt, and the file holds what was written.
disk_full_while_recording() {
  local report video
  report=$(driver record-start) || { echo "faults: no recording started: $report"; return 1; }
  report=$(driver record-ended 60) || { echo "faults: the recording went on with the disk full"; driver record-stop >/dev/null; return 1; }
  prompt_says "$report" "disk is full" || return 1
  video=$(newest_video)
  playable_video "$video" 1 || return 1
  echo "$video" >"$WORK/full-disk-video"
}

fill_disk() { dd if=/dev/zero of="$DISK/filler" bs=1M status=none 2>/dev/null; sync; }
# A photo on a full disk: a clear message, no photo half written, earlier files unharmed.
photo_on_full_disk() {
  local report before
  before=$(ls "$PHOTOS" | wc -l)
  [ "$TL_FAULT_DISK" = tmpfs ] && fill_disk
  report=$(driver photo)
  rm -f "$DISK/filler"
  prompt_says "$report" "Could not save" || return 1
  [ "$(ls "$PHOTOS" | wc -l)" = "$before" ] || { echo "faults: a broken photo was left: $(ls -t "$PHOTOS" | head -1)"; return 1; }
  playable_video "$(cat "$WORK/full-disk-video")" 1
}

# A time-lapse asked for on a full disk: refused with a message, no run folder made.
time_lapse_on_full_disk() {
  local report before
  before=$(ls "$PHOTOS" | wc -l)
  fill_disk
  report=$(driver time-lapse)
  rm -f "$DISK/filler"
  prompt_says "$report" "Not enough disk room for the time-lapse" || return 1
  [ "$(ls "$PHOTOS" | wc -l)" = "$before" ] || { echo "faults: a time-lapse folder was made: $(ls -t "$PHOTOS" | head -1)"; return 1; }
}

# The image folder gone: a photo says so; a recording makes the folder again.
folder_vanished() {
  local report
  rm -rf "$PHOTOS"
  report=$(driver photo)
  prompt_says "$report" "Could not save" || return 1
  report=$(driver record-start) || { echo "faults: no recording into a vanished folder: $report"; return 1; }
  sleep 1
  driver record-stop >/dev/null
  playable_video "$(newest_video)" 1
}

# The image folder on a read-only file system: photo and recording both say they failed.
folder_read_only() {
  local report status
  mount -o remount,ro "$DISK" || { echo "faults: the disk cannot be made read-only"; return 1; }
  report=$(driver photo)
  prompt_says "$report" "Could not save" || { mount -o remount,rw "$DISK"; return 1; }
  report=$(driver record-start); status=$?
  mount -o remount,rw "$DISK"
  [ $status = 3 ] || { echo "faults: a recording started on a read-only disk"; driver record-stop >/dev/null; return 1; }
  prompt_says "$report" "Could not save"
}

# --- a camera that stalls or sends damage ------------------------------------------------

probe_while() {  # probe_while SECONDS FUNCTION: the main window must answer throughout
  local seconds=$1 report status
  driver probe "$seconds" >"$WORK/probe.txt" &
  local prober=$!
  "$2"; status=$?
  wait $prober; local answered=$?
  report=$(cat "$WORK/probe.txt")
  echo "faults: $2: $report"
  [ $answered = 0 ] && [ $status = 0 ]
}
stalled_camera_keeps_last_picture() {
  local first second
  wine_quiet 60 "$TOOL" set "$CAMERA" mode=stalled
  sleep 3
  first=$(driver picture); sleep 2; second=$(driver picture)
  wine_quiet 60 "$TOOL" set "$CAMERA" mode=live
  echo "faults: stalled: $first / $second"
  [ "$(field checksum "$first")" = "$(field checksum "$second")" ] && [ "$(field spread "$first")" -gt 40 ]
}
bad_samples_keep_a_picture() {
  local first second
  wine_quiet 60 "$TOOL" set "$CAMERA" mode=bad
  sleep 1.5
  first=$(driver picture); sleep 1.5; second=$(driver picture)
  wine_quiet 60 "$TOOL" set "$CAMERA" mode=live
  echo "faults: bad samples: $first / $second"
  [ "$(field spread "$first")" -gt 40 ] && [ "$(field spread "$second")" -gt 40 ] &&
    [ "$(field checksum "$first")" != "$(field checksum "$second")" ]
}
responsive_with_stalled_camera() { probe_while 9 stalled_camera_keeps_last_picture; }
responsive_with_bad_samples() { probe_while 6 bad_samples_keep_a_picture; }
live_again() { local p; sleep 1; p=$(driver picture); sleep 0.5; [ "$(field checksum "$p")" != "$(field checksum "$(driver picture)")" ]; }

# --- plug cycles -------------------------------------------------------------------------

# Linux figures of the program's process beside the driver's Windows ones.
linux_stats() {
  local pid=$1 private
  private=$(awk '/^Private_(Clean|Dirty):/ { s += $2 } END { print s }' "/proc/$pid/smaps_rollup")
  echo "fds=$(ls "/proc/$pid/fd" | wc -l) threads=$(ls "/proc/$pid/task" | wc -l)" \
       "private_kb=$private rss_kb=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")"
}
# Bounds against the sample after 10 cycles: +2 threads (Windows and Linux), +8 fds, +16 MB
# private memory, +10 handles of every kind but two, which Wine itself leaks: its device
# enumerator keeps two registry keys per enumeration of a camera and its filter graph one event
# per graph (seen with a bare graph outside the program), so registry keys may grow by 2 and
# events by 1 per cycle. A thread, file, semaphore or frame buffer leaked per cycle exceeds
# these.
plug_cycles_leave_no_growth() {
  local pid line table="$WORK/cycles.txt" status
  pid=$(app_pid) || { echo "faults: no program of this prefix among: $(pgrep -af tessaloom.exe)"; return 1; }
  : >"$table"
  # Ten at a time: the camera is open again when the driver returns, and the Linux figures
  # are taken then.
  for upto in $(seq 10 10 "$CYCLES"); do
    line=$(DRIVER_LIMIT=300 driver cycle "$CAMERA" 10 10 "$(winpath "$TL_BUILD/win/simcam/simcam.dll")")
    status=$?
    line="${line/cycle=10/cycle=$upto} $(linux_stats "$pid")"
    echo "$line" | tee -a "$table"
    [ "$status" = 0 ] || { echo "faults: plug cycles ended early ($status)"; dump_backtraces; return 1; }
  done
  awk -v cycles="$CYCLES" '
    function get(name,   i, kv) { for (i = 1; i <= NF; i++) { split($i, kv, "="); if (kv[1] == name) return kv[2] + 0 } return 0 }
    /^sample/ {
      n++; c = get("cycle")
      k = get("handles_Key"); e = get("handles_Event"); o = get("win_handles") - k - e
      wt = get("win_threads"); t = get("threads"); f = get("fds"); p = get("private_kb")
      if (n == 1) { c0 = c; k0 = k; e0 = e; o0 = o; wt0 = wt; t0 = t; f0 = f; p0 = p; next }
      d = c - c0
      if (o > o0 + 10 || k > k0 + 2 * d + 10 || e > e0 + d + 10 || wt > wt0 + 2 || t > t0 + 2 ||
          f > f0 + 8 || p > p0 + 16384) {
        printf "faults: growth by cycle %d: other handles %d->%d keys %d->%d events %d->%d " \
               "threads %d->%d fds %d->%d private %d->%d kB\n", c, o0, o, k0, k, e0, e, t0, t, f0, f, p0, p
        bad = 1 }
    }
    END { if (n * 10 < cycles) { print "faults: only " n " samples"; bad = 1 } exit bad }' "$table"
}

# --- the run -----------------------------------------------------------------------------

for tool in "$EXE" "$TOOL" "$DRIVER"; do
  [ -f "$tool" ] || { echo "faults: $tool is missing (make win)"; exit 1; }
done
command -v ffprobe >/dev/null || { echo "faults: ffprobe is missing"; exit 1; }
: >"$app_log"
CAMERA_ARGS="--formats MJPG:640x480 --fps 30"
wine_quiet 120 "$TOOL" unplug --all
wine_quiet 120 "$TOOL" plug "$CAMERA" $CAMERA_ARGS

echo "faults: broken settings"
write_broken_settings
check start_app
check driver probe 2
check stop_app
check settings_rewritten_soundly

echo "faults: image folder on drive T: ($TL_FAULT_DISK)"
rm -f "$DRIVE"; ln -s "$DISK" "$DRIVE"
mkdir -p "$PHOTOS"; rm -rf "${PHOTOS:?}"/*
wine_quiet 60 reg add "$KEY" /v ImgDir /t REG_SZ /d 'T:\Photos' /f
check start_app
check unplug_while_recording
if [ "$TL_FAULT_DISK" = tmpfs ]; then
  check disk_full_while_recording
  check photo_on_full_disk
  check time_lapse_on_full_disk
fi
rm -f "$PHOTOS"/*.avi "$PHOTOS"/*.jpg
check folder_vanished
if [ "$TL_FAULT_DISK" = tmpfs ]; then check folder_read_only; fi
check responsive_with_stalled_camera
check responsive_with_bad_samples
check live_again
echo "faults: $CYCLES plug cycles"
check plug_cycles_leave_no_growth
check driver probe 1
check stop_app

rm -f "$DRIVE"
wine_quiet 60 reg delete "$KEY" /v ImgDir /f
wine_quiet 120 "$TOOL" unplug "$CAMERA"
[ "$TL_FAULT_DISK" = tmpfs ] || echo "faults: *** the full disk and the read-only folder were NOT tested (no tmpfs) ***"
echo "faults: $passed passed, $failed failed"
[ $failed = 0 ]

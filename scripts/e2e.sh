#!/usr/bin/env bash
# End to end: the real tessaloom.exe in a Wine virtual desktop on the current display.
# Checks that its window appears, that Space saves a photo and the record dialog a video
# (read back with ImageMagick and ffprobe), and that it closes on request; saves screenshots
# for a person to look at.
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ROOT/scripts/wine-env.sh"
EXE="$TL_BUILD/win/app/tessaloom.exe"
SHOTS="$TL_BUILD/screenshots"
mkdir -p "$SHOTS"
passed=0; failed=0
check() { if "$@"; then passed=$((passed+1)); else failed=$((failed+1)); echo "e2e FAILED: $*"; fi; }
wait_window() {
  for _ in $(seq 1 300); do
    xdotool search --name "^Tessaloom$" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}
# Processes whose program (first word) is tessaloom.exe; Wine shows it by its Unix path.
copies_running() { prefix_pids '^[^ ]*app[/\\]tessaloom\.exe' | wc -l; }
app_running() { [ -n "$(prefix_pids '^[^ ]*app[/\\]tessaloom\.exe')" ]; }
# A second copy finds the first one's mutex, ends with 0 and leaves one copy running.
second_copy_ends_with_zero() {
  [ "$(copies_running)" = 1 ] || return 1
  TL_WINE_TIMEOUT=90 "$ROOT/scripts/wine-exec.sh" "$EXE" >/dev/null 2>&1 || return 1
  [ "$(copies_running)" = 1 ]
}
# Alt+F4 as a user would; Wine's taskkill does not reach windows in a virtual desktop.
close_app() {
  local wid
  wid=$(xdotool search --name "^Tessaloom$" 2>/dev/null | head -1)
  [ -n "$wid" ] || return 0
  xdotool windowactivate --sync "$wid" >/dev/null 2>&1
  xdotool key --window "$wid" alt+F4 >/dev/null 2>&1
}
closes_on_request() {
  close_app
  for _ in $(seq 1 100); do app_running || return 0; sleep 0.1; done
  return 1
}

# The live picture: the simulated microscope's scene is anything but uniform.
shows_live_picture() {
  local shot="$SHOTS/e2e-live.png" spread
  for _ in $(seq 1 20); do
    sleep 0.5
    import -window root "$shot" >/dev/null 2>&1 || continue
    spread=$(convert "$shot" -crop 240x160+680+370 +repage -colorspace Gray \
             -format '%[fx:standard_deviation*1000]' info: 2>/dev/null)
    [ "${spread%.*}" -gt 40 ] 2>/dev/null && return 0
  done
  echo "e2e: picture spread ${spread:-none}"
  return 1
}

# The image folder the program saves to, as Linux sees it.
image_folder() {
  local dir
  dir=$(timeout 60 "$WINE" reg query 'HKCU\Software\Tessaloom' /v ImgDir 2>/dev/null |
        tr -d '\r' | sed -n 's/^ *ImgDir *REG_SZ *//p')
  [ -n "$dir" ] && timeout 60 "$WINE" winepath -u "$dir" 2>/dev/null | tr -d '\r'
}
newest_file() { ls -t "$1"/*."$2" 2>/dev/null | head -1; }
# Waits until a file newer than the marker has this extension and has stopped growing.
wait_new_file() {
  local folder=$1 ext=$2 marker=$3 file size last=-1
  for _ in $(seq 1 100); do
    file=$(find "$folder" -maxdepth 1 -name "*.$ext" -newer "$marker" 2>/dev/null | sort | tail -1)
    if [ -n "$file" ]; then
      size=$(stat -c %s "$file")
      [ "$size" = "$last" ] && [ "$size" -gt 0 ] && { echo "$file"; return 0; }
      last=$size
    fi
    sleep 0.2
  done
  return 1
}
# Space in the camera view (clicked first, for the keyboard focus) saves a photo.
photo_with_space() {
  local folder marker photo
  folder=$(image_folder) || return 1
  marker=$(mktemp); sleep 0.01
  xdotool mousemove 700 450 click 1 sleep 0.3 key space
  photo=$(wait_new_file "$folder" jpg "$marker"); rm -f "$marker"
  [ -n "$photo" ] || { echo "e2e: no photo in $folder"; return 1; }
  identify -format '%m\n' "$photo" | grep -qx JPEG
  local ok=$?
  rm -f "$photo"
  return $ok
}
# The camera toolbar's video button opens the record dialog; Enter starts, Escape stops.
video_from_record_dialog() {
  local folder marker video probe
  folder=$(image_folder) || return 1
  marker=$(mktemp); sleep 0.01
  xdotool mousemove 30 219 click 1 sleep 1.5 key Return sleep 3
  import -window root "$SHOTS/e2e-recording.png" >/dev/null 2>&1
  xdotool key Escape
  video=$(wait_new_file "$folder" avi "$marker"); rm -f "$marker"
  [ -n "$video" ] || { echo "e2e: no video in $folder"; return 1; }
  probe=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries \
          stream=codec_name,pix_fmt,width,height,nb_read_frames -of csv=p=0 "$video")
  echo "e2e: $(basename "$video"): $probe"
  # At the size the camera was opened with: earlier tests in the same prefix may have left
  # another format in the settings than the camera's default.
  [[ "$probe" =~ ^rawvideo,[0-9]+,[0-9]+,bgr24,([0-9]+)$ ]] && [ "${BASH_REMATCH[1]}" -ge 20 ] &&
    identify -format '%m\n' "${video%.avi}.jpg" | grep -qx JPEG
  local ok=$?
  rm -f "$video" "${video%.avi}.jpg"  # a gigabyte a run otherwise
  return $ok
}

ensure_demo_camera
TL_WINE_TIMEOUT=180 "$ROOT/scripts/wine-exec.sh" explorer /desktop=Tessaloom,1600x900 "$EXE" &
desk=$!
check wait_window
check shows_live_picture
check second_copy_ends_with_zero
check photo_with_space
check video_from_record_dialog
import -window root "$SHOTS/e2e-start.png" >/dev/null 2>&1
check closes_on_request
kill $desk >/dev/null 2>&1; wait $desk 2>/dev/null
echo "e2e: $passed passed, $failed failed"
[ $failed = 0 ]

#!/usr/bin/env bash
# User journeys: the real tessaloom.exe under Wine with the simulated microscope, used as a person does — the real mouse and keyboard through xdotool, clicking
# controls where the program drew them (window_probe reports where its windows are) and
# typing into its dialogs. Each step checks files, the registry and the windows, and saves
# build/screenshots/journey-<step>.png. Runs under with-display.sh.
#   journeys.sh                 every journey
#   journeys.sh --screenshot F  only what the README's picture needs: a calibrated live
#                               measurement, saved as F (the main window, reduced)
set -uo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/wine-env.sh"
EXE="$TL_BUILD/win/app/tessaloom.exe"
PROBE="$TL_BUILD/win/tests/e2e/window_probe.exe"
SIMCAM="$TL_BUILD/win/simcam/simcam.exe"
SHOTS="$TL_BUILD/screenshots"
WORK="$TL_BUILD/journeys"
# No Wine virtual desktop here: in one, a click on the main window raises it above the
# calibration dialog that it owns, which then cannot be reached.
KEY='HKCU\Software\Tessaloom'
CAMERA=JourneyScope
mkdir -p "$SHOTS" "$WORK"
README_SHOT=""
[ "${1:-}" = --screenshot ] && README_SHOT="${2:?journeys.sh --screenshot FILE}"

passed=0; failed=0
check() { if "$@"; then passed=$((passed+1)); else failed=$((failed+1)); echo "journeys FAILED: $*"; fi; }
note() { echo "journeys: $*"; }
wait_for() { local i; for i in $(seq 1 "$1"); do "${@:2}" && return 0; sleep 0.25; done; return 1; }
w() { timeout 60 "$WINE" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
simcam() { w "$SIMCAM" "$@" >/dev/null; }
winpath() { echo "Z:${1//\//\\}"; }
shot() { import -window root "$SHOTS/journey-$1.png" >/dev/null 2>&1; }

# --- The program's windows, as the probe sees them --------------------------------------
WINDOWS="$WORK/windows.txt"
probe() {
  rm -f "$WINDOWS"
  TL_WINE_TIMEOUT=60 "$ROOT/scripts/wine-exec.sh" "$PROBE" \
    "$(winpath "$WINDOWS")" >/dev/null 2>&1 &
  local i
  for i in $(seq 1 120); do [ -s "$WINDOWS" ] && return 0; sleep 0.25; done
  note "the probe wrote nothing"; return 1
}
# Fields of the probe's line for a path: 1 path, 2 class, 3 visible, 4 window rect,
# 5 client rect, 6 extra, 7 text.
field() { awk -F'\t' -v p="$1" -v f="$2" '$1 == p { print $f; exit }' "$WINDOWS"; }
main_window() { awk -F'\t' '$2 == "TessaloomWndClass" && $3 == 1 { print $1; exit }' "$WINDOWS"; }
# The visible top-level window that has a child of this id and class (a dialog of ours).
dialog_with() {
  awk -F'\t' -v id="$1" -v cls="$2" '
    split($1, p, "/") == 1 && $3 == 1 { shown[$1] = 1 }
    { n = split($1, p, "/") }
    n == 2 && p[2] == id && $2 == cls && shown[p[1]] { print p[1]; exit }' "$WINDOWS"
}
dropped_list() { awk -F'\t' '$2 == "ComboLBox" && $3 == 1 && $1 !~ /\// { print $1; exit }' "$WINDOWS"; }
# Centre of a window, in X coordinates (Wine's screen coordinates are the X screen's).
centre_of() { field "$1" 4 | awk '{ printf "%d %d\n", $1 + $3 / 2, $2 + $4 / 2 }'; }
text_of() { field "$1" 7; }
# A value of the extra field; "items" is the last one and may hold spaces.
extra_of() {
  if [ "$2" = items ]; then field "$1" 6 | sed -n 's/.* items=//p'
  else field "$1" 6 | tr ' ' '\n' | sed -n "s/^$2=//p"; fi
}
click() { local xy; xy=$(centre_of "$1"); [ -n "$xy" ] || { note "no window $1"; return 1; }
          xdotool mousemove $xy sleep 0.1 click 1; }

# Chooses an entry of a drop-down list with the mouse: opens the list and clicks its row.
choose() {
  local combo=$1 wanted=$2 index list top row
  index=$(extra_of "$combo" items | tr '|' '\n' | grep -nxF -- "$wanted" | cut -d: -f1)
  [ -n "$index" ] || { note "no entry '$wanted' in $(extra_of "$combo" items)"; return 1; }
  click "$combo" || return 1
  wait_for 20 list_dropped || { note "the list did not drop"; return 1; }
  list=$(dropped_list)
  row=$(extra_of "$list" item)
  top=$(field "$list" 5 | awk '{ print $2 }')
  xdotool mousemove $(field "$list" 5 | awk -v r="$row" -v i="$index" -v t="$top" \
    '{ printf "%d %d", $1 + $3 / 2, t + (i - 1) * r + r / 2 }') sleep 0.1 click 1
}
list_dropped() { probe && [ -n "$(dropped_list)" ]; }

# --- Registry and files -----------------------------------------------------------------
setting() { w reg query "$KEY" /v "$1" | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
number_setting() { printf '%d' "$(setting "$1")" 2>/dev/null; }
image_folder() { w winepath -u "$(setting ImgDir)"; }
newer_file() { find "$1" -maxdepth 1 -name "*.$2" -newer "$3" 2>/dev/null | sort | tail -1; }
# A file newer than the marker that has stopped growing.
settled_file() {
  local file size last=-1 i
  for i in $(seq 1 "${4:-100}"); do
    file=$(newer_file "$1" "$2" "$3")
    if [ -n "$file" ]; then
      size=$(stat -c %s "$file"); [ "$size" = "$last" ] && [ "$size" -gt 0 ] && { echo "$file"; return 0; }
      last=$size
    fi
    sleep 0.25
  done
  return 1
}
latest_files_name() { setting LatestFiles | grep -qF "$(basename "$1")"; }
marker() { local m="$WORK/marker-$1"; touch "$m"; sleep 0.05; echo "$m"; }

# --- What the main window shows ---------------------------------------------------------
MAIN=""
VIEW=""; PANEL=""; DEVICE=""; FILES=""
find_main() {
  probe || return 1
  MAIN=$(main_window); [ -n "$MAIN" ] || return 1
  VIEW="$MAIN/108"; PANEL="$MAIN/109"; DEVICE="$PANEL/100"; FILES="$PANEL/103"
}
main_shown() { find_main; }
# Grey spread of a part of the last screenshot: the live scene is anything but uniform.
spread() {
  convert "$1" -crop "$2" +repage -colorspace Gray -format '%[fx:standard_deviation*1000]' info: \
    2>/dev/null | cut -d. -f1
}
# The picture of the camera view at the Preview section's ratio, centred in the view's
# client area (the journeys keep it smaller than the view, so no scroll bars).
picture_size() { echo "$(number_setting width) $(number_setting height)"; }
zoom_percent() { text_of "$PANEL/101/101" | tr -dc 0-9; }
picture_origin() {
  local w h z
  read -r w h <<<"$(picture_size)"; z=$(zoom_percent)
  field "$VIEW" 5 | awk -v w="$w" -v h="$h" -v z="${z:-100}" \
    '{ printf "%d %d\n", $1 + int(($3 - int(w * z / 100)) / 2), $2 + int(($4 - int(h * z / 100)) / 2) }'
}
# Screen point of a picture point, at 100 %.
at_picture() { echo "$((OX + $1)) $((OY + $2))"; }
live_picture() {
  local shot="$WORK/live.png" ox oy w h
  read -r w h <<<"$(picture_size)"; read -r ox oy <<<"$(picture_origin)"
  import -window root "$shot" >/dev/null 2>&1 || return 1
  [ "$(spread "$shot" "$((w / 2))x$((h / 2))+$((ox + w / 4))+$((oy + h / 4))")" -gt 40 ] 2>/dev/null
}
camera_open_at() {
  [ "$(number_setting width)" = "$1" ] && [ "$(number_setting height)" = "$2" ] || return 1
  find_main && [ "$(text_of "$DEVICE/104")" = "$1x$2" ] && live_picture
}
device_named() { find_main && [ "$(text_of "$DEVICE/102")" = "$1" ]; }
# No camera: the Device section offers no resolution.
no_device() { find_main && [ "$(extra_of "$DEVICE/104" count)" = 0 ]; }
files_listed() { find_main && [ "$(extra_of "$FILES/101" count)" -ge "$1" ] 2>/dev/null; }
# A new file is listed without taking the selection; the user picks it: the list's last row.
select_newest_file() { click "$FILES/101" && xdotool sleep 0.2 key End sleep 0.5; }
# The newest file is the selected row and its picture fills the preview.
newest_selected_and_previewed() {
  local count sel
  find_main || return 1
  count=$(extra_of "$FILES/101" count); sel=$(extra_of "$FILES/101" sel)
  [ "$sel" = $((count - 1)) ] || { note "files: $count rows, row $sel selected"; return 1; }
  import -window root "$WORK/files.png" >/dev/null 2>&1
  local x y cw ch
  read -r x y cw ch <<<"$(field "$FILES/102" 5)"
  [ "$(spread "$WORK/files.png" "$((cw / 2))x$((ch / 2))+$((x + cw / 4))+$((y + ch / 4))")" -gt 40 ] 2>/dev/null
}
# The video's cover in the preview carries the play triangle, drawn in a saturated blue.
play_triangle_shown() {
  local x y cw ch blue
  read -r x y cw ch <<<"$(field "$FILES/102" 5)"
  import -window root "$WORK/files.png" >/dev/null 2>&1
  blue=$(convert "$WORK/files.png" -crop "${cw}x${ch}+$x+$y" +repage -fx 'b > 0.7 && r < 0.3 && g < 0.3' \
         -format '%[fx:mean*w*h]' info: 2>/dev/null | cut -d. -f1)
  [ "${blue:-0}" -gt 100 ] || { note "preview: $blue blue pixels"; return 1; }
}

# Without a window manager the main window opens smaller than the screen; a person would
# enlarge it, so the whole panel shows.
fill_screen() {
  local wid width height
  read -r width height <<<"$(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')"
  for wid in $(xdotool search --name "^Tessaloom$" 2>/dev/null); do
    xdotool windowmove "$wid" 0 0 windowsize "$wid" "$width" "$height"
  done
  sleep 1
}

# --- Steps ------------------------------------------------------------------------------
# The camera opens by itself; the Device section switches it to 1280 x 720 and back.
step_camera_opens() {
  check wait_for 200 main_shown
  fill_screen
  check wait_for 120 device_named "USB Microscope"
  read -r START_W START_H <<<"$(picture_size)"
  check wait_for 60 camera_open_at "$START_W" "$START_H"
  shot 01-camera-opens
}
step_resolution() {
  find_main
  check choose "$DEVICE/104" 1280x720
  check wait_for 120 camera_open_at 1280 720
  shot 02-resolution-1280x720
  find_main
  check choose "$DEVICE/104" "${START_W}x${START_H}"
  check wait_for 120 camera_open_at "$START_W" "$START_H"
  shot 03-resolution-back
}
# The rest goes at 640 x 480: the picture fits the view at 100 % and videos stay small.
use_640x480() {
  find_main
  if [ "$(text_of "$DEVICE/104")" != 640x480 ]; then check choose "$DEVICE/104" 640x480; fi
  check wait_for 120 camera_open_at 640 480
  START_W=640; START_H=480
}

# A photo with Space in the view and one with the camera toolbar's button; each is a JPEG,
# named in the settings' latest files, listed, and shown in the preview once selected.
PHOTO_FOLDER=""
photo_taken() {
  local how=$1 m photo rows
  find_main; rows=$(extra_of "$FILES/101" count)
  m=$(marker "$how")
  if [ "$how" = space ]; then
    read -r ox oy <<<"$(picture_origin)"
    xdotool mousemove $((ox + 20)) $((oy + 20)) click 1 sleep 0.3 key space
  else
    click "$MAIN/107/3008"
  fi
  photo=$(settled_file "$PHOTO_FOLDER" jpg "$m") || { note "no photo from $how"; return 1; }
  check test "$(identify -format '%m %w %h' "$photo")" = "JPEG $START_W $START_H"
  check wait_for 40 latest_files_name "$photo"
  check wait_for 40 files_listed $((rows + 1))
  check select_newest_file
  check newest_selected_and_previewed
}
step_photos() {
  PHOTO_FOLDER=$(image_folder)
  check test -d "$PHOTO_FOLDER"
  check photo_taken space
  shot 04-photo-space
  check photo_taken button
  shot 05-photo-button
}

# The record dialog from the camera toolbar, its shortest time limit (10 seconds) chosen with
# the mouse, Start clicked: the recording stops and the dialog closes by itself at the limit,
# and the file is listed, its cover with the play triangle in the preview once selected.
step_video() {
  local m dialog video probe frames rows limit
  find_main; rows=$(extra_of "$FILES/101" count)
  m=$(marker video)
  click "$MAIN/107/3009"
  check wait_for 40 record_dialog_shown
  dialog=$(dialog_with 1005 ComboBox)
  limit=$(extra_of "$dialog/1005" items | cut -d'|' -f2)
  check choose "$dialog/1005" "$limit"
  probe; check test "$(text_of "$dialog/1005")" = "$limit"
  click "$dialog/1"
  sleep 2; shot 06-recording
  video=$(settled_file "$PHOTO_FOLDER" avi "$m" 120) || { check false; note "no video"; return; }
  probe=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries \
          stream=codec_name,width,height,pix_fmt,nb_read_frames -of csv=p=0 "$video")
  note "$(basename "$video"): $probe"
  frames=$(cut -d, -f5 <<<"$probe")
  check test "$(cut -d, -f1-4 <<<"$probe")" = "rawvideo,$START_W,$START_H,bgr24"
  # Ten seconds at 30 frames a second, give or take what a loaded machine drops.
  check test "${frames:-0}" -ge 240 -a "${frames:-0}" -le 310
  check test "$(identify -format '%m' "${video%.avi}.jpg")" = JPEG
  check setting_is MaxRecordTime 10
  check wait_for 40 latest_files_name "$video"
  check wait_for 40 files_listed $((rows + 1))
  check select_newest_file
  check play_triangle_shown
  # At the limit the dialog closes by itself.
  check wait_for 40 record_dialog_gone
  shot 07-video-listed
  rm -f "$video" "${video%.avi}.jpg"
}
record_dialog_shown() { probe && [ -n "$(dialog_with 3003 Static)" ]; }
record_dialog_gone() { probe && [ -z "$(dialog_with 3003 Static)" ]; }
setting_is() { [ "$(number_setting "$1")" = "$2" ]; }

# A calibration made with the ruler: the manager's Calibrate, the ruler's right end dragged
# 100 pixels further, the length typed into the calibration dialog, OK, then Apply. The
# simulated stage micrometer's ticks are width/64 pixels apart for 0.01 mm.
OX=0; OY=0
CAL_PIXELS=0; CAL_MM=""
manager_shown() { probe && [ -n "$(dialog_with 3005 SysListView32)" ]; }
manager_gone() { probe && [ -z "$(dialog_with 3005 SysListView32)" ]; }
calibration_dialog_shown() { probe && [ -n "$(dialog_with 3011 Edit)" ]; }
drag() {
  xdotool mousemove $1 $2 sleep 0.2 mousedown 1 sleep 0.2
  local i
  for i in 1 2 3 4; do
    xdotool mousemove $(( $1 + ($3 - $1) * i / 4 )) $(( $2 + ($4 - $2) * i / 4 )) sleep 0.15
  done
  xdotool mouseup 1 sleep 0.3
}
step_calibration() {
  local manager dialog w h left right ticks slot
  find_main; read -r w h <<<"$(picture_size)"
  click "$MAIN/106/3017"
  check wait_for 40 manager_shown
  manager=$(dialog_with 3005 SysListView32)
  shot 08-calibration-manager
  click "$manager/3017"
  check wait_for 40 calibration_dialog_shown
  dialog=$(dialog_with 3011 Edit)
  check test "$(text_of "$dialog")" = "Calibrate - ID:1 Name:"
  find_main; read -r OX OY <<<"$(picture_origin)"
  # The ruler starts a third of the picture wide (at least 300 pixels), centred.
  left=$(( w / 3 > 300 ? w / 3 : 300 )); left=$(( (w - left) / 2 )); right=$(( w - left ))
  CAL_PIXELS=$(( right + 100 - left ))
  drag $(at_picture $right $((h / 2))) $(at_picture $((right + 100)) $((h / 2)))
  shot 09-ruler
  ticks=$(( CAL_PIXELS * 64 / w ))
  CAL_MM=$(awk -v t="$ticks" 'BEGIN { printf "%g", t * 0.01 }')
  note "ruler: $CAL_PIXELS pixels = $ticks ticks = $CAL_MM mm"
  click "$dialog/3011"; xdotool type --delay 80 "$CAL_MM"
  shot 10-calibration-length
  click "$dialog/1"
  check wait_for 40 manager_shown
  slot=$(setting Calibrations | cut -d';' -f1)
  check test "$slot" = ",0,$CAL_PIXELS,$(float_bits "$CAL_MM"),$(( (h << 16) | w )),$(date +%Y%m%d)"
  manager=$(dialog_with 3005 SysListView32)
  click "$manager/6"
  check wait_for 40 manager_gone
  sleep 1; shot 11-calibration-applied
}
float_bits() { perl -e 'print unpack("l<", pack("f<", $ARGV[0]))' "$1"; }

# A line across ten ticks of the stage micrometer with the Line tool, then a photo. The
# label must read 0.1 mm within one pixel's worth, on the screen and burned into the photo,
# where the line itself must be ten ticks long.
LABEL_TOLERANCE=""
# An ImageMagick test for pixels near a stored colour (COLORREF 0x00BBGGRR).
near_colour() {
  local c; c=$(number_setting "$1")
  echo "abs(r-$(( c & 255 ))/255) < 0.5 && abs(g-$(( (c >> 8) & 255 ))/255) < 0.5 && abs(b-$(( (c >> 16) & 255 ))/255) < 0.5"
}
line_columns() {  # image, crop: x positions (relative) of columns holding the line's colour
  convert "$1" -crop "$2" +repage -fx "$(near_colour LineColor)" -scale "x1!" txt:- 2>/dev/null |
    awk -F'[,:( ]+' 'NR > 1 && $4 > 0 { print $1 }'
}
# The label's text as OCR reads it: its pixels black on white, enlarged and thickened; the
# first reading that looks like a length counts (its value is checked after).
read_label() {  # image, left, top
  local variant text
  for variant in "Disk:2" "Square:2" "Disk:1"; do
    label_mask "$1" "$2" "$3" | convert - -bordercolor white -border 6 -scale 400% \
      -morphology Erode "$variant" "$WORK/label.png" 2>/dev/null
    text=$(tesseract "$WORK/label.png" - --psm 7 -c tessedit_char_whitelist=0123456789.m \
           2>/dev/null | tr -d ' \n')
    [[ "$text" =~ ^[0-9]+\.[0-9]{5}mm$ ]] && break
  done
  echo "$text"
}
label_mask() {  # image, left, top: the label's box, its text black on white
  convert "$1" -crop "118x22+$2+$3" +repage -fx "$(near_colour TextColor) ? 0 : 1" png:- 2>/dev/null
}
# The photo carries the label the screen showed: JPEG blurs it beyond what OCR reads
# reliably, so its text pixels are compared with those of the screen's label instead.
same_label() {  # screen image, left, top, photo, left, top
  local text differ
  label_mask "$1" "$2" "$3" >"$WORK/label-screen.png"
  label_mask "$4" "$5" "$6" >"$WORK/label-photo.png"
  text=$(convert "$WORK/label-screen.png" -format '%[fx:int((1-mean)*w*h)]' info:)
  differ=$(compare -metric AE "$WORK/label-screen.png" "$WORK/label-photo.png" null: 2>&1 | cut -d' ' -f1)
  note "label: $text text pixels on the screen, $differ differ in the photo"
  [ "$text" -gt 60 ] && [ "${differ%.*}" -le $(( text / 3 )) ]
}
label_reads() {  # text, expected mm, tolerance, unit
  [[ "$1" =~ ^([0-9]+\.[0-9]{5})$4$ ]] || { note "label read as '$1'"; return 1; }
  awk -v v="${BASH_REMATCH[1]}" -v e="$2" -v t="$3" 'BEGIN { d = v - e; exit !(d <= t && d >= -t) }' ||
    { note "label reads $1, not $2 mm"; return 1; }
}
step_measure() {
  local w h y x1 x2 m photo cols first last text
  find_main; read -r w h <<<"$(picture_size)"; read -r OX OY <<<"$(picture_origin)"
  y=$((h * 3 / 4)); x1=$((w / 4)); x2=$((x1 + 10 * w / 64))
  LABEL_TOLERANCE=$(awk -v p="$CAL_PIXELS" -v mm="$CAL_MM" 'BEGIN { printf "%.5f", mm / p }')
  click "$MAIN/106/3021"
  drag $(at_picture $x1 $y) $(at_picture $x2 $y)
  xdotool mousemove $(at_picture $((x2 + 40)) $((y + 60)))
  sleep 1; shot 12-measured
  text=$(read_label "$SHOTS/journey-12-measured.png" $((OX + x1 + 2)) $((OY + y + 2)))
  note "on the screen the label reads '$text'"
  check label_reads "$text" 0.1 "$LABEL_TOLERANCE" mm
  m=$(marker measured)
  click "$MAIN/107/3008"
  photo=$(settled_file "$PHOTO_FOLDER" jpg "$m") || { check false; note "no photo of the measurement"; return; }
  cp "$photo" "$SHOTS/journey-13-measured-photo.jpg"
  cols=$(line_columns "$photo" "$((x2 - x1 + 41))x3+$((x1 - 20))+$((y - 1))")
  first=$(head -1 <<<"$cols"); last=$(tail -1 <<<"$cols")
  note "in the photo the line spans $((last - first)) pixels, for $((x2 - x1))"
  check test "$(( last - first - (x2 - x1) ))" -ge -2 -a "$(( last - first - (x2 - x1) ))" -le 2
  check same_label "$SHOTS/journey-12-measured.png" $((OX + x1 + 2)) $((OY + y + 2)) \
    "$photo" $((x1 + 2)) $((y + 2))
}

# The camera view's right-button menu in each language (its shot taken while it is open),
# the scale bar switched on from it and carried by a photo, and the measurement saved for
# analysis: a TIFF listed with its table beside it.
menu_item() {  # position in the menu, 1 first
  read -r OX OY <<<"$(picture_origin)"
  xdotool mousemove $(at_picture 60 60) click 3 sleep 0.6
  [ "$1" = 0 ] && return 0
  xdotool key $(printf 'Down %.0s' $(seq 1 "$1")) Return sleep 0.5
}
step_extras() {  # language entry, stored value, resolution caption, suffix
  local m photo tiff
  switch_language "$1" "$2" "$3" "extras-settings-$4"
  find_main
  menu_item 0; shot "extras-menu-$4"; xdotool key Escape sleep 0.3
  [ "$(w reg query "$KEY\\More" /v ScaleBar | sed -n 's/^ *ScaleBar *REG_DWORD *//p')" = 0x1 ] ||
    menu_item 3
  m=$(marker "scalebar-$4")
  click "$MAIN/107/3008"
  photo=$(settled_file "$PHOTO_FOLDER" jpg "$m") || { check false; note "no photo with the scale bar"; return; }
  cp "$photo" "$SHOTS/journey-extras-scalebar-photo-$4.jpg"
  m=$(marker "analysis-$4")
  menu_item 1
  tiff=$(settled_file "$PHOTO_FOLDER" tif "$m") || { check false; note "nothing saved for analysis"; return; }
  check test "$(identify -format '%m %w %h' "$tiff" 2>/dev/null | head -c 12)" = "TIFF $START_W $START_H"
  check test -s "${tiff%.tif}.csv"
  check wait_for 40 latest_files_name "$tiff"
  sleep 0.3; shot "extras-saved-$4"
}
step_extras_all() {
  step_extras " English" 0 "Resolution:" en
  step_extras " 中文" 1 "分辨率：" zh
  step_extras " 日本語" 2 "解像度：" ja
  switch_language " English" 0 "Resolution:" extras-back-english
}

# The language switched to Japanese in the settings dialog, and back to English.
settings_shown() { probe && [ -n "$(dialog_with 3001 Edit)" ]; }
settings_gone() { probe && [ -z "$(dialog_with 3001 Edit)" ]; }
switch_language() {  # entry, stored value, resolution caption, step name
  local dialog
  find_main; click "$DEVICE/108"
  check wait_for 40 settings_shown
  dialog=$(dialog_with 3001 Edit)
  check choose "$dialog/1005" "$1"
  probe; click "$dialog/1"
  check wait_for 40 settings_gone
  check wait_for 20 setting_is Language "$2"
  check wait_for 20 caption_is "$3"
  sleep 0.5; shot "$4"
}
caption_is() { find_main && [ "$(text_of "$DEVICE/103")" = "$1" ]; }
step_language() {
  switch_language " 日本語" 2 "解像度：" 14-japanese
  switch_language " English" 0 "Resolution:" 15-english
}

# The camera unplugged while the program runs, then plugged back: it opens again by itself.
step_unplug() {
  check simcam unplug "$CAMERA"
  check wait_for 120 no_device
  sleep 0.5; shot 16-unplugged
  check simcam plug "$CAMERA" --friendly "USB Microscope"
  check wait_for 120 device_named "USB Microscope"
  check wait_for 120 camera_open_at "$START_W" "$START_H"
  shot 17-plugged-back
}

program_running() { [ -n "$(prefix_pids '^[^ ]*app[/\\]tessaloom\.exe')" ]; }
close_program() {
  find_main || return 1
  click "$MAIN/106/3030"
  xdotool mousemove $(field "$VIEW" 5 | awk '{ print $1 + 10, $2 + 10 }') click 1 sleep 0.3 key alt+F4
  for _ in $(seq 1 200); do program_running || return 0; sleep 0.2; done
  return 1
}

# --- The journeys -----------------------------------------------------------------------
# A known start: one simulated microscope and no settings of an earlier run (a first start).
simcam unplug --all
simcam plug "$CAMERA" --friendly "USB Microscope"
timeout 60 "$WINE" reg delete "$KEY" /f >/dev/null 2>&1
rm -f "$WORK"/marker-*
TL_WINE_TIMEOUT=600 "$ROOT/scripts/wine-exec.sh" "$EXE" >/dev/null 2>&1 &
desk=$!
step_camera_opens
if [ -n "$README_SHOT" ]; then
  use_640x480; PHOTO_FOLDER=$(image_folder)
  step_calibration
  step_measure
  convert "$SHOTS/journey-12-measured.png" -resize 1200x -colors 192 -strip "$README_SHOT"
  note "README picture: $README_SHOT ($(stat -c %s "$README_SHOT") bytes)"
else
  step_resolution
  use_640x480
  step_photos
  step_video
  step_calibration
  step_measure
  step_extras_all
  step_language
  step_unplug
fi
check close_program
kill $desk >/dev/null 2>&1; wait $desk 2>/dev/null
note "$passed passed, $failed failed"
[ $failed = 0 ]

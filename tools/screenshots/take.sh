#!/bin/bash
# Takes the documentation screenshots by driving the real program on the
# virtual phone under Xvfb with xdotool.
#
#   tools/screenshots/take.sh [BUILD_DIR] [OUT_DIR]
#
# BUILD_DIR holds the built `quendrel` (default: ./build); OUT_DIR receives
# screenshot.png, screenshot-zh.png, picture-page.png, show-all-files.png,
# java-page.png, language-en.png, language-zh-tw.png, language-zh-cn.png and
# restore-plan.png (default: docs/ of this checkout). Needs Xvfb, xdotool, ImageMagick and
# python3. Everything the program writes (settings, logs, the virtual phone's
# folders) goes to a scratch folder; the user's own settings are not touched.
#
# SHOTS picks the sets to take (default "main pages language restore"): main
# for the two main windows, pages for the picture and Java pages, language
# for the language menu open in each language, restore for the restore plan
# of a backup after the phone has changed.
# KEEP=1 keeps the scratch folder; SCREENS_DEBUG=1 also saves every grab
# there (not DEBUG: xdotool reads that one itself).
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
REPO=$(cd "$HERE/../.." && pwd)
BUILD=$(cd "${1:-$REPO/build}" && pwd)
OUT=$(mkdir -p "${2:-$REPO/docs}" && cd "${2:-$REPO/docs}" && pwd)
PROGRAM="$BUILD/quendrel"
[ -x "$PROGRAM" ] || { echo "no program at $PROGRAM" >&2; exit 1; }
for tool in Xvfb xdotool convert import python3; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

SHOTS=" ${SHOTS:-main pages language restore} "
want() { [[ "$SHOTS" == *" $1 "* ]]; }

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/quendrel-screens-XXXXXX")
DISPLAY_NO=${SCREEN_DISPLAY:-:57}
XVFB_PID=""
APP_PID=""

cleanup() {
  if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then kill "$APP_PID" 2>/dev/null || true; wait "$APP_PID" 2>/dev/null || true; fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  if [ "${KEEP:-0}" = 1 ]; then echo "scratch kept in $SCRATCH" >&2; else rm -rf "$SCRATCH"; fi
}
trap cleanup EXIT

log() { echo "[screens] $*" >&2; }

# --- Content of the virtual phone --------------------------------------------
# A copy of the sample content with a large photo (so that a transfer lasts
# long enough to be seen) and two more suites on both sides, so the Java page
# shows every status mark.
SAMPLES="$SCRATCH/samples"
mkdir -p "$SAMPLES"
cp -r "$REPO/virtualphone/samples/pc" "$REPO/virtualphone/samples/phone" "$SAMPLES/"

# Largest quality that keeps the photo within the page's 63000-byte limit.
# Baseline colour JPEG: the page finds its size in the 00 11 08 frame header.
PHOTO="$SAMPLES/pc/harbour.jpg"
made=""
for q in 97 96 95 94 93 92 91 90 88 85 80 75; do
  convert -seed 7 -size 600x600 plasma:fractal -blur 0x1 -strip -type TrueColor \
    -interlace none -sampling-factor 2x2 -quality "$q" "$PHOTO"
  if [ "$(stat -c %s "$PHOTO")" -le 62000 ]; then made=$q; break; fi
done
[ -n "$made" ] || { echo "cannot make the photo small enough" >&2; exit 1; }
log "harbour.jpg: quality $made, $(stat -c %s "$PHOTO") bytes"

python3 - "$SAMPLES" <<'EOF'
import os, sys, zipfile
root = sys.argv[1]

def suite(folder, base, name, version):
    os.makedirs(folder, exist_ok=True)
    jar = os.path.join(folder, base + ".jar")
    with zipfile.ZipFile(jar, "w", zipfile.ZIP_DEFLATED) as z:
        info = zipfile.ZipInfo("META-INF/MANIFEST.MF", date_time=(2024, 1, 1, 0, 0, 0))
        z.writestr(info, f"Manifest-Version: 1.0\r\nMIDlet-Name: {name}\r\n"
                         f"MIDlet-Version: {version}\r\nMIDlet-Vendor: Quendrel Samples\r\n")
    jad = (f"MIDlet-Name: {name}\r\nMIDlet-Version: {version}\r\n"
           f"MIDlet-Vendor: Quendrel Samples\r\nMIDlet-Jar-URL: {base}.jar\r\n"
           f"MIDlet-Jar-Size: {os.path.getsize(jar)}\r\n"
           f"MIDlet-1: {name}, , {base}.Main\r\nMicroEdition-Profile: MIDP-2.0\r\n"
           "MicroEdition-Configuration: CLDC-1.1\r\n")
    with open(os.path.join(folder, base + ".jad"), "w", newline="") as f:
        f.write(jad)

# Same version on both sides: "[V]". Phone newer than the PC: "[X]".
suite(os.path.join(root, "pc"), "chess", "Chess Clock", "1.0")
suite(os.path.join(root, "phone", "4", "Chess Clock"), "chess", "Chess Clock", "1.0")
suite(os.path.join(root, "pc"), "bubble", "Bubble Pop", "1.5")
suite(os.path.join(root, "phone", "4", "Bubble Pop"), "bubble", "Bubble Pop", "2.0")
EOF

# Files the picture folder does not take, for "Show all files": a PNG, a
# greyscale JPEG, a photo over 640 x 640 and 63000 bytes.
convert -size 120x90 gradient:orange-purple "$SAMPLES/pc/sticker.png"
convert -seed 3 -size 160x120 plasma:fractal -colorspace Gray -quality 90 "$SAMPLES/pc/scan.jpg"
convert -seed 5 -size 1280x960 plasma:fractal -quality 92 "$SAMPLES/pc/wallpaper.jpg"

# --- Program folder and private settings --------------------------------------
mkdir -p "$SCRATCH/Program" "$SCRATCH/logs" "$SCRATCH/home/.config" "$SCRATCH/tmp" "$SCRATCH/grabs"
printf 'debugFlag=0\r\n' > "$SCRATCH/Program/Velko.ini"
CONF="$SCRATCH/home/.config/Velko/Velko Sync Tool.conf"

# --- X server ---------------------------------------------------------------
Xvfb "$DISPLAY_NO" -screen 0 1024x768x24 -nolisten tcp >"$SCRATCH/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=$DISPLAY_NO
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
xdotool getdisplaygeometry >/dev/null || { echo "Xvfb did not start on $DISPLAY_NO" >&2; exit 1; }

# --- Helpers ----------------------------------------------------------------
start_program() {
  (cd "$SCRATCH/Program" &&
   HOME="$SCRATCH/home" XDG_CONFIG_HOME="$SCRATCH/home/.config" TMPDIR="$SCRATCH/tmp" \
   QUENDREL_SAMPLES="$SAMPLES" QT_QPA_PLATFORM=xcb exec "$PROGRAM" --virtual-phone) \
    >>"$SCRATCH/program.log" 2>&1 &
  APP_PID=$!
}

# Leaves through the window's Exit shortcut, so the program closes the port
# and removes its virtual phone; a plain signal would leave both behind.
stop_program() {
  local main=$1
  xdotool windowfocus "$main" 2>/dev/null || true
  sleep 0.3
  xdotool key ctrl+x
  for _ in $(seq 50); do kill -0 "$APP_PID" 2>/dev/null || break; sleep 0.2; done
  kill "$APP_PID" 2>/dev/null || true
  wait "$APP_PID" 2>/dev/null || true
  APP_PID=""
}

# The visible top-level window of the program with the given width (the
# main window is 638 pixels wide; dialogs differ), waited for up to $2 s.
window_of_width() {
  local want=$1 limit=${2:-30} id w
  for _ in $(seq $((limit * 5))); do
    for id in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
      w=$(xdotool getwindowgeometry --shell "$id" | sed -n 's/^WIDTH=//p')
      if [ "$want" = any ] || [ "$w" = "$want" ]; then echo "$id"; return 0; fi
    done
    sleep 0.2
  done
  return 1
}

# A visible dialog of the program: any visible window other than $1.
dialog_besides() {
  local main=$1 limit=${2:-30} id
  for _ in $(seq $((limit * 5))); do
    for id in $(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null); do
      [ "$id" != "$main" ] && { echo "$id"; return 0; }
    done
    sleep 0.2
  done
  return 1
}

geometry() { xdotool getwindowgeometry --shell "$1"; }

click_in() {  # window x y
  xdotool mousemove --window "$1" "$2" "$3" sleep 0.2 click 1
}

grab() {  # window file
  import -window "$1" "$2"
  [ "${SCREENS_DEBUG:-0}" = 1 ] && cp "$2" "$SCRATCH/grabs/$(date +%s%N).png" || true
}

# Small PNG: no metadata, a palette of at most 256 colours.
finish_png() {  # source target
  convert "$1" -strip -colors 256 PNG8:"$2"
  log "wrote $2 ($(stat -c %s "$2") bytes)"
}

# Accepts the folder chooser: its OK button sits left of Cancel at the
# bottom right; the chooser is opened on the virtual phone's PC folder.
accept_chooser() {
  local main=$1 dlg W H
  dlg=$(dialog_besides "$main" 30) || { echo "folder chooser did not open" >&2; return 1; }
  sleep 1
  eval "$(geometry "$dlg" | sed 's/^/D_/')"
  [ "${SCREENS_DEBUG:-0}" = 1 ] && grab "$dlg" "$SCRATCH/grabs/chooser.png"
  W=$D_WIDTH; H=$D_HEIGHT
  click_in "$dlg" $((W - 140)) $((H - 22))
  for _ in $(seq 50); do xdotool getwindowname "$dlg" >/dev/null 2>&1 || break
    xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | grep -qx "$dlg" || break; sleep 0.2; done
}

# Waits until only the main window is visible again (page done) and the
# window has settled.
wait_no_dialog() {
  local main=$1 limit=${2:-30} others
  for _ in $(seq $((limit * 5))); do
    others=$(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | grep -vx "$main" || true)
    [ -z "$others" ] && return 0
    sleep 0.2
  done
  echo "a dialog stays open" >&2
  return 1
}

# Geometry of the main window's client: the menu bar takes the height above
# the fixed 436-pixel client area.
main_layout() {
  eval "$(geometry "$1" | sed 's/^/M_/')"
  MENU_H=$((M_HEIGHT - 436))
  # Tool buttons (67 x 66) in a frame at 4,4 inside the left panel.
  TB_X=38
  TB_PICTURE_Y=$((MENU_H + 4 + 133 + 33))
  TB_JAVA_Y=$((MENU_H + 4 + 199 + 33))
  # Page area at 80,28; ">" of either page at 250,110 (56 x 32) inside it.
  SEND_X=$((80 + 250 + 28)); SEND_Y=$((MENU_H + 28 + 110 + 16))
  # PC list at 4+8, 2+20 inside the page.
  PCLIST_X=$((80 + 12 + 60)); PCLIST_TOP=$((MENU_H + 28 + 22))
}

# Share of the per-file progress bar that is filled (0..1), from the bar's
# middle row: the fill is the highlight colour, bluer than the groove.
bar_fraction() {  # png
  convert "$1" -crop 530x1+93+$((MENU_H + 381)) +repage -fx 'b-r>0.15?1:0' -format '%[fx:mean]' info:
}

# x positions of the column dividers visible in a list's header (window
# coordinates), from a grab of the header's top row: grey lines on the
# near-white header face.
header_dividers() {  # window left right
  grab "$1" "$SCRATCH/header.png"
  convert "$SCRATCH/header.png" -crop $(($3 - $2))x1+"$2"+$((MENU_H + 51)) +repage -depth 8 txt:- |
    awk -v left="$2" -F'[ ,:()]+' 'NR > 1 { if ($3 < 225 && $3 > 140) print $1 + left }'
}

# Fits each column to its texts, left to right, by double-clicking the
# dividers that show, so that all columns of the list come into view.
fit_columns() {  # window left right columns
  local i x
  for i in $(seq $(($4 - 1))); do
    x=$(header_dividers "$1" "$2" "$3" | sed -n "${i}p")
    [ -n "$x" ] || break
    xdotool mousemove --window "$1" "$x" $((MENU_H + 59)) sleep 0.2 click --repeat 2 --delay 80 1
    sleep 0.5
  done
}

# Fits the column before the last one, whose divider may lie beyond the
# right edge: scroll the list fully right, fit at the rightmost divider,
# scroll back.
fit_next_to_last() {  # window left right
  local mid=$((($2 + $3) / 2)) x
  xdotool mousemove --window "$1" "$mid" $((MENU_H + 150)) click --repeat 12 --delay 30 7
  sleep 0.5
  x=$(header_dividers "$1" "$2" "$3" | tail -n 1)
  if [ -n "$x" ]; then
    xdotool mousemove --window "$1" "$x" $((MENU_H + 59)) sleep 0.2 click --repeat 2 --delay 80 1
    sleep 0.5
  fi
  xdotool mousemove --window "$1" "$mid" $((MENU_H + 150)) click --repeat 12 --delay 30 6
  sleep 0.5
}

set_language() {  # LCID
  if [ ! -f "$CONF" ]; then  # as a start would leave it
    mkdir -p "$(dirname "$CONF")"
    printf '[1.0]\nConnectSetting\\Language=%s\n' "$1" > "$CONF"
  fi
  sed -i "s/^\(\(ConnectSetting\\\\\)\{0,1\}Language\)=.*/\1=$1/" "$CONF"
  grep -q "Language=$1" "$CONF" || { echo "could not set the language in $CONF" >&2; cat "$CONF" >&2; exit 1; }
}

main_shot() {  # target
  local main
  start_program
  main=$(window_of_width 638 40) || { echo "main window did not appear" >&2; cat "$SCRATCH/program.log" >&2; exit 1; }
  sleep 4  # the port opens and the status panels settle
  wait_no_dialog "$main" 10
  grab "$main" "$SCRATCH/main.png"
  finish_png "$SCRATCH/main.png" "$1"
  stop_program "$main"
}

# Opens the language menu from the keyboard with entry $2 (0..2) highlighted:
# the help menu is always enabled and the language menu is the one left of it.
open_language_menu() {  # main entry
  xdotool windowfocus "$1" 2>/dev/null || true
  sleep 0.3
  xdotool key alt+h
  sleep 0.4
  xdotool key Left
  sleep 0.4
  for _ in $(seq "$2"); do xdotool key Down; sleep 0.15; done
  dialog_besides "$1" 5 >/dev/null || { echo "the language menu did not open" >&2; exit 1; }
  sleep 0.5
}

# The screen where the main window is, so the open menu (a window of its own) is in.
grab_main_area() {  # main file
  eval "$(geometry "$1" | sed 's/^/G_/')"
  import -window root -crop "${G_WIDTH}x${G_HEIGHT}+${G_X}+${G_Y}" +repage "$2"
}

if want main; then
# --- 1. Main window, Traditional Chinese (the first run's language) -------------
main_shot "$OUT/screenshot-zh.png"

# --- 2. Main window in English ----------------------------------------------
[ -f "$CONF" ] || { echo "no settings written at $CONF" >&2; exit 1; }
set_language 9
main_shot "$OUT/screenshot.png"
fi

if want pages; then
# --- 3. Picture page with a transfer in progress -----------------------------------
set_language 9
start_program
MAIN=$(window_of_width 638 40)
sleep 3
main_layout "$MAIN"
click_in "$MAIN" "$TB_X" "$TB_PICTURE_Y"
accept_chooser "$MAIN"
wait_no_dialog "$MAIN" 30
sleep 3
# Type-ahead selects the photo whatever order the folder listing gave.
click_in "$MAIN" "$PCLIST_X" $((PCLIST_TOP + 30))
xdotool windowfocus "$MAIN"
sleep 0.3
xdotool type --delay 80 "harb"
sleep 0.5
click_in "$MAIN" "$SEND_X" "$SEND_Y"
# Grab while the per-file bar runs, once it shows a fair part done.
shot=""
for _ in $(seq 60); do
  sleep 0.25
  grab "$MAIN" "$SCRATCH/picture.png"
  done_part=$(bar_fraction "$SCRATCH/picture.png")
  if awk -v f="$done_part" 'BEGIN { exit !(f >= 0.2 && f <= 0.8) }'; then shot=1; break; fi
done
[ -n "$shot" ] || { echo "no grab with the transfer under way (last bar: $done_part)" >&2; exit 1; }
log "picture page grabbed with the bar at $done_part"
finish_png "$SCRATCH/picture.png" "$OUT/picture-page.png"
# Let the batch end (the bar goes away) and the page refresh after it.
for _ in $(seq 120); do
  sleep 0.5
  grab "$MAIN" "$SCRATCH/after.png"
  [ "$(bar_fraction "$SCRATCH/after.png")" = 0 ] && break
done
sleep 4
wait_no_dialog "$MAIN" 30
grab "$MAIN" "$SCRATCH/after.png"

# --- 3b. Picture page with "Show all files" on and its thumbnails ----------------
# The check box sits below the PC list, at 8,257 in the PC group (4,2 in the page).
click_in "$MAIN" $((80 + 4 + 8 + 8)) $((MENU_H + 28 + 2 + 257 + 12))
sleep 3  # the list is rebuilt and the thumbnails fill in
# Type-ahead selects the PNG, a picture "Fit to phone" can make a copy of.
click_in "$MAIN" "$PCLIST_X" $((PCLIST_TOP + 30))
xdotool windowfocus "$MAIN"
sleep 0.3
xdotool type --delay 80 "stick"
sleep 0.5
xdotool mousemove --window "$MAIN" 358 $((MENU_H + 250))
sleep 0.5
grab "$MAIN" "$SCRATCH/showall.png"
finish_png "$SCRATCH/showall.png" "$OUT/show-all-files.png"

# --- 4. Java page --------------------------------------------------------------
click_in "$MAIN" "$TB_X" "$TB_JAVA_Y"
# Each page opening may ask for the folder again; accept it if it does.
if dlg=$(dialog_besides "$MAIN" 5); then accept_chooser "$MAIN"; fi
wait_no_dialog "$MAIN" 30
sleep 3
# At their first widths the last columns lie beyond the lists' right edges.
fit_columns "$MAIN" 93 306 4
fit_next_to_last "$MAIN" 93 306
fit_columns "$MAIN" 409 622 3
xdotool mousemove --window "$MAIN" 358 $((MENU_H + 250))
sleep 0.5
grab "$MAIN" "$SCRATCH/java.png"
finish_png "$SCRATCH/java.png" "$OUT/java-page.png"
stop_program "$MAIN"
fi

if want language; then
# --- 5. The language menu open, in each language ---------------------------------
# A first run (Traditional Chinese), then each language chosen in the menu itself.
rm -f "$CONF"
start_program
MAIN=$(window_of_width 638 40) || { echo "main window did not appear" >&2; cat "$SCRATCH/program.log" >&2; exit 1; }
sleep 4
wait_no_dialog "$MAIN" 10
current=1
for shot in "1 1028 zh-tw" "0 9 en" "2 2052 zh-cn"; do
  read -r entry code name <<<"$shot"
  if [ "$entry" != "$current" ]; then
    open_language_menu "$MAIN" "$entry"
    xdotool key Return
    sleep 1
    grep -q "Language=$code\$" "$CONF" || { echo "the menu did not store $code" >&2; cat "$CONF" >&2; exit 1; }
    current=$entry
  fi
  open_language_menu "$MAIN" "$entry"
  grab_main_area "$MAIN" "$SCRATCH/language.png"
  finish_png "$SCRATCH/language.png" "$OUT/language-$name.png"
  xdotool key Escape Escape
  sleep 0.5
done
stop_program "$MAIN"
fi
if want restore; then
# --- 6. The restore plan: a backup, then the phone changed under it -------------
set_language 9
start_program
MAIN=$(window_of_width 638 40) || { echo "main window did not appear" >&2; cat "$SCRATCH/program.log" >&2; exit 1; }
sleep 4
wait_no_dialog "$MAIN" 10
main_layout "$MAIN"
# The Connection menu is the menu bar's first entry; its last two entries
# are "Back up phone..." and "Restore from backup...", and Up in the menu
# just opened goes to the last.
connection_entry() {  # main keys
  click_in "$1" 30 $((MENU_H / 2))
  sleep 0.5
  for key in $2; do xdotool key "$key"; sleep 0.2; done
  sleep 0.2
  xdotool key Return
}
# The backup goes to the folder the chooser opens at (the home folder, as
# the documents folder is not there).
connection_entry "$MAIN" "Up Up"
accept_chooser "$MAIN"
BACKUP=""
for _ in $(seq 240); do
  BACKUP=$(find "$SCRATCH/home" -maxdepth 1 -type d -name 'quendrel-backup-*' ! -name '*.partial' | head -n 1)
  [ -n "$BACKUP" ] && break
  sleep 0.5
done
[ -n "$BACKUP" ] || { echo "the backup did not complete" >&2; cat "$SCRATCH/program.log" >&2; exit 1; }
log "backup made: $BACKUP"
dialog_besides "$MAIN" 10 >/dev/null && { sleep 0.5; xdotool key Return; }  # the end box
wait_no_dialog "$MAIN" 20
# The pictures gone from the phone and a melody changed there: the plan
# then holds files to send, files the same and a clash.
PHONE=$(find "$SCRATCH/tmp" -maxdepth 2 -type d -name phone | head -n 1)
rm -f "$PHONE"/3/*
printf 'x' >> "$PHONE/1/scale.mid"
# The chooser opens at the remembered folder: the backup itself.
sed -i "s|^\(\(ConnectSetting\\\\\)\{0,1\}BackupFolder\)=.*|\1=$BACKUP|" "$CONF"
grep -q "BackupFolder=$BACKUP" "$CONF" || { echo "could not point the chooser at $BACKUP" >&2; cat "$CONF" >&2; exit 1; }
connection_entry "$MAIN" "Up"
accept_chooser "$MAIN"
# The listing of the emptied folder says so in a small box first.
PLAN=""
for _ in $(seq 10); do
  dlg=$(dialog_besides "$MAIN" 60) || break
  sleep 1
  if [ "$(geometry "$dlg" | sed -n 's/^WIDTH=//p')" -ge 300 ]; then PLAN=$dlg; break; fi
  xdotool key Return
  sleep 0.5
done
[ -n "$PLAN" ] || { echo "the restore plan did not open" >&2; exit 1; }
sleep 0.5
grab "$PLAN" "$SCRATCH/plan.png"
finish_png "$SCRATCH/plan.png" "$OUT/restore-plan.png"
xdotool key Escape
wait_no_dialog "$MAIN" 20
stop_program "$MAIN"
fi
log "done"

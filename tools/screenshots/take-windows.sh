#!/bin/bash
# Takes the documentation screenshots of the native Windows window by
# running quendrel.exe on its in-memory virtual phone under Wine, in a
# private Wine prefix on a private Xvfb display, driven with xdotool.
#
#   tools/screenshots/take-windows.sh [WINDOWS_BUILD_DIR] [OUT_DIR]
#
# WINDOWS_BUILD_DIR holds the cross-built quendrel.exe (default:
# ./build-windows, as `scripts/setup.sh windows` makes it); nothing is built
# here. OUT_DIR (default: docs/ of this checkout) receives, in English and
# in Simplified Chinese, the picture page with both lists filled and the
# Java page: windows-picture-page.png, windows-java-page.png,
# windows-picture-page-zh-cn.png and windows-java-page-zh-cn.png.
#
# Needs wine, Xvfb, xdotool and ImageMagick, and a font with Chinese
# characters on the host (fonts-wqy-microhei, in scripts/packages-windows.txt):
# the prefix is told to use it for the Windows fonts that carry Chinese.
# The prefix is new each run (its set-up takes a while); SHOTS_WINEPREFIX
# names one to reuse. KEEP=1 keeps the scratch folder.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
REPO=$(cd "$HERE/../.." && pwd)
BUILD=$(cd "${1:-$REPO/build-windows}" && pwd)
OUT=$(mkdir -p "${2:-$REPO/docs}" && cd "${2:-$REPO/docs}" && pwd)
PROGRAM="$BUILD/quendrel.exe"
[ -f "$PROGRAM" ] || { echo "no program at $PROGRAM (scripts/setup.sh windows builds it)" >&2; exit 1; }
for tool in wine wineserver winepath Xvfb xdotool convert import fc-list; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

log() { echo "[windows screens] $*" >&2; }

# A font with Chinese characters: its file and family name, as Wine will see them.
CJK=$(fc-list :lang=zh-cn file family | sed 's/,.*//' | grep -v -i mono |
  grep -i -m1 -E 'wenquanyi|noto sans cjk|droid sans fallback' || true)
[ -n "$CJK" ] || CJK=$(fc-list :lang=zh-cn file family | sed 's/,.*//' | head -n 1)
[ -n "$CJK" ] || { echo "no font with Chinese characters: install fonts-wqy-microhei" >&2; exit 1; }
CJK_FILE=$(basename "${CJK%%: *}")
CJK_FONT=${CJK#*: }

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/quendrel-win-screens-XXXXXX")
export WINEPREFIX=${SHOTS_WINEPREFIX:-$SCRATCH/wineprefix}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
XVFB_PID=""
MAIN=""

cleanup() {
  wineserver -k 2>/dev/null || true
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
  if [ "${KEEP:-0}" = 1 ]; then echo "scratch kept in $SCRATCH" >&2; else rm -rf "$SCRATCH"; fi
}
trap cleanup EXIT

# --- X server on a display of its own ------------------------------------------
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$SCRATCH/display" >"$SCRATCH/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$SCRATCH/display" ] && break; sleep 0.1; done
[ -s "$SCRATCH/display" ] || { echo "Xvfb did not start" >&2; cat "$SCRATCH/xvfb.log" >&2; exit 1; }
DISPLAY=":$(head -n 1 "$SCRATCH/display")"
export DISPLAY

# --- The Wine prefix ---------------------------------------------------------------
log "preparing the Wine prefix $WINEPREFIX"
wine wineboot -i >"$SCRATCH/wineboot.log" 2>&1
wineserver -w
reg() { wine reg add "$@" /f >/dev/null 2>&1 || { echo "wine reg add $* failed" >&2; exit 1; }; }
# No window manager runs on Xvfb: Wine draws the frames and captions itself.
reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
# Chinese text falls back from the window's font to these Windows fonts;
# each is the host's Chinese font here.
for face in SimSun NSimSun PMingLiU MingLiU "MS UI Gothic" "Microsoft YaHei" "Microsoft JhengHei"; do
  reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "$CJK_FONT"
done
# Wine's own fonts: the caption buttons' Marlett in the prefix's font
# folder, where this Wine finds it for certain; Tahoma, the message font,
# for the English shots only (see below).
WINE_FONTS=$(dirname "$(find /usr/share/wine /usr/lib/wine /usr/lib/x86_64-linux-gnu/wine /opt/wine* \
  -name marlett.ttf 2>/dev/null | head -n 1)")
FONTS="$WINEPREFIX/drive_c/windows/Fonts"
[ -f "$WINE_FONTS/marlett.ttf" ] && cp "$WINE_FONTS/marlett.ttf" "$FONTS/"
# With Tahoma present Wine leaves its bold face without the Chinese
# fallback (boxes); without it every text is in the Chinese font, as on a
# Chinese Windows, whose message font is a Chinese one.
use_tahoma() {  # yes|no
  if [ "$1" = yes ] && [ -f "$WINE_FONTS/tahoma.ttf" ]; then
    cp "$WINE_FONTS"/tahoma*.ttf "$FONTS/"
  else
    rm -f "$FONTS"/tahoma*.ttf
  fi
}
log "Chinese font: $CJK_FONT ($CJK_FILE)"

# --- Program folder: the window reads Velko.ini from its working directory ----------
mkdir -p "$SCRATCH/Program" "$SCRATCH/logs"
printf 'debugFlag=0\r\n' >"$SCRATCH/Program/Velko.ini"
SAMPLES=$(winepath -w "$REPO/virtualphone/samples")

CONNECT_KEY='HKCU\SOFTWARE\Velko\Velko Sync Tool\1.0\ConnectSetting'

start_program() {
  (cd "$SCRATCH/Program" && QUENDREL_SAMPLES="$SAMPLES" exec wine "$PROGRAM" --virtual-phone) \
    >>"$SCRATCH/program.log" 2>&1 &
}

# The program's visible top-level windows (a private display: only its own).
windows_up() { xdotool search --onlyvisible --classname quendrel.exe 2>/dev/null || true; }

wait_main() {
  local id
  for _ in $(seq 150); do
    id=$(windows_up | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

# A dialog of the program: a visible window other than the main one.
dialog_besides() {  # main seconds
  local id
  for _ in $(seq $(($2 * 5))); do
    id=$(windows_up | grep -vx "$1" | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

wait_no_dialog() {  # main
  for _ in $(seq 150); do
    [ -z "$(windows_up | grep -vx "$1" || true)" ] && return 0
    sleep 0.2
  done
  echo "a dialog stays open" >&2
  return 1
}

# The folder chooser opens on the virtual phone's PC folder; OK is its default.
accept_chooser() {  # main
  local dlg
  dlg=$(dialog_besides "$1" "${2:-20}") || return 1
  sleep 1
  xdotool windowfocus "$dlg" 2>/dev/null || true
  xdotool key Return
  wait_no_dialog "$1"
}

# Client coordinates (the fixed 638 x 436 client area below the menu bar)
# into the frame's: Wine draws the frame, the same width on every side.
click_client() {  # main x y
  local W H B T
  eval "$(xdotool getwindowgeometry --shell "$1" | sed 's/^/G_/')"
  W=$G_WIDTH; H=$G_HEIGHT
  B=$(((W - 638) / 2)); T=$((H - 436 - B))
  xdotool mousemove --window "$1" $((B + $2)) $((T + $3)) sleep 0.2 click 1
}

# Rests the pointer on the empty progress panel, away from the buttons.
rest_pointer() {  # main
  local B T
  eval "$(xdotool getwindowgeometry --shell "$1" | sed 's/^/G_/')"
  B=$(((G_WIDTH - 638) / 2)); T=$((G_HEIGHT - 436 - B))
  xdotool mousemove --window "$1" $((B + 600)) $((T + 400))
  sleep 0.5
}

# The frame as drawn on the screen, in a small PNG (no metadata, 256 colours).
grab() {  # main target
  eval "$(xdotool getwindowgeometry --shell "$1" | sed 's/^/G_/')"
  import -window root -crop "${G_WIDTH}x${G_HEIGHT}+${G_X}+${G_Y}" +repage "$SCRATCH/grab.png"
  convert "$SCRATCH/grab.png" -strip -colors 256 PNG8:"$2"
  log "wrote $2 ($(stat -c %s "$2") bytes)"
}

stop_program() {  # main
  xdotool windowfocus "$1" 2>/dev/null || true
  sleep 0.3
  xdotool key alt+F4
  for _ in $(seq 50); do [ -z "$(windows_up)" ] && break; sleep 0.2; done
  wineserver -w
}

# Tool buttons (67 x 66, from 5,5, one below the other): the picture and
# Java ones, by their middles.
PICTURE_X=38 PICTURE_Y=170
JAVA_X=38 JAVA_Y=236

for shot in "9 yes" "2052 no -zh-cn"; do
  read -r code tahoma suffix <<<"$shot" || true
  use_tahoma "$tahoma"
  reg "$CONNECT_KEY" /v Language /t REG_DWORD /d "$code"
  start_program
  MAIN=$(wait_main) || { echo "the window did not appear" >&2; cat "$SCRATCH/program.log" >&2; exit 1; }
  sleep 3  # the first connect and the status panels
  wait_no_dialog "$MAIN"

  click_client "$MAIN" "$PICTURE_X" "$PICTURE_Y"
  accept_chooser "$MAIN" || { echo "the picture folder chooser did not open" >&2; exit 1; }
  sleep 3  # both folders listed, the small pictures drawn
  rest_pointer "$MAIN"
  grab "$MAIN" "$OUT/windows-picture-page$suffix.png"

  click_client "$MAIN" "$JAVA_X" "$JAVA_Y"
  # The Java page may ask for its folder too.
  accept_chooser "$MAIN" 5 || true
  sleep 2
  rest_pointer "$MAIN"
  grab "$MAIN" "$OUT/windows-java-page$suffix.png"
  stop_program "$MAIN"
done
log "done"

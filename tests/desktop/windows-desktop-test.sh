#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows desktop test: the installer run silently in a fresh Wine prefix on an X display
# (Xvfb) with a window manager (openbox); the installed kelmo.exe started with a picture of every
# format it reads, each checked on the screen's pixels; the start-up message for an unreadable
# file; the selection copied with Ctrl+C read back from the Windows clipboard as a
# device-independent bitmap; then the uninstaller, which must leave nothing behind.
# Usage (under xvfb-run): windows-desktop-test.sh SETUP_EXE CLIPBOARD_DIB_EXE
set -uo pipefail
setup=$1
clipboard_dib=$2
stop_wine() { wineserver -k 2> /dev/null; }
at_exit=stop_wine
. "$(dirname "$0")/x11-session.sh"
unset QT_QPA_PLATFORM # the Windows Qt picks its own platform
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

wineboot -i > /dev/null 2>&1
wine winecfg -v win10 > /dev/null 2>&1
wineserver -w

# A type already the system's, which the uninstaller must leave as it found it.
wine reg add 'HKLM\Software\Classes\.jpg' /ve /d jpegfile /f > /dev/null 2>&1
wine "$(windows_path "$setup")" /S > /dev/null 2>&1
wineserver -w
folder="$WINEPREFIX/drive_c/Program Files/Kelmo"
menu_entry="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kelmo.lnk"
check "installed kelmo.exe" "$([ -f "$folder/kelmo.exe" ] && echo yes)" yes
check "Start menu entry" "$([ -f "$menu_entry" ] && echo yes)" yes
installed_files=$(find "$folder" -type f | wc -l)

# Every picture of one colour, each of its own size, in a folder with accents and blanks.
pictures="$work/Fotos de María José"
mkdir -p "$pictures"
colour='#2060c0'
solid() { convert -size "$1" xc:"$colour" "${@:2}"; }
solid 400x300 -quality 95 "$pictures/foto año.jpg"
solid 410x305 PNG24:"$pictures/plano ñandú.png"
solid 420x310 PNG24:"$work/w.png" && cwebp -quiet -lossless "$work/w.png" -o "$pictures/web.webp"
solid 430x315 PNG24:"$work/a.png" && avifenc --min 0 --max 10 "$work/a.png" "$pictures/av1 cámara.avif" > /dev/null
solid 440x320 PNG24:"$work/h.png" && heif-enc -q 90 "$work/h.png" -o "$pictures/móvil.heic" > /dev/null
solid 450x325 PNG24:"$work/x.png" && cjxl -q 100 "$work/x.png" "$pictures/jxl.jxl" > /dev/null 2>&1
solid 460x330 GIF:"$pictures/animación.gif"
solid 470x335 BMP3:"$pictures/mapa de bits.bmp"
solid 128x128 "$pictures/icono.ico"
printf 'no es una imagen' > "$pictures/roto.jpg"

# Started as Windows starts a program: the whole path after its name, unquoted (Wine joins the
# arguments with blanks, so a path with blanks goes as its words).
start_kelmo() { # WINDOWS_PATH
  local words
  read -r -a words <<< "$1"
  wine "$(windows_path "$folder/kelmo.exe")" "${words[@]}" > "$work/kelmo.log" 2>&1 &
}
# Under Wine the window and its message boxes are all titled "Kelmo" and typed as normal
# windows: a message box is told by its height (a line of text and a button: 83 pixels; the
# lowest window here, the icon's, is 152).
kelmo_windows() { xdotool search --onlyvisible --name '^Kelmo$' 2> /dev/null; }
# xwininfo waits for a click when given no window: never without one, never for long.
window_info() { [ -n "$1" ] && timeout 10 xwininfo -id "$1"; }
height_of() { window_info "$1" | awk '/Height:/ { print $2 }'; }
first() { local w; read -r w || return 1; echo "$w"; } # fails where there is none, for wait_for
main_window() { for w in $(kelmo_windows); do [ "$(height_of "$w")" -ge 120 ] && echo "$w"; done | first; }
message_box() { for w in $(kelmo_windows); do [ "$(height_of "$w")" -lt 120 ] && echo "$w"; done | first; }
stop_kelmo() { wineserver -k 2> /dev/null; sleep 0.5; }
# The box around the largest area of the picture's colour in the window, the view (the panoramic
# copy beside it has the colour too), as W H X Y (client pixels).
colour_box() { # WINDOW
  # The screen, cut to the window: import's grab of a Wine window alone can wait for ever.
  local geometry
  geometry=$(window_info "$1" | awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
    /Width:/ { w = $2 } /Height:/ { h = $2 } END { printf "%dx%d+%d+%d", w, h, x, y }')
  timeout 20 import -window root -crop "$geometry" +repage "$work/window.png" 2> /dev/null
  # The colour within 6 % made white, then everything not exactly white black (the window's own
  # light grey would pass as white within 6 %).
  convert "$work/window.png" -fuzz 6% -fill white -opaque "$colour" \
    -fuzz 0 -fill black +opaque white \
    -define connected-components:verbose=true -connected-components 4 null: |
    awk '/srgb\(255,255,255\)|white|gray\(255\)/ && $4 > best { best = $4; box = $2 } END { print box }' |
    sed -E 's/([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)/\1 \2 \3 \4/'
}
client_size() { window_info "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }'; }

# Each picture at its natural size, the window fitted around it: the same margins right of it
# and below it whatever its size.
margins=
for picture in "foto año.jpg:400x300" "plano ñandú.png:410x305" "web.webp:420x310" \
  "av1 cámara.avif:430x315" "móvil.heic:440x320" "jxl.jxl:450x325" "animación.gif:460x330" \
  "mapa de bits.bmp:470x335" "icono.ico:128x128"; do
  name=${picture%:*}
  start_kelmo "$(windows_path "$pictures/$name")"
  if ! wait_for 30 main_window; then
    check "$name: a window" none shown
    cat "$work/kelmo.log"
    stop_kelmo
    continue
  fi
  window=$(main_window) # gone again (it failed as it started) when empty: measured as nothing
  # Until the picture is painted at its size, for at most 10 seconds (a loaded machine paints late).
  for _ in $(seq 20); do
    sleep 0.5
    read -r w h x y <<< "$(colour_box "$window")"
    [ "${w}x${h}" = "${picture#*:}" ] && break
  done
  check "$name: shown at its size" "${w}x${h}" "${picture#*:}"
  read -r cw ch <<< "$(client_size "$window")"
  if [ "$name" != icono.ico ]; then # below the narrowest window
    these="$((cw - x - w)) $((ch - y - h))"
    check "$name: the window's margins" "$these" "${margins:-$these}"
    margins=${margins:-$these}
  fi
  stop_kelmo
done

# An unreadable file: the start-up message, before the window.
start_kelmo "$(windows_path "$pictures/roto.jpg")"
wait_for 30 message_box
check "unreadable file: a message box" "$([ -n "$(message_box)" ] && echo yes)" yes
check "unreadable file: no window before its OK" "$(main_window)" ""
xdotool windowactivate --sync "$(message_box)" > /dev/null 2>&1
xdotool key --window "$(message_box)" Return
wait_for 10 main_window
check "unreadable file: the window after its OK" "$([ -n "$(main_window)" ] && echo yes)" yes
stop_kelmo

# Ctrl+C: a selection of 330 × 50 pixels from the view's corner, from the keyboard, read back
# from the clipboard as a device-independent bitmap.
convert \( -size 320x240 xc:'#ff0000' xc:'#00ff00' +append \) \
  \( -size 320x240 xc:'#0000ff' xc:'#ffff00' +append \) -append BMP3:"$work/cuartos.bmp"
start_kelmo "$(windows_path "$work/cuartos.bmp")"
wait_for 30 main_window
window=$(main_window)
xdotool windowactivate --sync "$window" > /dev/null 2>&1
sleep 1
xdotool key --clearmodifiers --delay 30 $(printf 'ctrl+shift+Right %.0s' {1..34}) \
  $(printf 'ctrl+shift+Down %.0s' {1..5}) $(printf 'shift+Left %.0s' {1..10}) shift+Down shift+Up
sleep 0.3
xdotool key --clearmodifiers ctrl+c
read_clipboard() {
  wine "$(windows_path "$clipboard_dib")" "$(windows_path "$work/pegado.bmp")" > /dev/null 2>&1
}
wait_for 10 read_clipboard # the keys may still be on their way on a loaded machine
check "Ctrl+C: a device-independent bitmap on the clipboard" "$?" 0
convert "$work/cuartos.bmp" -crop 330x50+0+0 +repage "$work/esperado.png"
check "Ctrl+C: its size" "$(identify -format '%wx%h' "$work/pegado.bmp" 2> /dev/null)" 330x50
check "Ctrl+C: pixels unlike the cut" \
  "$(compare -metric AE "$work/pegado.bmp" "$work/esperado.png" null: 2>&1)" 0
stop_kelmo

# The uninstaller removes what was installed and the registry entries made for it.
wine "$(windows_path "$folder/uninstall.exe")" /S > /dev/null 2>&1
wineserver -w
sleep 2
wineserver -w
check "uninstalled: the folder" "$([ -e "$folder" ] && echo "still there: $(find "$folder")")" ""
check "uninstalled: the Start menu entry" "$([ -e "$menu_entry" ] && echo there)" ""
registry() { wine reg query "$1" > /dev/null 2>&1 && echo there; }
check "uninstalled: the Open with entry" \
  "$(registry 'HKLM\Software\Classes\Applications\kelmo.exe')" ""
check "uninstalled: the uninstall entry" \
  "$(registry 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelmo')" ""
check "uninstalled: .jpg's Open with list" \
  "$(registry 'HKLM\Software\Classes\.jpg\OpenWithList\kelmo.exe')" ""
check "uninstalled: .jpg's own program kept" \
  "$(wine reg query 'HKLM\Software\Classes\.jpg' /ve 2> /dev/null | grep -c jpegfile)" 1

echo "windows desktop test: $installed_files files installed; $passed passed, $failed failed"
[ $failed -eq 0 ]

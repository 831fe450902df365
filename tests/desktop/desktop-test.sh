#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The desktop test: the built program on an X display (Xvfb) with a real window manager
# (openbox), driven with synthetic input (XTest, through xdotool) and checked on the screen's
# pixels, on its windows' X properties, on what another program pastes (xclip) and on what it
# prints (pdftoppm). The real file and print dialogs are used.
# Usage (under xvfb-run): desktop-test.sh KELMO_BINARY EXPECTED_SIZES_BINARY
set -uo pipefail
kelmo=$1
expected_sizes=$2
. "$(dirname "$0")/x11-session.sh"

# A picture of four coloured quarters, and a small one for the minimum height.
convert \( -size 320x240 xc:'#ff0000' xc:'#00ff00' +append \) \
        \( -size 320x240 xc:'#0000ff' xc:'#ffff00' +append \) -append BMP3:"$work/cuartos.bmp"
convert -size 16x16 xc:'#ff00ff' BMP3:"$work/pequena.bmp"
# A folder to go through, in the order a person reads the names: foto1, foto2, foto10.
mkdir "$work/carpeta"
convert -size 200x150 xc:'#808000' BMP3:"$work/carpeta/foto1.bmp"
convert -size 300x100 xc:'#008080' PNG24:"$work/carpeta/foto2.png"
convert -size 120x260 xc:'#800080' BMP3:"$work/carpeta/foto10.bmp"
# Photographs larger than the screen, each of one colour.
solid_png() { # PATH WIDTH HEIGHT RRGGBB
  python3 - "$@" <<'PNG'
import struct, sys, zlib
path, width, height, colour = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
rows = zlib.compressobj(1)
row = b'\x00' + bytes.fromhex(colour) * width
pixels = b''.join(rows.compress(row) for _ in range(height)) + rows.flush()
with open(path, 'wb') as f:
    f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', pixels) + chunk(b'IEND', b''))
PNG
}
solid_png "$work/foto4000.png" 4000 3000 c06000
solid_png "$work/foto12000.png" 12000 8000 60c0a0
screen=$(xwininfo -root | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
declare -A size view
while read -r step w h vw vh; do size[$step]="${w}x${h}"; view[$step]="${vw}x${vh}"; done \
  < <("$expected_sizes" "$screen" "$work/cuartos.bmp" "$work/pequena.bmp" \
        "$work/carpeta/foto1.bmp" "$work/carpeta/foto2.png" "$work/carpeta/foto10.bmp" \
        "$work/foto4000.png" "$work/foto12000.png" 2> /dev/null)

"$kelmo" "$work/cuartos.bmp" 2> "$work/kelmo.log" &
kelmo_pid=$!
pids+=($kelmo_pid)

window_type() { # the first of its types
  xprop -id "$1" _NET_WM_WINDOW_TYPE 2> /dev/null | sed 's/^[^=]*= _NET_WM_WINDOW_TYPE_//; s/,.*//'
}
# The visible windows of the program of the given type (NORMAL, DIALOG...).
windows_of_type() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$kelmo_pid" 2> /dev/null); do
    [ "$(window_type "$w")" == "$1" ] && echo "$w"
  done
}
# Pop-up menus: the program's override-redirect windows on the screen.
popups() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$kelmo_pid" 2> /dev/null); do
    xwininfo -id "$w" | grep -q "Override Redirect State: yes" && echo "$w"
  done
}
count_of_type() { windows_of_type "$1" | wc -l; }
has_type() { [ "$(count_of_type "$1")" -gt 0 ]; }
has_popup() { [ -n "$(popups)" ]; }
no_type() { [ "$(count_of_type "$1")" -eq 0 ]; }
# The outer size, frame included: the client's size and the frame the window manager added.
outer_size() {
  local client extents
  client=$(xwininfo -id "$main" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
  extents=$(xprop -id "$main" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  read -r cw ch <<< "$client"
  read -r l r t b <<< "$extents"
  echo "$((cw + l + r))x$((ch + t + b))"
}
settled_outer_size() { sleep 0.4; outer_size; }
key() { xdotool key --clearmodifiers "$@"; sleep 0.15; }
# Where a colour first appears in the main window's view, right of the buttons and the panoramic
# copy (client pixels), as X Y.
find_colour() {
  import -window "$main" "$work/window.png" 2> /dev/null
  convert "$work/window.png" -crop +86+0 -fill black -fuzz 8% +opaque "$1" -format '%@' info: |
    sed -E 's/[0-9]+x[0-9]+\+([0-9]+)\+([0-9]+)/\1 \2/' | awk '{ print $1 + 86, $2 }'
}

wait_for 15 has_type NORMAL || { echo "the window never showed"; cat "$work/kelmo.log"; exit 1; }
main=$(windows_of_type NORMAL | head -n 1)
xdotool windowactivate --sync "$main" > /dev/null 2>&1
check "outer size after start-up" "$(settled_outer_size)" "${size[start]}"

# The buttons, from the keyboard: the first (enlarge) has the focus; Tab moves to reduce, zoom
# and restore. Space presses the button with the focus.
key space
check "outer size after enlarge" "$(settled_outer_size)" "${size[enlarge]}"
key Tab space
key space
check "outer size after reduce twice" "$(settled_outer_size)" "${size[reduce]}"
key Tab Tab space
check "outer size after restore" "$(settled_outer_size)" "${size[restore]}"

# Ctrl+C without a selection: one message box from every focus, never a second one after it.
one_box_per_press() { # NAME
  key ctrl+c
  wait_for 5 has_type DIALOG
  check "$1: boxes for one Ctrl+C" "$(count_of_type DIALOG)" 1
  key Return
  wait_for 5 no_type DIALOG
  sleep 0.5
  check "$1: boxes after its OK" "$(count_of_type DIALOG)" 0
}
for focus in restore enlarge reduce zoom; do
  one_box_per_press "focus on $focus"
  key Tab
done

read -r red_x red_y <<< "$(find_colour '#ff0000')"
check "the picture's top-left quarter is red" "$([ -n "$red_x" ] && echo yes)" yes
view_x=$((red_x + 100))
view_y=$((red_y + 100))
# The window's own background: the margin left of the buttons, at any size of the window.
background_x=3
background_y=$((red_y + 50))

# From the keyboard alone, the focus on the restore button. The menu key, the pointer away from
# the view: "Editar" at the view's top-left corner.
xdotool mousemove --window "$main" "$background_x" "$background_y"
key Menu
wait_for 5 has_popup
absolute() { xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } END { print x, y }'; }
read -r main_x main_y <<< "$(absolute "$main")"
check "the menu key's pop-up at the view's corner" "$(absolute "$(popups | head -n 1)")" \
  "$((main_x + red_x)) $((main_y + red_y))"
key Escape
# A selection of 330 × 50 pixels from the view's corner, across the red quarter's right edge:
# Ctrl+Shift+arrows ten pixels at a time, Shift+arrows one.
xdotool key --clearmodifiers --delay 30 $(printf 'ctrl+shift+Right %.0s' {1..34}) \
  $(printf 'ctrl+shift+Down %.0s' {1..5}) shift+Left shift+Left shift+Left shift+Left \
  shift+Left shift+Left shift+Left shift+Left shift+Left shift+Left shift+Down shift+Up
sleep 0.3
key ctrl+c
sleep 0.3
convert "$work/cuartos.bmp" -crop 330x50+0+0 +repage "$work/esperado.png"
exact_cut() { # FILE: the number of its pixels that differ from the expected cut
  compare -metric AE "$1" "$work/esperado.png" null: 2>&1
}
xclip -o -selection clipboard -t image/png > "$work/teclado.png" 2> /dev/null
check "keys: the pasted cut's size" "$(identify -format '%wx%h' "$work/teclado.png" 2> /dev/null)" \
  330x50
check "keys: pixels of the paste unlike the cut" "$(exact_cut "$work/teclado.png")" 0
# Saved through the menu bar: Alt, "Fichero", its third command.
key alt
key Down Down Down Return
wait_for 10 has_type DIALOG
xdotool type --delay 2 "$work/teclado.bmp"
key Return
wait_for 10 no_type DIALOG
sleep 0.3
check "keys: pixels of the saved file unlike the cut" "$(exact_cut "$work/teclado.bmp")" 0
# Tab from the restore button to the zoom button (enlarge, reduce, zoom), Space: the 330 pixels
# fill the view's 640, the green quarter from 320 × 640 / 330 on.
key Tab Tab Tab space
sleep 0.3
read -r green_x _ <<< "$(find_colour '#00ff00')"
check "keys: zoomed, green from the view's 620th pixel" \
  "$([ -n "$green_x" ] && [ $((green_x - red_x)) -ge 619 ] && [ $((green_x - red_x)) -le 622 ] && echo yes)" yes
# Back to the whole picture, with the restore button, the focus where it was before.
key Tab space
sleep 0.3
check "keys: the whole picture again" "$(find_colour '#ff0000')" "$red_x $red_y"

# A left drag over the view from X Y, 100 pixels right and 50 down, in steps as a hand moves.
select_100_by_50() {
  xdotool mousemove --window "$main" "$1" "$2" mousedown 1
  for step in 1 2 3 4 5; do
    xdotool mousemove --window "$main" $(($1 + 20 * step)) $(($2 + 10 * step))
    sleep 0.05
  done
  xdotool mouseup 1
}

# Right presses: "Editar" over the view, "Fichero" over the window.
popup_at() { # X Y: right press there, the pop-up menu shows
  xdotool mousemove --window "$main" "$1" "$2" click 3
  wait_for 5 has_popup
}
popup_at "$view_x" "$view_y"
check "a pop-up over the view" "$(popups | wc -l)" 1
key Escape
popup_at "$background_x" "$background_y"
check "a pop-up over the window" "$(popups | wc -l)" 1
key Escape

# Open through the real file dialog: Fichero's first item. A small picture: the minimum height.
open_picture() { # PATH
  popup_at "$background_x" "$background_y"
  key Down Return
  wait_for 10 has_type DIALOG
  xdotool type --delay 2 "$1"
  key Return
  wait_for 10 no_type DIALOG
}
open_picture "$work/pequena.bmp"
check "outer size after opening a small picture" "$(settled_outer_size)" "${size[open]}"
# A dialog cancelled: the next key press still reaches the form once.
popup_at "$background_x" "$background_y"
key Down Return
wait_for 10 has_type DIALOG
key Escape
wait_for 5 no_type DIALOG
one_box_per_press "after a cancelled file dialog"
open_picture "$work/cuartos.bmp"
read -r red_x red_y <<< "$(find_colour '#ff0000')"

# A long read, a 16000 × 16000 PNG: after half a second the progress window shows, with the
# file's name, and Esc ends the read: no message, and the window as it was.
python3 - "$work/grande.png" 16000 <<'PNG'
import struct, sys, zlib
path, side = sys.argv[1], int(sys.argv[2])
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
rows = zlib.compressobj(1)
row = b'\x00' + b'\x00\x80\xff' * side
pixels = b''.join(rows.compress(row) for _ in range(side)) + rows.flush()
with open(path, 'wb') as f:
    f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', side, side, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', pixels) + chunk(b'IEND', b''))
PNG
size_before=$(outer_size)
caption_before=$(xprop -id "$main" WM_NAME)
popup_at "$background_x" "$background_y"
key Down Return
wait_for 10 has_type DIALOG
xdotool type --delay 2 "$work/grande.png"
key Return
# The file dialog closes; then the progress window, a dialog of its own title, shows.
progress_shows() {
  local w
  for w in $(windows_of_type DIALOG); do
    xprop -id "$w" WM_NAME | grep -q '"Kelmo"' && return 0
  done
  return 1
}
check "a long read shows the progress window" "$(wait_for 10 progress_shows && echo yes)" yes
key Escape
check "Esc ends the read" "$(wait_for 5 no_type DIALOG && echo yes)" yes
sleep 3 # longer than the read would have taken
check "no message after a cancelled read" "$(count_of_type DIALOG)" 0
check "outer size after a cancelled read" "$(outer_size)" "$size_before"
check "caption after a cancelled read" "$(xprop -id "$main" WM_NAME)" "$caption_before"
check "the picture after a cancelled read" "$(find_colour '#ff0000')" "$red_x $red_y"

# A selection inside the red quarter, copied with Ctrl+C: another program pastes it.
select_100_by_50 $((red_x + 20)) $((red_y + 20))
sleep 0.2
key ctrl+c
sleep 0.3
check "no box when there is a selection" "$(count_of_type DIALOG)" 0
xclip -o -selection clipboard -t image/png > "$work/pegado.png" 2> /dev/null
check "the pasted picture's size" "$(identify -format '%wx%h' "$work/pegado.png" 2> /dev/null)" \
  "100x50"
check "the pasted picture's colour" \
  "$(convert "$work/pegado.png" -format '%[hex:p{50,25}]' info: 2> /dev/null | cut -c1-6)" FF0000

# Save through the real file dialog: Fichero's third item.
popup_at "$background_x" "$background_y"
key Down Down Down Return
wait_for 10 has_type DIALOG
xdotool type --delay 2 "$work/corte.bmp"
key Return
wait_for 10 no_type DIALOG
sleep 0.3
check "the saved selection" "$(identify -format '%m %wx%h' "$work/corte.bmp" 2> /dev/null)" \
  "BMP3 100x50"

# Print through the real print dialog: Alt, then to "Imprimir" (the fourth menu), its first
# item. Without a printer on the machine the PDF file output is the printer. With `selection`,
# the dialog's options are opened and "Selección" chosen (by its place in Qt's dialog).
print_to_pdf() { # [selection]
  rm -f "$HOME/Documents/imagen.pdf"
  key alt
  key Right Right Right Down Return
  wait_for 10 has_type DIALOG
  if [ "${1:-}" == selection ]; then
    key alt+o
    sleep 0.5
    xdotool mousemove --window "$(windows_of_type DIALOG | head -n 1)" 37 294 click 1
    sleep 0.2
  fi
  key Return
  wait_for 10 no_type DIALOG
  wait_for 10 test -s "$HOME/Documents/imagen.pdf"
  pdftoppm -r 96 -png -singlefile "$HOME/Documents/imagen.pdf" "$work/impreso" 2> /dev/null
}
quarter() { # COLOUR: the size of its area on the printed page
  convert "$work/impreso.png" -fill black -fuzz 8% +opaque "$1" -format '%@' info: 2> /dev/null |
    sed -E 's/\+.*//'
}
print_to_pdf
# Within a pixel: the page is rasterised at 96 dpi and the quarters' edges are blended.
about() { # WxH NOMINAL_W NOMINAL_H
  local w=${1%x*} h=${1#*x}
  [ -n "$1" ] && [ $((w - $2)) -ge -1 ] && [ $((w - $2)) -le 1 ] &&
    [ $((h - $3)) -ge -1 ] && [ $((h - $3)) -le 1 ] && echo "within a pixel"
}
check "printed red quarter at its own size" "$(about "$(quarter '#ff0000')" 320 240)" \
  "within a pixel"
check "printed yellow quarter at its own size" "$(about "$(quarter '#ffff00')" 320 240)" \
  "within a pixel"

# Zoomed into a selection inside the green quarter (the zoom button: the third), "Selección"
# prints what the view shows: that cut, at its own size, and nothing of the other quarters.
select_100_by_50 $((red_x + 340)) $((red_y + 20))
xdotool mousemove --window "$main" 24 $((red_y + 68)) click 1
sleep 0.3
print_to_pdf selection
check "printed zoomed view: the green cut at its own size" \
  "$(about "$(quarter '#00ff00')" 100 50)" "within a pixel"
check "printed zoomed view: no red" "$(quarter '#ff0000')" 0x0

# Through the folder with the keys, from two focuses, the window fitted to each picture; a file
# deleted meanwhile is passed over from its place.
open_picture "$work/carpeta/foto1.bmp"
check "folder: the first picture" "$(settled_outer_size)" "${size[folder0]}"
key Right
check "folder: Right" "$(settled_outer_size)" "${size[folder1]}"
key Tab
rm "$work/carpeta/foto2.png"
key Next
check "folder: Page Down from another focus" "$(settled_outer_size)" "${size[folder2]}"
key Right
check "folder: Right at the end" "$(settled_outer_size)" "${size[folder2]}"
key Left
check "folder: Left past the deleted file" "$(settled_outer_size)" "${size[folder0]}"
key End
check "folder: End" "$(settled_outer_size)" "${size[folder2]}"
check "folder: no message" "$(count_of_type DIALOG)" 0

# After every dialog, the clipboard, printing and a JPEG opened, the viewer's own process has
# mapped no picture library: they belong to its reader processes.
convert -size 64x48 xc:'#0000ff' "$work/azul.jpg"
open_picture "$work/azul.jpg"
check "a JPEG opened through the dialog" "$(xprop -id "$main" WM_NAME | grep -c azul.jpg)" 1
picture_libraries='lib(jpeg|avif|heif|jxl|lcms2|webp|sharpyuv|deflate|dav1d|aom|rav1e|SvtAv1|gav1|absl|yuv|x265|de265|hwy|tiff|mng)|/kelmo-'
check "picture libraries in the viewer's own process" \
  "$(grep -cE "$picture_libraries" "/proc/$kelmo_pid/maps")" 0

# Photographs larger than the screen: shown whole, in a window that fits the screen, after the
# fewest reductions (the sizes the handlers give on a screen of this size).
fits_screen() { # WxH
  local w=${1%x*} h=${1#*x}
  [ -n "$1" ] && [ "$w" -le "${screen%x*}" ] && [ "$h" -le "${screen#*x}" ] && echo fits
}
shown_view() { # COLOUR: the size of its area in the window, right of the panoramic copy
  import -window "$main" "$work/window.png" 2> /dev/null
  convert "$work/window.png" -crop +86+0 -fill black -fuzz 8% +opaque "$1" -format '%@' info: |
    sed -E 's/\+.*//'
}
step=3
for photo in foto4000.png:#c06000 foto12000.png:#60c0a0; do
  open_picture "$work/${photo%%:*}"
  wait_for 30 sh -c "xprop -id $main WM_NAME | grep -q ${photo%%:*}"
  wait_for 10 no_type DIALOG
  check "$photo: outer size" "$(settled_outer_size)" "${size[folder$step]}"
  check "$photo: the window fits the screen" "$(fits_screen "$(outer_size)")" fits
  check "$photo: the whole picture in the view" "$(shown_view "${photo#*:}")" "${view[folder$step]}"
  step=$((step + 1))
done

kill "$kelmo_pid" 2> /dev/null
wait "$kelmo_pid" 2> /dev/null
if grep -E "AddressSanitizer|ThreadSanitizer|runtime error" "$work/kelmo.log"; then
  failed=$((failed + 1))
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

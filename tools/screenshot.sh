#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes docs/screenshot.png: Kelmo with its built-in picture after a zoom, under Xvfb.
# Needs xvfb, xdotool and imagemagick. Usage: tools/screenshot.sh [path-to-kelmo]
set -euo pipefail
cd "$(dirname "$0")/.."
kelmo=${1:-build/kelmo}
out=docs/screenshot.png
xvfb-run -a -s "-screen 0 640x480x24" bash -c '
  "$0" & pid=$!
  for _ in $(seq 50); do
    wid=$(xdotool search --name "^Kelmo$" 2>/dev/null | head -n 1) && [ -n "$wid" ] && break
    sleep 0.1
  done
  xdotool windowmove --sync "$wid" 0 0
  sleep 0.5
  # Screen positions below the menu bar: the view starts 88 pixels from the left edge.
  # Drag a selection over the sun and the ridge, then press the Zoom button.
  x=$((88 + 120)); y=80
  xdotool mousemove $x $y mousedown 1
  for i in $(seq 1 10); do xdotool mousemove $((x + i * 9)) $((y + i * 7)); sleep 0.03; done
  xdotool mouseup 1
  xdotool mousemove 24 90 click 1
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  import -window root -crop "${WIDTH}x${HEIGHT}+0+0" "$1"
  kill $pid
' "$kelmo" "$out"
echo "wrote $out"

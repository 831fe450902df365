#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Animations on a real desktop: the built program under Xvfb with openbox plays each of five
# files (GIF, WebP, APNG, AVIF and JPEG XL: red, green and blue frames of 600 ms, for ever),
# checked on the screen's pixels: the frames come in order and on time, loop after loop. P
# pauses and the period steps; minimised, the program uses no processor time.
# Usage (under xvfb-run): animation-test.sh KELMO_BINARY PIXEL_TIMELINE_BINARY DATA_FOLDER
set -uo pipefail
kelmo=$1
timeline=$2
data=$3
work=$(mktemp -d)
export HOME=$work/home
mkdir -p "$HOME"
export QT_QPA_PLATFORM=xcb
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() { # check NAME ACTUAL EXPECTED
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED $1: got '$2', expected '$3'"
  fi
}
wait_for() { # SECONDS COMMAND...: polls the command until it succeeds
  local until=$((SECONDS + $1))
  shift
  until "$@" > /dev/null 2>&1; do
    [ $SECONDS -ge $until ] && return 1
    sleep 0.05
  done
}

openbox > /dev/null 2>&1 &
pids+=($!)
wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
  { echo "openbox did not start"; exit 1; }

# The view's centre on the screen: the window's client origin plus the view's place (the view
# starts right of the buttons and the panoramic copy, 86 pixels in, at the top).
view_centre() { # WINDOW
  xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
    END { print x + 86 + 80, y + 60 }'
}

# Reads the pixel timeline and judges it: the colours in play order (red, green, blue, again),
# each frame on screen for 600 ms within one frame's tolerance, and at least two loops.
judge() { # TIMELINE_FILE: prints "ok" or what was wrong
  awk '
    function name(c) { return c == "ff0000" ? "r" : c == "00ff00" ? "g" : c == "0000ff" ? "b" : "" }
    { n = name($2); if (n == "") next; t[++k] = $1; c[k] = n }
    END {
      if (k < 7) { print "only " k " frames seen"; exit }
      for (i = 2; i <= k; i++) {
        want = c[i-1] == "r" ? "g" : c[i-1] == "g" ? "b" : "r"
        if (c[i] != want) { print "frame " i " was " c[i] " after " c[i-1]; exit }
        if (i > 2 && i < k && (t[i] - t[i-1] < 450 || t[i] - t[i-1] > 750)) {
          print "frame " i-1 " stayed " t[i] - t[i-1] " ms"; exit
        }
      }
      span = (t[k] - t[2]) / (k - 2)
      if (span < 560 || span > 640) { print "frames of " span " ms on average"; exit }
      print "ok"
    }' "$1"
}

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

for file in tres.gif tres.webp tres.png tres.avif tres.jxl; do
  cp "$data/$file" "$work/$file"
  "$kelmo" "$work/$file" > "$work/kelmo.log" 2>&1 &
  pid=$!
  pids+=($pid)
  wait_for 15 sh -c "xdotool search --sync --onlyvisible --pid $pid > /dev/null" ||
    { check "$file: a window" none shown; kill $pid; continue; }
  window=$(xdotool search --onlyvisible --pid $pid | head -n 1)
  read -r x y < <(view_centre "$window")
  "$timeline" "$x" "$y" 4200 > "$work/timeline"
  check "$file: frames in order and on time" "$(judge "$work/timeline")" ok

  if [ "$file" == tres.gif ]; then
    # Paused, the frame stays; the period steps to the next one.
    xdotool windowactivate --sync "$window" > /dev/null 2>&1
    xdotool key --clearmodifiers p
    sleep 0.3
    "$timeline" "$x" "$y" 1500 > "$work/paused"
    check "paused: one colour for 1.5 s" "$(wc -l < "$work/paused")" 1
    before=$(awk '{ print $2 }' "$work/paused")
    xdotool key --clearmodifiers period
    sleep 0.3
    after=$("$timeline" "$x" "$y" 100 | awk '{ print $2 }')
    expected=$(case $before in ff0000) echo 00ff00 ;; 00ff00) echo 0000ff ;; *) echo ff0000 ;; esac)
    check "paused: the period steps to the next frame" "$after" "$expected"
    xdotool key --clearmodifiers p
    # Minimised: no timer, no reading.
    xdotool windowminimize --sync "$window" > /dev/null 2>&1
    sleep 0.5
    ticks=$(cpu_ticks $pid)
    sleep 3
    check "minimised: processor ticks in 3 s" "$(( $(cpu_ticks $pid) - ticks ))" 0
  fi
  kill $pid
  wait $pid 2> /dev/null
done

echo "animation test: $passed passed, $failed failed"

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The desktop test on Wayland: weston's headless compositor, started here in a runtime folder of
# its own, and Kelmo's window through Qt's Wayland platform, checked on the compositor's
# screenshots: the built program at start-up, then the window's commands (kelmo_wayland_window).
# Usage: wayland-test.sh KELMO_BINARY WAYLAND_WINDOW_BINARY
set -uo pipefail
kelmo=$1
wayland_window=$2
if ! command -v weston > /dev/null || ! command -v weston-screenshooter > /dev/null; then
  echo "SKIPPED: weston is not installed (tools/install-deps.sh installs it)"
  exit 77
fi
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -p "$HOME"
unset DISPLAY
export QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=kelmo-test
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null; done
  wait 2> /dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Wide and tall enough for the largest window enlarged where weston first placed it.
weston --backend=headless-backend.so --use-pixman --width=2800 --height=1900 \
  --socket="$WAYLAND_DISPLAY" --debug --idle-time=0 > "$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break
  sleep 0.1
done
sleep 1 # the shell's own clients

passed=0
failed=0
mkdir "$work/carpeta"
pictures=()
n=1
for size in 64x64 300x200 640x480 1000x700; do
  pictures+=("$work/carpeta/foto$n.bmp")
  convert -size "$size" xc:'#00c000' BMP3:"$work/carpeta/foto$n.bmp"
  n=$((n + 1))
done

# The program itself at start-up: the view shows every row and column of the picture.
for picture in "${pictures[@]}"; do
  "$kelmo" "$picture" > "$work/kelmo.log" 2>&1 &
  pid=$!
  sleep 3
  rm -rf "$work/shot" && mkdir "$work/shot"
  (cd "$work/shot" && weston-screenshooter)
  shown=$("$wayland_window" --view "$work/shot/"*.png)
  kill "$pid" 2> /dev/null
  wait "$pid" 2> /dev/null
  size=$(identify -format '%wx%h' "$picture")
  if [ "$shown" == "$size" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED start-up of $size: the view shows $shown"
  fi
done

"$wayland_window" "${pictures[@]}" 2> "$work/window.log" | tee "$work/window.out"
read -r p _ f _ < <(tail -n 1 "$work/window.out")
passed=$((passed + ${p:-0}))
failed=$((failed + ${f:-1}))
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every performance measurement: the benchmarks, peak memory of a large picture against the
# built-in one and of reading the PNG and WebP noise pictures, and launch to picture on screen
# under Xvfb, Kelmo against itself reading in its own process (kelmo_in_process, which links
# every picture library as Kelmo did before its format modules), the floor (kelmo_qt_floor: a
# bare Qt window with the same menu bar, and without it), feh and gpicview; and the time from
# exec to main; and each still reader's working memory with its format's hardest pictures
# (bench/reader-margin.sh).
# Needs: tools/install-deps.sh, plus xvfb, xauth, feh, time and libx11-dev (installed here when
# missing). Usage: bench/run.sh [launches-per-case]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
need=(xvfb xauth feh gpicview time libx11-dev gifsicle openbox xdotool psmisc)
missing=()
for p in "${need[@]}"; do dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  as_root=(); [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" > /dev/null
fi
cmake --preset bench > /dev/null
cmake --build --preset bench > /dev/null
bin=build-bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== benchmarks"
"$bin/bench/kelmo_bench" --benchmark_color=false 2>&1 | grep -vE "This plugin|XDG_RUNTIME"

echo; echo "== peak resident memory"
"$bin/bench/kelmo_bench" --write-bmp "$work/big24.bmp" 6000 4000 24
peak() { # peak RSS in kB of kelmo showing "$@" for two seconds
  QT_QPA_PLATFORM=offscreen /usr/bin/time -v timeout -s INT 2 "$bin/kelmo" "$@" 2>&1 >/dev/null |
    sed -n "s/.*Maximum resident set size (kbytes): //p" || true
}
base=$(peak); big=$(peak "$work/big24.bmp")
awk -v b="$base" -v g="$big" 'BEGIN {
  printf "  built-in picture: %.1f MB\n  6000x4000 24-bit: %.1f MB\n  difference: %.1f MB = %.2f x the 96 MB of its pixels (target at most 1.40)\n",
    b/1024, g/1024, (g-b)/1024, (g-b)/1024/(6000*4000*4/1048576) }'

echo; echo "== launch to picture on screen (median of $runs, ms)"
"$bin/bench/kelmo_bench" --write-bmp "$work/small.bmp" 256 256 24 ff00ff
"$bin/bench/kelmo_bench" --write-bmp "$work/large.bmp" 6000 4000 24 ff00ff
"$bin/bench/kelmo_bench" --write-photograph "$work/photo.jpg"
"$bin/bench/kelmo_bench" --write-picture "$work/noise-6000.png" png 6000 4000
"$bin/bench/kelmo_bench" --write-picture "$work/noise-12000.png" png 12000 12000
"$bin/bench/kelmo_bench" --write-picture "$work/noise-6000.webp" webp 6000 4000
"$bin/bench/kelmo_bench" --write-picture "$work/noise-8000.webp" webp 8000 6000
echo "== peak resident memory of a read, against the picture's pixels"
for picture in noise-6000.png noise-12000.png noise-6000.webp noise-8000.webp; do
  "$bin/bench/kelmo_bench" --read-peak "$work/$picture" | sed "s|^$work/|  |"
done
cat > "$work/launch.sh" <<SCRIPT
median() { sort -n | awk '{ v[NR] = \$1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
probe() { timeout 20 "$bin/bench/kelmo_launch_probe" 200 150 ff00ff 10000 -- "\$@" 2>/dev/null; sleep 0.2; }
# The viewers take turns, so that whatever else the machine does weighs on all alike.
for picture in small.bmp large.bmp photo.jpg noise-6000.png noise-12000.png noise-6000.webp noise-8000.webp; do
  viewers="kelmo in-process feh gpicview"
  case \$picture in *.webp) viewers="kelmo in-process feh";; esac # gpicview reads no WebP
  [ \$picture = small.bmp ] && viewers="kelmo in-process floor floor-no-menus feh gpicview"
  for i in \$(seq $runs); do
    for viewer in \$viewers; do
      command=\$viewer; [ \$viewer = kelmo ] && command="$bin/kelmo"
      [ \$viewer = in-process ] && command="$bin/bench/kelmo_in_process"
      case \$viewer in floor*) command="$bin/bench/kelmo_qt_floor";; esac
      extra=; [ \$viewer = floor-no-menus ] && extra=--no-menus
      probe "\$command" "$work/\$picture" \$extra >> "$work/\$picture.\$viewer"
    done
  done
  for viewer in \$viewers; do
    median < "$work/\$picture.\$viewer" | sed "s/^/  \$picture \$viewer: /"
  done
done
echo; echo "== exec to main (median of $runs, ms), and the shared libraries each program links"
for program in kelmo bench/kelmo_in_process; do
  for i in \$(seq $runs); do
    KELMO_TRACE_STARTUP=1 KELMO_PROBE_LINGER_MS=200 timeout 20 "$bin/bench/kelmo_launch_probe" \
      200 150 ff00ff 10000 -- "$bin/\$program" "$work/small.bmp" 2>&1 |
      sed -n "s/^kelmo start-up: main *at *\([0-9.]*\) ms.*/\1/p"
  done | median | sed "s|^|  \$program: |; s|\$| ms, \$(ldd "$bin/\$program" | wc -l) libraries|"
done
echo "  bench/kelmo_qt_floor: \$(ldd "$bin/bench/kelmo_qt_floor" | wc -l) libraries"
echo; echo "== Kelmo's own split, from the moment the probe started it (one launch each)"
for picture in small.bmp large.bmp photo.jpg; do
  echo "  \$picture:"
  KELMO_TRACE_STARTUP=1 KELMO_PROBE_LINGER_MS=500 timeout 20 "$bin/bench/kelmo_launch_probe" \
    200 150 ff00ff 10000 -- "$bin/kelmo" "$work/\$picture" 2>&1 | sed -n "s/^kelmo start-up: /    /p"
done
SCRIPT
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/launch.sh"

echo; echo "== animations"
# A 1920 × 1080 GIF of 30 frames at 33 ms (the nearest GIF delay to 30 frames a second), one of
# 500 such frames (4 GB if every frame were kept), and the first frame alone as a still GIF:
# frame 0 is magenta for the launch probe, the others bands of other colours.
for i in 0 1 2 3 4 5 6 7 8 9; do
  colour=$([ $i -eq 0 ] && echo '#ff00ff' || echo "hsl($((i * 36)),80%,50%)")
  band=(); [ $i -gt 0 ] && band=(-fill white -draw "rectangle $((i * 192)),0 $((i * 192 + 191)),1079")
  convert -size 1920x1080 xc:"$colour" "${band[@]}" "$work/f$i.gif"
done
cp "$work/f0.gif" "$work/still.gif"
frames30=(); for i in $(seq 0 29); do frames30+=("$work/f$((i % 10)).gif"); done
gifsicle --no-warnings --delay 3 --loopcount=forever "${frames30[@]}" > "$work/anim30.gif"
frames500=(); for i in $(seq 0 499); do frames500+=("$work/f$((i % 10)).gif"); done
gifsicle --no-warnings --delay 3 --loopcount=forever "${frames500[@]}" > "$work/anim500.gif"
cat > "$work/animations.sh" <<SCRIPT
# Launches first, with no window manager, as the launches above are measured.
median() { sort -n | awk '{ v[NR] = \$1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
for i in \$(seq $runs); do
  for picture in still anim30; do
    timeout 20 "$bin/bench/kelmo_launch_probe" 200 150 ff00ff 10000 -- "$bin/kelmo" "$work/\$picture.gif" \
      2>/dev/null >> "$work/launch.\$picture"; sleep 0.2
  done
done
echo "  launch to first frame (median of $runs, ms): still GIF \$(median < "$work/launch.still"), 30-frame GIF \$(median < "$work/launch.anim30")"
openbox > /dev/null 2>&1 &
sleep 1
# Processor ticks (1/100 s) of the viewer and every process under it.
tree_ticks() { for p in \$(pstree -pT "\$1" | grep -o '([0-9]*)' | tr -d '()'); do
  awk '{ print \$14 + \$15 }' /proc/\$p/stat 2>/dev/null; done | awk '{ s += \$1 } END { print s }'; }
# Resident memory (kB) of the viewer alone, and of the processes under it.
viewer_kb() { awk '/^VmRSS/ { print \$2 }' /proc/\$1/status; }
readers_kb() { for p in \$(pstree -pT "\$1" | grep -o '([0-9]*)' | tr -d '()' | grep -vx "\$1"); do
  awk '/^VmRSS/ { print \$2 }' /proc/\$p/status 2>/dev/null; done | awk '{ s += \$1 } END { print s + 0 }'; }
"$bin/kelmo" "$work/anim30.gif" > /dev/null 2>&1 &
pid=\$!
sleep 3
t=\$(tree_ticks \$pid); sleep 10; t2=\$(tree_ticks \$pid)
echo "  30-frame 1920x1080 GIF at 33 ms, playing: \$(( (t2 - t) / 10 )) % of one core (10 s)"
xdotool windowminimize --sync "\$(xdotool search --onlyvisible --pid \$pid | head -n 1)"; sleep 1
t=\$(tree_ticks \$pid); sleep 10; t2=\$(tree_ticks \$pid)
echo "  the same, minimised: \$(( t2 - t )) hundredths of a second of processor time in 10 s"
kill \$pid; wait \$pid 2>/dev/null
"$bin/kelmo" "$work/anim500.gif" > /dev/null 2>&1 &
pid=\$!
peak_v=0; peak_r=0
for loop in 1 2 3 4 5 6 7 8 9 10; do
  for s in \$(seq 17); do  # a loop: 500 frames of 33 ms
    v=\$(viewer_kb \$pid); r=\$(readers_kb \$pid)
    [ "\$v" -gt \$peak_v ] && peak_v=\$v; [ "\$r" -gt \$peak_r ] && peak_r=\$r
    sleep 1
  done
  [ \$loop = 1 ] && first=\$v
  [ \$loop = 10 ] && echo "  500-frame 1920x1080 GIF, viewer after loop 1: \$((first / 1024)) MB, after loop 10: \$((v / 1024)) MB"
done
echo "  500-frame 1920x1080 GIF, peaks over ten loops: viewer \$((peak_v / 1024)) MB, readers \$((peak_r / 1024)) MB, together at most \$(((peak_v + peak_r) / 1024)) MB"
kill \$pid; wait \$pid 2>/dev/null
SCRIPT
xvfb-run -a -s "-screen 0 1920x1200x24" bash "$work/animations.sh"
echo; echo "== reader working memory, per format"
bench/reader-margin.sh "$bin" "$work/margin"

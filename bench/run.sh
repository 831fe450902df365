#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every performance measurement: the benchmarks, peak memory of a large picture against the
# built-in one and of reading the PNG and WebP noise pictures, and launch to picture on screen
# under Xvfb, Kelmo against itself reading in its own process (kelmo_in_process, which links
# every picture library as Kelmo did before its format modules), the floor (kelmo_qt_floor: a
# bare Qt window with the same menu bar, and without it), feh and gpicview; and the time from
# exec to main.
# Needs: tools/install-deps.sh, plus xvfb, xauth, feh, time and libx11-dev (installed here when
# missing). Usage: bench/run.sh [launches-per-case]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
need=(xvfb xauth feh gpicview time libx11-dev)
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

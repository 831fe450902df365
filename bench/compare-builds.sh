#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Compares two builds of Kelmo in one run, taking turns so that whatever else the machine does
# weighs on both alike: launch to picture on screen under Xvfb (kelmo_launch_probe), and the
# reads in the reader process (BM_ReaderProcessVsInProcess).
#
#   bench/compare-builds.sh BEFORE-BUILD AFTER-BUILD [launches-per-case] [read-rounds]
#
# Each build folder is a configured and built `bench` preset (build-bench) of a checkout.
# Prints, for every case, both medians and the difference in milliseconds and per cent.
set -euo pipefail
[ $# -ge 2 ] || { sed -n 3,10p "$0"; exit 2; }
before=$(cd "$1" && pwd)
after=$(cd "$2" && pwd)
runs=${3:-21}
rounds=${4:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

tools=$after/bench
"$tools/kelmo_bench" --write-bmp "$work/small.bmp" 256 256 24 ff00ff
"$tools/kelmo_bench" --write-bmp "$work/large.bmp" 6000 4000 24 ff00ff
"$tools/kelmo_bench" --write-photograph "$work/photo.jpg"

cat >"$work/launch.sh" <<SCRIPT
for i in \$(seq $runs); do
  for picture in small.bmp large.bmp photo.jpg; do
    for build in before after; do
      bin=$before; [ \$build = after ] && bin=$after
      timeout 20 "$tools/kelmo_launch_probe" 200 150 ff00ff 10000 -- "\$bin/kelmo" \
        "$work/\$picture" 2>/dev/null >>"$work/\$picture.\$build"
      sleep 0.2
    done
  done
done
SCRIPT
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/launch.sh"

for i in $(seq "$rounds"); do
  for build in before after; do
    bin=$before
    [ $build = after ] && bin=$after
    "$bin/bench/kelmo_bench" --benchmark_filter=BM_ReaderProcessVsInProcess 2>/dev/null |
      sed 's/\x1b\[[0-9;]*m//g' | # the benchmark colours its table whatever it is asked
      awk -v out="$work/read.$build" '$1 ~ /^BM_ReaderProcessVsInProcess/ { print $1, $2 >> out }'
  done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
compare() { # compare NAME BEFORE-MEDIAN AFTER-MEDIAN
  awk -v n="$1" -v b="$2" -v a="$3" 'BEGIN {
    printf "  %-48s %9.2f %9.2f %+8.2f ms %+7.1f %%\n", n, b, a, a - b, (a - b) / b * 100 }'
}
echo "== launch to picture on screen (median of $runs, ms): before, after, difference"
for picture in small.bmp large.bmp photo.jpg; do
  compare "$picture" "$(median <"$work/$picture.before")" "$(median <"$work/$picture.after")"
done
echo "== reads (median of $rounds rounds, ms of real time): before, after, difference"
for name in $(awk '{ print $1 }' "$work/read.before" | sort -u); do
  compare "$name" "$(awk -v n="$name" '$1 == n { print $2 }' "$work/read.before" | median)" \
    "$(awk -v n="$name" '$1 == n { print $2 }' "$work/read.after" | median)"
done

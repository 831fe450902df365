#!/bin/sh
# SPDX-License-Identifier: MIT
# Makes the animations the desktop test plays, with Debian's own tools (imagemagick, webp,
# apngasm, libavif-bin, libjxl-tools): three frames of 160 × 120, red, green and blue, each shown
# for 600 ms, playing for ever, in each of the five formats. Run from this folder.
set -eu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
i=1
for colour in ff0000 00ff00 0000ff; do
  convert -size 160x120 xc:"#$colour" "$tmp/f$i.png"
  i=$((i + 1))
done
convert -delay 60 -loop 0 "$tmp/f1.png" "$tmp/f2.png" "$tmp/f3.png" tres.gif
img2webp -loop 0 -lossless -d 600 "$tmp/f1.png" "$tmp/f2.png" "$tmp/f3.png" -o tres.webp
apngasm tres.png "$tmp/f1.png" 6 10
avifenc --lossless --timescale 10 --duration 6 "$tmp/f1.png" "$tmp/f2.png" "$tmp/f3.png" tres.avif
cjxl -d 0 tres.png tres.jxl
# The GIF played twice (a loop count of 1), and cut short inside its third frame.
gifsicle --loopcount=1 tres.gif > dos-vueltas.gif
size=$(wc -c < tres.gif)
head -c $((size - 40)) tres.gif > cortado.gif

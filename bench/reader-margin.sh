#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes each format's hardest still pictures at two sizes (a noise photograph: progressive and
# turned JPEG, 16-bit and interlaced PNG, 10- and 12-bit HEIC and AVIF, lossless 16-bit JPEG XL,
# among the plain ones) and prints what each reader's read adds to its address space, against the
# picture's own bytes (kelmo_bench --reader-margin). Usage: bench/reader-margin.sh BIN [FOLDER]
# (BIN: the bench build; FOLDER: where the pictures are made and kept, a new one otherwise).
set -euo pipefail
bin=$1
work=${2:-$(mktemp -d)}
mkdir -p "$work"
make_pictures() { # width height
  local w=$1 h=$2 d="$work/$1"
  mkdir -p "$d"
  [ -f "$d/rgb16.ppm" ] && return
  convert -size "${w}x${h}" gradient:'#c04080'-'#40c060' -attenuate 0.25 +noise Uniform \
    -depth 16 "$d/source16.png"
  convert "$d/source16.png" -depth 8 "$d/source.ppm"
  convert "$d/source16.png" -alpha set -channel A -evaluate set 80% +channel -depth 16 \
    "png64:$d/alpha16.png"
  convert "$d/alpha16.png" -depth 8 "png32:$d/alpha8.png"
  cjpeg -quality 90 "$d/source.ppm" > "$d/baseline.jpg"
  cjpeg -quality 90 -progressive "$d/source.ppm" > "$d/progressive.jpg"
  convert "$d/source.ppm" -quality 90 -interlace Plane -orient RightTop "$d/progressive-turned.jpg"
  convert "$d/source.ppm" "png24:$d/rgb8.png"
  cp "$d/alpha16.png" "$d/rgba16.png"
  convert "$d/alpha16.png" -interlace PNG "png64:$d/rgba16-interlaced.png"
  cwebp -quiet -q 90 "$d/source.ppm" -o "$d/lossy.webp"
  cwebp -quiet -lossless -z 1 "$d/alpha8.png" -o "$d/lossless-alpha.webp"
  heif-enc -q 90 "$d/rgb8.png" -o "$d/8bit.heic" > /dev/null
  heif-enc -q 90 -b 10 "$d/source16.png" -o "$d/10bit.heic" > /dev/null
  avifenc -j 2 -s 10 -d 8 -y 420 "$d/rgb8.png" "$d/8bit-420.avif" > /dev/null
  avifenc -j 2 -s 10 -d 12 -y 444 --irot 1 "$d/alpha16.png" "$d/12bit-444-alpha-turned.avif" \
    > /dev/null
  cjxl --quiet -q 90 "$d/rgb8.png" "$d/lossy.jxl"
  cjxl --quiet -d 0 -e 1 "$d/alpha16.png" "$d/lossless-alpha16.jxl"
  convert "$d/source.ppm" "bmp3:$d/rgb24.bmp"
  convert "$d/source.ppm" +dither -colors 256 "$d/still.gif"
  convert "$d/source16.png" "$d/rgb16.ppm"
}
make_pictures 6000 4000
make_pictures 3000 2000
mkdir -p "$work/256"
[ -f "$work/256/icon.ico" ] ||
  convert "$work/3000/alpha8.png" -resize 256x256! "$work/256/icon.ico"
pictures=()
for d in 6000 3000; do
  for p in baseline.jpg progressive.jpg progressive-turned.jpg rgb8.png rgba16.png \
    rgba16-interlaced.png lossy.webp lossless-alpha.webp 8bit.heic 10bit.heic 8bit-420.avif \
    12bit-444-alpha-turned.avif lossy.jxl lossless-alpha16.jxl rgb24.bmp still.gif rgb16.ppm; do
    pictures+=("$work/$d/$p")
  done
done
pictures+=("$work/256/icon.ico")
"$bin/bench/kelmo_bench" --reader-margin "${pictures[@]}" | sed "s|$work/||"

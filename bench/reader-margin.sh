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
turned() { # a JPEG on standard input, given an Exif orientation of 6 (turned a quarter clockwise)
  python3 -c '
import struct, sys
jpeg = sys.stdin.buffer.read()
exif = b"Exif\0\0MM\0\x2a" + struct.pack(">IHHHIII", 8, 1, 0x0112, 3, 1, 6 << 16, 0)
sys.stdout.buffer.write(jpeg[:2] + b"\xff\xe1" + struct.pack(">H", len(exif) + 2) + exif + jpeg[2:])'
}
interlaced_noise_png() { # width height: 16-bit RGBA, Adam7, random samples (incompressible)
  python3 -c '
import os, struct, sys, zlib
w, h = int(sys.argv[1]), int(sys.argv[2])
deflate = zlib.compressobj(1)
data = b""
for x0, y0, dx, dy in ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4),
                       (1, 0, 2, 2), (0, 1, 1, 2)):
    pw, ph = max(0, (w - x0 + dx - 1) // dx), max(0, (h - y0 + dy - 1) // dy)
    for _ in range(ph if pw else 0):
        data += deflate.compress(b"\0" + os.urandom(pw * 8))
data += deflate.flush()
chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
sys.stdout.buffer.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 16, 6, 0, 0, 1))
                        + chunk(b"IDAT", data) + chunk(b"IEND", b""))' "$1" "$2"
}
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
  cjpeg -quality 90 -sample 1x1 -progressive "$d/source.ppm" | turned > "$d/progressive-444-turned.jpg"
  convert "$d/source.ppm" -colorspace CMYK -sampling-factor 1x1 -interlace Plane -quality 90 jpeg:- |
    turned > "$d/cmyk-progressive-turned.jpg"
  convert "$d/source.ppm" "png24:$d/rgb8.png"
  cp "$d/alpha16.png" "$d/rgba16.png"
  convert "$d/alpha16.png" -interlace PNG "png64:$d/rgba16-interlaced.png"
  interlaced_noise_png "$w" "$h" > "$d/random-rgba16-interlaced.png"
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
  for p in baseline.jpg progressive.jpg progressive-444-turned.jpg cmyk-progressive-turned.jpg \
    rgb8.png rgba16.png rgba16-interlaced.png random-rgba16-interlaced.png lossy.webp \
    lossless-alpha.webp 8bit.heic 10bit.heic 8bit-420.avif 12bit-444-alpha-turned.avif lossy.jxl \
    lossless-alpha16.jxl rgb24.bmp still.gif rgb16.ppm; do
    pictures+=("$work/$d/$p")
  done
done
pictures+=("$work/256/icon.ico")
"$bin/bench/kelmo_bench" --reader-margin "${pictures[@]}" | sed "s|$work/||"

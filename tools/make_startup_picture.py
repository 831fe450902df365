#!/usr/bin/env python3
"""Writes the built-in start-up picture: a 256 x 256, 8-bit, 256-colour uncompressed bitmap
(66614 bytes) of a dusk landscape. Run it from the project's root to regenerate
resources/inicio.bmp."""
import math
import struct
import sys

W = H = 256


def lerp(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


palette = []
# 0..127: sky, deep blue at the top to warm orange at the horizon.
palette += [lerp((18, 36, 96), (255, 186, 120), i / 127) for i in range(128)]
# 128..191: meadow, light green near the hills to dark green in front.
palette += [lerp((120, 176, 72), (22, 70, 30), i / 63) for i in range(64)]
# 192..223: sun, white-yellow core to orange rim.
palette += [lerp((255, 250, 214), (255, 150, 60), i / 31) for i in range(32)]
# 224..255: mountains, violet haze to dark slate.
palette += [lerp((150, 110, 150), (52, 48, 78), i / 31) for i in range(32)]
assert len(palette) == 256


def ridge(x):
    return 140 + 22 * math.sin(x / 23.0) + 9 * math.sin(x / 7.3 + 1.0)


def hill(x):
    return 188 + 10 * math.sin(x / 37.0 + 0.5) + 4 * math.sin(x / 11.0)


def index_at(x, y):
    if y >= hill(x):
        return 128 + min(63, round((y - hill(x)) / (H - hill(x) + 1) * 63))
    if y >= ridge(x):
        return 224 + min(31, round((y - ridge(x)) / 60 * 31))
    d = math.hypot(x - 178, y - 118)
    if d <= 26:
        return 192 + min(31, round(d / 26 * 31))
    return min(127, round(y / 175 * 127))


rows = bytearray()
for y in range(H - 1, -1, -1):  # bottom-up rows
    rows += bytes(index_at(x, y) for x in range(W))

offset = 14 + 40 + 256 * 4
header = struct.pack('<2sIHHI', b'BM', offset + len(rows), 0, 0, offset)
info = struct.pack('<IiiHHIIiiII', 40, W, H, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
colours = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
data = header + info + colours + bytes(rows)
assert len(data) == 66614, len(data)
out = sys.argv[1] if len(sys.argv) > 1 else 'resources/inicio.bmp'
with open(out, 'wb') as f:
    f.write(data)

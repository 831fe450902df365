#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# Makes the animations the frame readers' tests read, with the Debian tools people make them
# with (gifsicle, cwebp and webpmux, apngasm, cjxl, avifenc); the animated PNGs whose every dispose and blend
# kind must be chosen, which apngasm chooses itself, are written here chunk by chunk. Every frame is a few solid rectangles on a tiny canvas, so that the tests can
# write the frames they expect by hand. Run it from anywhere; it writes beside itself.

import os
import struct
import subprocess
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

COLOURS = {
    "R": (255, 0, 0),
    "G": (0, 255, 0),
    "B": (0, 0, 255),
    "W": (255, 255, 255),
    "K": (255, 0, 255),  # made transparent where a case says so
}


def pixels(width, height, rects):
    """Rows of colour letters: rects is a list of (letter, x, y, w, h), painted in order."""
    rows = [["K"] * width for _ in range(height)]
    for letter, x, y, w, h in rects:
        for j in range(y, y + h):
            for i in range(x, x + w):
                rows[j][i] = letter
    return rows


def gif_frame(width, height, rects):
    """A one-image GIF: a 256-colour table and uncompressed codes (9 bits, a clear every 200)."""
    letters = list(COLOURS)
    table = b"".join(bytes(COLOURS[c]) for c in letters) + bytes(3 * (256 - len(letters)))
    out = b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF7, 0, 0) + table
    out += b"," + struct.pack("<HHHHB", 0, 0, width, height, 0) + bytes([8])
    codes, bits, count = bytearray(), 0, 0

    def put(code):
        nonlocal bits, count
        bits |= code << count
        count += 9
        while count >= 8:
            codes.append(bits & 0xFF)
            bits >>= 8
            count -= 8

    put(256)
    flat = [letters.index(c) for row in pixels(width, height, rects) for c in row]
    for n, index in enumerate(flat):
        if n and n % 200 == 0:
            put(256)
        put(index)
    put(257)
    if count:
        codes.append(bits & 0xFF)
    for start in range(0, len(codes), 255):
        block = codes[start:start + 255]
        out += bytes([len(block)]) + block
    return out + b"\0;"


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def rgba_data(width, height, rects):
    """The deflated rows of an RGBA picture; K is transparent."""
    raw = b""
    for row in pixels(width, height, rects):
        raw += b"\0" + b"".join(bytes(COLOURS[c]) + (b"\0" if c == "K" else b"\xff") for c in row)
    return zlib.compress(raw)


def ihdr(width, height):
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))


def png_frame(width, height, rects):
    """An RGBA PNG; K is transparent."""
    return ihdr(width, height) + chunk(b"IDAT", rgba_data(width, height, rects)) + chunk(b"IEND", b"")


def apng(name, size, frames, plays, hidden=None, declared=None):
    """frames: (width, height, x, y, rects, delay numerator, denominator, dispose, blend) each;
    hidden: the rectangles of a default image that is not a frame."""
    out = ihdr(*size) + chunk(b"acTL", struct.pack(">II", declared or len(frames), plays))
    sequence = 0
    if hidden is not None:
        out += chunk(b"IDAT", rgba_data(*size, hidden))
    for n, (width, height, x, y, rects, num, den, dispose, blend) in enumerate(frames):
        out += chunk(b"fcTL", struct.pack(">IIIIIHHBB", sequence, width, height, x, y, num, den,
                                          dispose, blend))
        sequence += 1
        data = rgba_data(width, height, rects)
        if n == 0 and hidden is None:
            out += chunk(b"IDAT", data)
        else:
            out += chunk(b"fdAT", struct.pack(">I", sequence) + data)
            sequence += 1
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out + chunk(b"IEND", b""))


def apngasm(name, frames, options=()):
    """Whole frames (rects on the canvas) of 1/50 s, assembled by apngasm."""
    with tempfile.TemporaryDirectory() as scratch:
        paths = []
        for n, (width, height, rects) in enumerate(frames):
            paths.append(os.path.join(scratch, f"{n:03}.png"))
            with open(paths[-1], "wb") as f:
                f.write(png_frame(width, height, rects))
        subprocess.run(["apngasm", os.path.join(HERE, name), *paths, "1", "50", *options],
                       check=True, stdout=subprocess.DEVNULL)


def webpmux(name, frames, options=()):
    """frames: (width, height, rects, "+duration+x+y+dispose+blend") each, in order."""
    with tempfile.TemporaryDirectory() as scratch:
        command = ["webpmux"]
        for n, (width, height, rects, placing) in enumerate(frames):
            png = os.path.join(scratch, f"{n}.png")
            webp = os.path.join(scratch, f"{n}.webp")
            with open(png, "wb") as f:
                f.write(png_frame(width, height, rects))
            subprocess.run(["cwebp", "-quiet", "-lossless", "-exact", png, "-o", webp], check=True)
            command += ["-frame", webp, placing]
        subprocess.run(command + [*options, "-o", os.path.join(HERE, name)], check=True,
                       stdout=subprocess.DEVNULL)


def gifsicle(name, frames, options=(), screen=None):
    """frames: (width, height, rects, per-frame gifsicle options) each, in order."""
    with tempfile.TemporaryDirectory() as scratch:
        command = ["gifsicle", "--no-warnings", *options]
        for n, (width, height, rects, frame_options) in enumerate(frames):
            path = os.path.join(scratch, f"{n}.gif")
            with open(path, "wb") as f:
                f.write(gif_frame(width, height, rects))
            command += [*frame_options, path]
        output = os.path.join(HERE, name)
        subprocess.run(command + ["-o", output], check=True)
    if screen:  # a logical screen smaller than gifsicle made it
        with open(output, "r+b") as f:
            f.seek(6)
            f.write(struct.pack("<HH", *screen))


def move_loop_block_after_first_image(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    start = data.index(b"\x21\xff\x0bNETSCAPE2.0")
    block = data[start:start + 19]
    del data[start:start + 19]
    at = 13 + (3 << ((data[10] & 7) + 1) if data[10] & 0x80 else 0)  # past the global table
    while data[at] == 0x21:  # extensions before the image
        at += 2
        while data[at]:
            at += data[at] + 1
        at += 1
    flags = data[at + 9]
    at += 10 + (3 << ((flags & 7) + 1) if flags & 0x80 else 0) + 1  # descriptor, table, code size
    while data[at]:
        at += data[at] + 1
    at += 1
    data[at:at] = block
    with open(path, "wb") as f:
        f.write(data)


def gifs():
    full = lambda c: (4, 4, [(c, 0, 0, 4, 4)])
    gifsicle("gif-keep.gif", [
        (*full("R"), ["-d", "10", "-D", "none"]),
        (2, 2, [("B", 0, 0, 2, 2)], ["-d", "10", "-D", "asis", "-p", "1,1"]),
    ], ["--loopcount=forever", "-S", "4x4"])
    gifsicle("gif-background.gif", [
        (*full("R"), ["-d", "10", "-D", "asis"]),
        (2, 2, [("G", 0, 0, 2, 2)], ["-d", "10", "-D", "background", "-p", "0,0"]),
        (1, 1, [("B", 0, 0, 1, 1)], ["-d", "10", "-p", "3,3"]),
    ], ["-S", "4x4", "-B", "#00FF00"])
    gifsicle("gif-previous.gif", [
        (*full("R"), ["-d", "10", "-D", "none"]),
        (2, 2, [("G", 0, 0, 2, 2)], ["-d", "10", "-D", "previous", "-p", "2,2"]),
        (1, 1, [("B", 0, 0, 1, 1)], ["-d", "10", "-p", "0,0"]),
    ], ["--loopcount=3", "-S", "4x4"])
    gifsicle("gif-previous-first.gif", [
        (2, 2, [("G", 0, 0, 2, 2)], ["-d", "10", "-D", "previous", "-p", "0,0"]),
        (1, 1, [("B", 0, 0, 1, 1)], ["-d", "10", "-D", "4", "-p", "3,3"]),
        (1, 1, [("R", 0, 0, 1, 1)], ["-d", "10", "-p", "0,3"]),
    ], ["-S", "4x4"])
    gifsicle("gif-transparent.gif", [
        (*full("R"), ["-d", "10"]),
        (4, 4, [("W", 0, 0, 2, 4)], ["-d", "10", "-t", "#FF00FF"]),
    ], ["-S", "4x4"])
    gifsicle("gif-delays.gif", [
        (*full("R"), ["-d", "0"]),
        (*full("G"), ["-d", "1"]),
        (*full("B"), ["-d", "2"]),
        (*full("W"), ["-d", "5"]),
    ], ["--loopcount=1", "-S", "4x4"])
    gifsicle("gif-larger.gif", [
        (6, 5, [("G", 0, 0, 6, 5)], ["-d", "10"]),
        (4, 4, [("B", 0, 0, 4, 4)], ["-d", "10", "-p", "4,3"]),
    ], [], screen=(4, 4))
    # The looping block after the first image, as some encoders write it.
    gifsicle("gif-late-loop.gif", [
        (*full("R"), ["-d", "10", "-D", "none"]),
        (2, 2, [("B", 0, 0, 2, 2)], ["-d", "10", "-D", "asis", "-p", "1,1"]),
    ], ["--loopcount=forever", "-S", "4x4"])
    move_loop_block_after_first_image(os.path.join(HERE, "gif-late-loop.gif"))
    stripes = [(c, 0, y, 2, 1) for y, c in enumerate("RGBWRGBW")]
    gifsicle("gif-interlaced.gif", [
        (2, 8, stripes, ["-d", "10", "-i"]),
        (1, 1, [("B", 0, 0, 1, 1)], ["-d", "10", "--no-interlace"]),
    ], ["-S", "2x8"])


def webps():
    # The background colour (opaque white) is not used: disposal clears to transparent.
    webpmux("webp-dispose-blend.webp", [
        (8, 8, [("R", 0, 0, 8, 8)], "+100+0+0+0-b"),
        (4, 4, [("G", 0, 0, 2, 4)], "+20+2+2+1+b"),
        (2, 2, [("B", 0, 0, 2, 2)], "+10+0+0+0-b"),
        (4, 4, [("W", 0, 0, 2, 4)], "+5+4+4+0-b"),
    ], ["-loop", "3", "-bgcolor", "255,255,255,255"])
    webpmux("webp-forever.webp", [
        (2, 2, [("R", 0, 0, 2, 2)], "+40+0+0+0-b"),
        (2, 2, [("B", 0, 0, 2, 1)], "+40+0+0+0+b"),
    ], ["-loop", "0"])


def apngs():
    NONE, BACKGROUND, PREVIOUS = 0, 1, 2
    SOURCE, OVER = 0, 1
    apng("apng-dispose-blend.png", (4, 4), [
        (4, 4, 0, 0, [("R", 0, 0, 4, 4)], 1, 10, NONE, SOURCE),
        (2, 2, 1, 1, [("G", 0, 0, 2, 1)], 2, 100, BACKGROUND, OVER),
        (1, 1, 0, 0, [("B", 0, 0, 1, 1)], 5, 0, PREVIOUS, SOURCE),  # 0 stands for 100
        (4, 1, 0, 3, [("W", 0, 0, 2, 1)], 1, 1000, NONE, SOURCE),
    ], 3)
    # The default image is no frame; Previous on the first frame is taken as Background.
    apng("apng-hidden-default.png", (4, 4), [
        (4, 4, 0, 0, [("R", 0, 0, 4, 4)], 1, 10, PREVIOUS, SOURCE),
        (1, 1, 3, 3, [("B", 0, 0, 1, 1)], 1, 10, NONE, OVER),
    ], 0, hidden=[("W", 0, 0, 4, 4)])
    # A second frame that goes past the canvas: damage.
    apng("apng-outside.png", (4, 4), [
        (4, 4, 0, 0, [("R", 0, 0, 4, 4)], 1, 10, NONE, SOURCE),
        (2, 2, 3, 3, [("B", 0, 0, 2, 2)], 1, 10, NONE, SOURCE),
    ], 0)
    # 10,000 frames of 10,000 x 10,000 declared.
    with open(os.path.join(HERE, "apng-bomb.png"), "wb") as f:
        f.write(ihdr(10000, 10000) + chunk(b"acTL", struct.pack(">II", 10000, 0))
                + chunk(b"fcTL", struct.pack(">IIIIIHHBB", 0, 1, 1, 0, 0, 1, 10, 0, 0))
                + chunk(b"IDAT", rgba_data(1, 1, [])) + chunk(b"IEND", b""))
    apngasm("apng-apngasm.png", [
        (3, 3, [("R", 0, 0, 3, 3)]),
        (3, 3, [("R", 0, 0, 3, 3), ("B", 1, 1, 1, 1)]),
        (3, 3, [("G", 0, 0, 3, 1)]),
        (3, 3, [("G", 0, 0, 3, 1), ("W", 2, 2, 1, 1)]),
    ], ["-l2", "-f"])


def jxls():
    """JPEG XL animations made by cjxl from animated PNGs (which keeps no loop count)."""
    with tempfile.TemporaryDirectory() as scratch:
        global HERE
        here, HERE = HERE, scratch
        # Whole frames: cjxl 0.7 takes a smaller frame of an animated PNG as a whole one.
        apng("frames.png", (3, 3), [
            (3, 3, 0, 0, [("R", 0, 0, 3, 3)], 1, 50, 0, 0),
            (3, 3, 0, 0, [("R", 0, 0, 3, 3), ("B", 1, 1, 1, 1)], 1, 50, 0, 0),
            (3, 3, 0, 0, [("G", 0, 0, 3, 1)], 1, 50, 0, 0),
            (3, 3, 0, 0, [("G", 0, 0, 3, 1), ("W", 2, 2, 1, 1)], 1, 50, 0, 0),
        ], 0)
        apng("delays.png", (2, 2), [
            (2, 2, 0, 0, [("R", 0, 0, 2, 2)], 1, 10, 0, 0),
            (2, 2, 0, 0, [("G", 0, 0, 2, 2)], 2, 100, 0, 0),
            (2, 2, 0, 0, [("B", 0, 0, 2, 2)], 5, 0, 0, 0),
            (2, 2, 0, 0, [("W", 0, 0, 2, 2)], 1, 1000, 0, 0),
        ], 0)
        HERE = here
        for made, name in (("frames.png", "jxl-frames.jxl"), ("delays.png", "jxl-delays.jxl")):
            subprocess.run(["cjxl", "--quiet", "-d", "0", os.path.join(scratch, made),
                            os.path.join(HERE, name)], check=True, stderr=subprocess.DEVNULL)


def avifs():
    """An AVIF image sequence, lossless, made by avifenc from PNG frames. avifenc writes the time
    it was made: the file differs at each run, and the damaged copy of the tests zeroes its end."""
    frames = [
        (2, [("R", 0, 0, 4, 4)]),
        (1, [("G", 0, 0, 2, 4)]),  # one hundredth: shown for 100 ms
        (5, [("B", 0, 0, 4, 4), ("W", 1, 1, 2, 2)]),
    ]
    with tempfile.TemporaryDirectory() as scratch:
        command = ["avifenc", "--lossless", "--timescale", "100"]
        for n, (duration, rects) in enumerate(frames):
            path = os.path.join(scratch, f"{n}.png")
            with open(path, "wb") as f:
                f.write(png_frame(4, 4, rects))
            command += ["--duration", str(duration), path]
        subprocess.run(command + [os.path.join(HERE, "avif-frames.avif")], check=True,
                       stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    gifs()
    webps()
    apngs()
    jxls()
    avifs()

// SPDX-License-Identifier: MIT
#pragma once

// Writes Windows bitmaps of every layout the reader handles, and damaged ones, for tests and
// benchmarks. Pixels follow a known pattern so that readers can be compared pixel by pixel.

#include <QByteArray>
#include <array>
#include <cstdint>

namespace testing_support {

struct BmpLayout {
    int bits = 24;
    std::uint32_t compression = 0; // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
    bool topDown = false;
    int infoSize = 40;
    std::array<std::uint32_t, 4> masks{}; // red, green, blue, alpha, for bit fields
    int colors = 0;                       // palette entries written; 0 for all of them
};

QByteArray makeBmp(const BmpLayout& layout, int width, int height);

// Offsets of the parts of a bitmap made by makeBmp, for damaging it on purpose.
struct BmpParts {
    int infoHeader = 14;
    int pixelOffset = 0;
};
BmpParts bmpParts(const QByteArray& bmp);

// The bytes with a little-endian value written over them at an offset, for lying headers.
QByteArray with32(QByteArray bytes, int at, quint32 value);
QByteArray with16(QByteArray bytes, int at, quint16 value);

// A GIF of that size with a 256-colour table and the pattern colours, written as plain
// 9-bit LZW codes (Qt writes no GIF).
QByteArray makeGif(int width, int height);

} // namespace testing_support

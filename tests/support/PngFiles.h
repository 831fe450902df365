// SPDX-License-Identifier: MIT
#pragma once

// Writes PNGs of every colour type, bit depth and interlacing, with the chunks people's files
// carry, for the readers' tests, the corpus and the benchmarks. Qt's writer makes only some of
// them. The samples are random (from a seed), every filter type is used in turn, and some pixels
// are given the transparent colour.

#include <QByteArray>
#include <QList>
#include <QPair>

namespace testing_support {

struct PngLayout {
    int width = 37;
    int height = 23;
    int bitDepth = 8;
    int colourType = 2; // 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    bool interlaced = false;
    int paletteEntries = 0;                        // 0: as many as the bit depth allows
    QByteArray transparency{};                     // the tRNS chunk's data; empty: none
    QList<QPair<QByteArray, QByteArray>> chunks{}; // written before the palette: type, data
    quint32 seed = 1;
    int level = 6; // zlib's compression level
};

QByteArray makePng(const PngLayout& layout);

// A chunk: length, type, data and CRC.
QByteArray pngChunk(const QByteArray& type, const QByteArray& data);
// The data of an iCCP chunk holding the profile.
QByteArray iccpData(const QByteArray& profile);

} // namespace testing_support

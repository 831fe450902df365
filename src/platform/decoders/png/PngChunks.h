// SPDX-License-Identifier: MIT
#pragma once

// A PNG file's chunks, walked once: the header, the palette and its transparency, the colour
// chunks (as Qt's reader weighs them, so that a picture shows the colours it showed before), and
// the image data gathered in place into one stream. Every chunk used has its CRC checked: a
// damaged critical chunk refuses the file, a damaged ancillary one is passed over.

#include "platform/decoders/PictureDecoder.h"

#include <QByteArray>
#include <array>

namespace platform::decoders::png {

enum ColourType : int { Grey = 0, Truecolour = 2, Indexed = 3, GreyAlpha = 4, TruecolourAlpha = 6 };

struct Header {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int colourType = 0;
    bool interlaced = false;

    int channels() const;
    // Bytes a whole pixel takes, at least one (the filters' distance to the left neighbour).
    int filterStep() const { return std::max(1, channels() * bitDepth / 8); }
    // Bytes of one row of `pixels` samples, without its filter byte.
    qint64 rowBytes(qint64 pixels) const { return (pixels * channels() * bitDepth + 7) / 8; }
};

// The colour a sample value stands for, whether transparent or not, where the picture has a
// palette or a transparent colour (tRNS).
struct Transparency {
    bool present = false;
    std::array<quint16, 3> key{}; // grey in [0], or red, green, blue: the one transparent colour
};

struct PngFile {
    Header header;
    std::array<QRgb, 256> palette{}; // with the tRNS alpha; entries past `paletteSize` unset
    int paletteSize = 0;
    Transparency transparency;
    QByteArray iccProfile; // empty: untagged or sRGB
    // The concatenated image data (zlib stream), in place at the start of the file's own bytes.
    const uchar* data = nullptr;
    qsizetype dataSize = 0;
};

// Walks the file. `bytes` is changed: the image data chunks are moved together at its start.
// Throws DecodeFailure with a short Spanish reason.
PngFile readChunks(QByteArray& bytes);

} // namespace platform::decoders::png

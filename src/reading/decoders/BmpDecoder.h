// SPDX-License-Identifier: MIT
#pragma once

// A Windows bitmap reader that reads the file once, straight into ready-to-draw pixels (RGB32,
// or premultiplied ARGB32 where the file has an alpha mask). It handles 1, 4, 8, 16, 24 and
// 32 bits per pixel, RLE4 and RLE8, bit fields, top-down and bottom-up rows, with the
// 40-, 52-, 56-, 108- and 124-byte headers. Every size and offset is checked before it is used
// and nothing is allocated before the header has been validated.

#include "PictureDecoder.h"

#include <QImage>
#include <QString>

class QIODevice;

namespace platform::bmp {

enum class Outcome {
    Decoded,    // image holds the picture
    NotHandled, // a bitmap layout this reader leaves to another reader (OS/2 headers, say)
    Malformed,  // the file is damaged or lies about itself; reason says how
};

struct Result {
    Outcome outcome = Outcome::NotHandled;
    QImage image;
    QString reason;
};

// Reads the bitmap at the device's current position (its start). maxBytes bounds the decoded
// picture's size; a larger one is refused as malformed without allocating it. The picture is made
// in `memory` where one is given.
Result decode(QIODevice& device, qint64 maxBytes, const decoders::PixelMemory* memory = nullptr);

} // namespace platform::bmp

namespace platform::decoders {

// Our bitmap reader behind the common interface; the layouts it leaves go to Qt's reader.
class BitmapDecoder : public PictureDecoder {
  public:
    bool overlapsStartUp() const override { return true; }
    Decoded decode(QFile& file, const DecodeContext& context) const override;
};

} // namespace platform::decoders
